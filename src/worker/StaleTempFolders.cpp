#include "StaleTempFolders.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <limits>
#include <unistd.h>

namespace {

constexpr qint64 kUntouchedSeconds = 24 * 60 * 60;

bool processRuns(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    // EPERM: it runs, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The folder or anything in it was changed within the last day.
bool touchedLately(const QString& folder, const QDateTime& since)
{
    if (QFileInfo(folder).lastModified() >= since)
        return true;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().lastModified() >= since)
            return true;
    }
    return false;
}

} // namespace

int RemoveStaleTempFolders(const QString& saveFolder)
{
    if (saveFolder.isEmpty())
        return 0;
    const QString temp = QDir(saveFolder).filePath(QStringLiteral("Temp"));
    static const QRegularExpression ours(QStringLiteral("^([0-9]{1,10})-[0-9]{1,10}$"));
    const QDateTime since = QDateTime::currentDateTime().addSecs(-kUntouchedSeconds);
    int removed = 0;
    const QFileInfoList entries =
        QDir(temp).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        const QRegularExpressionMatch m = ours.match(entry.fileName());
        // Only real folders of ours: a link could point anywhere.
        if (!m.hasMatch() || entry.isSymLink())
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (pid == ::getpid() || processRuns(pid) || touchedLately(entry.filePath(), since))
            continue;
        if (QDir(entry.filePath()).removeRecursively())
            ++removed;
    }
    if (removed > 0)
        QDir().rmdir(temp); // only when nothing else is in it
    return removed;
}
