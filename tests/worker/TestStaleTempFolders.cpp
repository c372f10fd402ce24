#include "TestRegistry.h"

#include "worker/StaleTempFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The id of a process that has ended.
qint64 endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

void makeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("part of a download");
}

// Sets the modification time of the path and everything below it to two days ago.
void age(const QString& path)
{
    const timeval old[2] = {{::time(nullptr) - 2 * 24 * 3600, 0},
                            {::time(nullptr) - 2 * 24 * 3600, 0}};
    if (QFileInfo(path).isDir()) {
        for (const QFileInfo& e :
             QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            age(e.filePath());
    }
    QVERIFY(::lutimes(QFile::encodeName(path).constData(), old) == 0);
}

} // namespace

// A crashed run's Temp folder goes at the next start; nothing that may still be in use,
// and nothing that is not ours, is touched.
class TestStaleTempFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyOldFoldersOfEndedProcessesGo()
    {
        QTemporaryDir save;
        QTemporaryDir outside;
        const QString temp = save.filePath(QStringLiteral("Temp/"));
        const QString dead = QString::number(endedProcess());
        const QString self = QString::number(::getpid());

        makeFile(temp + dead + QStringLiteral("-1/3.txt"));
        makeFile(temp + dead + QStringLiteral("-1/sub/Clip"));
        makeFile(temp + dead + QStringLiteral("-2/4.txt")); // written a moment ago
        makeFile(temp + self + QStringLiteral("-1/5.txt")); // this process's own
        makeFile(temp + QStringLiteral("1-1/6.txt"));       // process 1 always runs
        makeFile(temp + QStringLiteral("mine/7.txt"));      // not a name we give
        makeFile(outside.filePath(QStringLiteral("keep.txt")));
        QVERIFY(QFile::link(outside.path(), temp + dead + QStringLiteral("-3")));
        for (const QString& name : {dead + QStringLiteral("-1"), self + QStringLiteral("-1"),
                                    QStringLiteral("1-1"), QStringLiteral("mine")})
            age(temp + name);
        age(outside.path());
        age(temp + dead + QStringLiteral("-3"));

        QCOMPARE(RemoveStaleTempFolders(save.path() + QLatin1Char('/')), 1);
        QStringList left = QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        left.sort();
        QStringList expected{dead + QStringLiteral("-2"), dead + QStringLiteral("-3"),
                             self + QStringLiteral("-1"), QStringLiteral("1-1"),
                             QStringLiteral("mine")};
        expected.sort();
        QCOMPARE(left, expected);
        QVERIFY(QFile::exists(outside.filePath(QStringLiteral("keep.txt"))));
    }

    void emptiedTempGoesToo()
    {
        QTemporaryDir save;
        const QString folder = save.filePath(QStringLiteral("Temp/%1-1").arg(endedProcess()));
        makeFile(folder + QStringLiteral("/1.txt"));
        age(folder);
        QCOMPARE(RemoveStaleTempFolders(save.path()), 1);
        QVERIFY(!QFileInfo::exists(save.filePath(QStringLiteral("Temp"))));
        // Nothing to do: no Temp at all, or no save folder.
        QCOMPARE(RemoveStaleTempFolders(save.path()), 0);
        QCOMPARE(RemoveStaleTempFolders(QString()), 0);
    }
};

QB_TEST(TestStaleTempFolders, "unit");
#include "TestStaleTempFolders.moc"
