#include "DownloadRig.h"

#include "base/AppSettings.h"

#include <QDir>
#include <QDirIterator>
#include <QTest>

TDownloadRig::TDownloadRig() : saveFolder(dir.path())
{
    AppSettings().SetSaveToFolder(SaveTo());
    state.MaxDownloads = 10;
    scheduler.Connect(gui);
}

TDownloadRig::TDownloadRig(const QString& sharedSaveFolder) : saveFolder(sharedSaveFolder)
{
    AppSettings().SetSaveToFolder(SaveTo());
    state.MaxDownloads = 10;
    scheduler.Connect(gui);
}

TDownloadRig::~TDownloadRig()
{
    WaitUntilIdle();
}

QString TDownloadRig::Caption(int id)
{
    const int row = FindRowByJob(list, id);
    return row > 0 ? list.item(row - 1).caption : QString();
}

int TDownloadRig::Icon(int id)
{
    const int row = FindRowByJob(list, id);
    return row > 0 ? list.item(row - 1).imageIndex : -1;
}

std::vector<std::pair<int, int>> TDownloadRig::Starts()
{
    std::lock_guard lock(startsMutex);
    return starts;
}

bool TDownloadRig::WaitUntilIdle(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    gui.Drain(); // messages posted so far start what they start
    while (workers.liveWorkers.load() > 0 || state.FindQueuedJob() > 0) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    gui.Drain();
    return true;
}

QStringList TDownloadRig::Files() const
{
    QStringList out;
    const QDir save(saveFolder);
    for (const QString& f : save.entryList(QDir::Files, QDir::Name))
        out.append(f);
    const QString temp = saveFolder + QStringLiteral("/Temp/");
    QDirIterator it(temp, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        out.append(QStringLiteral("Temp/") + entry.filePath().mid(temp.size()) +
                   (entry.isDir() ? QStringLiteral("/") : QString()));
    }
    out.sort();
    return out;
}
