#include "SettingsFile.h"

#include "base/WholeFileSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QTemporaryDir>

namespace {

// Values read back from the file come as texts where a number or flag went in.
bool SameValue(const QVariant& written, const QVariant& read)
{
    if (written == read)
        return true;
    return read.typeId() == QMetaType::QString && written.canConvert<QString>() &&
           written.toString() == read.toString();
}

} // namespace

QString SettingsFilePath()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillbrook"))
        .fileName();
}

QString ChangeSettingsFile(const std::function<void(QSettings&)>& change)
{
    const QString path = SettingsFilePath();
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return QStringLiteral("cannot make a temporary folder: ") + scratch.errorString();
    const QString work = scratch.filePath(QStringLiteral("work.conf"));
    if (QFile::exists(path)) {
        QFile current(path);
        if (!current.copy(work))
            return QStringLiteral("cannot read %1: %2").arg(path, current.errorString());
    }
    QHash<QString, QVariant> expected;
    {
        QSettings edited(work, QSettings::IniFormat);
        change(edited);
        edited.sync();
        if (edited.status() != QSettings::NoError)
            return QStringLiteral("cannot write a temporary copy of %1").arg(path);
        for (const QString& key : edited.allKeys())
            expected.insert(key, edited.value(key));
    }
    // Read back under a new name: QSettings would answer a known name from its cache.
    const QString check = scratch.filePath(QStringLiteral("check.conf"));
    if (!QFile::rename(work, check))
        return QStringLiteral("cannot check the temporary copy of %1").arg(path);
    {
        QSettings reread(check, QSettings::IniFormat);
        const QStringList keys = reread.allKeys();
        bool whole = reread.status() == QSettings::NoError && keys.size() == expected.size();
        for (const QString& key : keys)
            whole = whole && expected.contains(key) && SameValue(expected[key], reread.value(key));
        if (!whole)
            return QStringLiteral("the temporary copy of %1 was not written whole").arg(path);
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    QFile copy(check);
    if (!copy.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the temporary copy of %1: %2")
            .arg(path, copy.errorString());
    const QString error = SaveFileWhole(path, copy.readAll());
    if (!error.isEmpty())
        return QStringLiteral("cannot save %1: %2").arg(path, error);
    return {};
}
