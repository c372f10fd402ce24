#include "DownloadRig.h"

#include "base/AppSettings.h"

#include <QDir>
#include <QTest>

TDownloadRig::TDownloadRig()
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
    const QDir save(dir.path());
    for (const QString& f : save.entryList(QDir::Files, QDir::Name))
        out.append(f);
    for (const QString& f :
         QDir(dir.path() + QStringLiteral("/Temp")).entryList(QDir::Files, QDir::Name))
        out.append(QStringLiteral("Temp/") + f);
    return out;
}
