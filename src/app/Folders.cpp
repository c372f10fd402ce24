#include "Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString WithTrailingSlash(const QString& path)
{
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

QString NormalSaveFolder(const QString& typed)
{
    QString path = typed.trimmed();
    if (path == QLatin1String("~"))
        path = QDir::homePath();
    else if (path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    if (!QDir::isAbsolutePath(path))
        return {};
    return WithTrailingSlash(QDir::cleanPath(path));
}

QString DataDirFrom(const QString& documentsFolder)
{
    return WithTrailingSlash(documentsFolder) + QStringLiteral("Quillbrook/");
}

QString AppDirFrom(const QString& executablePath)
{
    return WithTrailingSlash(QFileInfo(executablePath).absolutePath());
}

QString DocumentsFolder()
{
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        docs = QDir::homePath();
    return docs;
}

QString ExecutablePath(const char* argv0)
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString target = self.symLinkTarget();
    if (!target.isEmpty())
        return target;
    return QFileInfo(QString::fromLocal8Bit(argv0)).absoluteFilePath();
}
