#include "SmallDisk.h"
#include "TestRegistry.h"

#include "base/WholeFileSave.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

// The one way files of ours are replaced: on a real full disk the old file stays whole.
class TestWholeFileSave : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacesAndLeavesNothingBeside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("file.xml"));
        QCOMPARE(SaveFileWhole(path, "first"), QString());
        QCOMPARE(SaveFileWhole(path, "second"), QString());
        QCOMPARE(ReadAll(path), QByteArray("second"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"file.xml"});
        QVERIFY(!SaveFileWhole(dir.filePath(QStringLiteral("missing/file.xml")), "x").isEmpty());
    }

    void fullDisk_data()
    {
        QTest::addColumn<int>("newSize");
        // Below and above the write buffer of a buffered save, which is where it failed.
        QTest::newRow("small file") << 800;
        QTest::newRow("large file") << 200 * 1024;
    }
    void fullDisk()
    {
        QFETCH(int, newSize);
        qbtest::SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.reason()));
        const QString path = disk.path() + QStringLiteral("/followuser.xml");
        const QByteArray old(807, 'o');
        QCOMPARE(SaveFileWhole(path, old), QString());
        QVERIFY(disk.fill());
        const QString error = SaveFileWhole(path, QByteArray(newSize, 'n'));
        QCOMPARE(error, QStringLiteral("No space left on device"));
        QCOMPARE(ReadAll(path), old);
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList{"followuser.xml"});
    }
};

QB_TEST(TestWholeFileSave, "unit");
#include "TestWholeFileSave.moc"
