#include "TestEnvironment.h"

#include "base/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

namespace qbtest {

namespace {
QTemporaryDir& homeDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/qbtest-home-XXXXXX"));
    return dir;
}
} // namespace

void isolateUserFolders()
{
    const QString home = homeDir().path();
    const QByteArray h = QFile::encodeName(home);
    QDir(home).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setenv("HOME", h.constData(), 1);
    setenv("XDG_CONFIG_HOME", (h + "/.config").constData(), 1);
    setenv("XDG_DATA_HOME", (h + "/.local/share").constData(), 1);
    setenv("XDG_CACHE_HOME", (h + "/.cache").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (h + "/runtime").constData(), 1);
    setenv("XDG_DOCUMENTS_DIR", (h + "/Documents").constData(), 1);
    // Our own hosts file: the maker's site is a closed local port, so the update check of a
    // window under test never leaves the machine (a test that needs the site starts a fake).
    const QString services = home + QStringLiteral("/services.ini");
    QFile file(services);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write("[Hosts]\nMaker=127.0.0.1:1\n");
    file.close();
    setenv("QUILLBROOK_SERVICES", QFile::encodeName(services).constData(), 1);
    QStandardPaths::setTestModeEnabled(true);
    // The data folder as start-up sets it, so nothing lands in the working folder.
    AppSettings().SetDataDir(home + QStringLiteral("/Documents/Quillbrook/"));
}

QString testHome()
{
    return homeDir().path();
}

QString sourceLanguageDir()
{
    return QStringLiteral(QB_SOURCE_DIR "/language");
}

} // namespace qbtest
