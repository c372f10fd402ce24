#include "FailDevice.h"
#include "FollowTestData.h"
#include "TestRegistry.h"

#include "follow/PeopleFields.h"
#include "follow/TFollowedPeople.h"
#include "follow/TPeopleFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace qbtest;

namespace {

// Every field of two users, tracks included, as "field: value" lines for readable diffs.
QStringList Describe(const TPeopleInfo& p)
{
    QStringList out;
    for (const auto& f : peoplefields::kUser)
        out << QString::fromLatin1(f.element) + QStringLiteral(": ") + p.*f.field;
    out << QStringLiteral("auto-check: %1 status: %2 tracks: %3/%4 downloaded: %5")
               .arg(p.t_AutoCheck)
               .arg(p.t_PeopleStatus)
               .arg(p.t_TracksCount)
               .arg(p.t_TracksInfo.size())
               .arg(p.t_DownloadedCount);
    for (const TTracksInfo& t : p.t_TracksInfo) {
        for (const auto& f : peoplefields::kTrack)
            out << QStringLiteral("  ") + QString::fromLatin1(f.element) + QStringLiteral(": ") +
                       t.*f.field;
        out << QStringLiteral("  status: %1").arg(t.t_Status);
    }
    return out;
}

QByteArray Users(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<users>" + body + "</users>\r\n";
}

} // namespace

// "followuser.xml": the exact layout, reading it back, damaged files and failed saves.
class TestPeopleFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A store as the golden file holds it, plus a deleted user that must not be saved.
    static void FillGolden(TFollowedPeople& store)
    {
        store.AppendPeople(GoldenAlice());
        store.AddPeople(QStringLiteral("Carol"));
        QCOMPARE(store.DeletePeople(QStringLiteral("carol"), {}), TFollowedPeople::DeleteDone);
        store.AppendPeople(GoldenBob());
    }

private Q_SLOTS:
    void savesTheReadableLayoutByteForByte()
    {
        TFollowedPeople store;
        FillGolden(store);
        // The data folder does not exist yet: the save creates it.
        TPeopleFile file(path(QStringLiteral("new/data/followuser.xml")));
        QCOMPARE(file.WritePeopleInfo(store), QString());
        QCOMPARE(ReadBytes(file.Path()), ReadBytes(FollowFixture("followuser-golden.xml")));
    }

    void readsTheGoldenFileBackEqual()
    {
        TFollowedPeople store;
        store.AddPeople(QStringLiteral("replaced by the read"));
        TPeopleFile file(FollowFixture("followuser-golden.xml"));
        QVERIFY(file.ReadPeopleInfo(store));
        QCOMPARE(store.FollowedPeopleCount(), 2);
        QCOMPARE(Describe(*store.People(1)), Describe(GoldenAlice()));
        QCOMPARE(Describe(*store.People(2)), Describe(GoldenBob()));
        // A restart forgets deleted users: the name is free again.
        QCOMPARE(store.GetPeopleArrayID(QStringLiteral("Carol")), 0);
        QVERIFY(store.AddPeople(QStringLiteral("carol")) > 0);
    }

    void emptyStoreSavesAnEmptyRoot()
    {
        TFollowedPeople store;
        TPeopleFile file(path(QStringLiteral("empty.xml")));
        QCOMPARE(file.WritePeopleInfo(store), QString());
        QCOMPARE(ReadBytes(file.Path()),
                 QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<users/>\r\n"));
    }

    void missingFileKeepsTheStore()
    {
        TFollowedPeople store;
        store.AddPeople(QStringLiteral("kept"));
        TPeopleFile file(path(QStringLiteral("absent.xml")));
        QVERIFY(file.ReadPeopleInfo(store));
        QCOMPARE(store.FollowedPeopleCount(), 1);
    }

    void readCases_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("autoCheck");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("downloaded");
        QTest::addColumn<QString>("firstTrackId");

        QTest::newRow("upper-case element names read as lower case")
            << QByteArray("<USER><NAME>Zed</NAME><Auto-Check>1</Auto-Check><TRACK><ID>7</ID>"
                          "<DOWNLOADED-AT>20130101000000</DOWNLOADED-AT></TRACK></USER>")
            << "Zed" << 1 << 1 << 1 << "7";
        QTest::newRow("auto-check 'yes' keeps 0")
            << QByteArray("<user><name>a</name><auto-check>yes</auto-check></user>") << "a" << 0
            << 0 << 0 << "";
        QTest::newRow("auto-check not a number keeps an earlier value")
            << QByteArray("<user><auto-check>1</auto-check><auto-check>x</auto-check></user>") << ""
            << 1 << 0 << 0 << "";
        QTest::newRow("auto-check keeps its low 8 bits")
            << QByteArray("<user><name>a</name><auto-check>258</auto-check></user>") << "a" << 2
            << 0 << 0 << "";
        QTest::newRow("three tracks, two downloaded")
            << QByteArray("<user><name>a</name><track><id>1</id><downloaded-at>20130101000000"
                          "</downloaded-at></track><track><id>2</id><downloaded-at/></track>"
                          "<track><id>3</id><downloaded-at>20130102000000</downloaded-at>"
                          "</track></user>")
            << "a" << 0 << 3 << 2 << "1";
        QTest::newRow("later element overwrites, missing stays empty")
            << QByteArray("<user><name>first</name><name>second</name></user>") << "second" << 0
            << 0 << 0 << "";
        QTest::newRow("track field before any track is ignored")
            << QByteArray("<user><name>a</name><profile><id>5</id></profile><track><title>t"
                          "</title></track></user>")
            << "a" << 0 << 1 << 0 << "";
        QTest::newRow("track field of a nested element lands in the last track")
            << QByteArray("<user><name>a</name><track><id>5</id></track><extra><id>6</id>"
                          "</extra></user>")
            << "a" << 0 << 1 << 0 << "6";
        QTest::newRow("field before any user is ignored")
            << QByteArray("<other><name>stray</name></other><user><name>a</name></user>") << "a"
            << 0 << 0 << 0 << "";
    }

    void readCases()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, name);
        QFETCH(int, autoCheck);
        QFETCH(int, tracks);
        QFETCH(int, downloaded);
        QFETCH(QString, firstTrackId);
        const QString file = path(QStringLiteral("case.xml"));
        QVERIFY(WriteBytes(file, Users(body)));
        TFollowedPeople store;
        TPeopleFile people(file);
        QVERIFY(people.ReadPeopleInfo(store));
        QCOMPARE(store.FollowedPeopleCount(), 1);
        const TPeopleInfo p = *store.People(1);
        QCOMPARE(p.t_Name, name);
        QCOMPARE(int(p.t_AutoCheck), autoCheck);
        QCOMPARE(p.t_TracksCount, tracks);
        QCOMPARE(int(p.t_TracksInfo.size()), tracks);
        QCOMPARE(p.t_DownloadedCount, downloaded);
        if (tracks > 0)
            QCOMPARE(p.t_TracksInfo.front().t_id, firstTrackId);
    }

    void damagedFileKeepsWhatCameBeforeAndIsCopiedAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray whole = ReadBytes(FollowFixture("followuser-golden.xml"));
        const int cut = whole.indexOf("<name>bob</name>") + 5;
        QTest::newRow("cut short") << whole.left(cut);
        QByteArray mismatched = whole;
        mismatched.replace("<website/>\r\n\t\t<track-count/>", "<website>\r\n\t\t<track-count/>");
        QTest::newRow("mismatched tag") << mismatched;
    }

    void damagedFileKeepsWhatCameBeforeAndIsCopiedAside()
    {
        QFETCH(QByteArray, bytes);
        const QString file = path(QStringLiteral("damaged/followuser.xml"));
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        QVERIFY(WriteBytes(file, bytes));
        QFile::remove(file + QStringLiteral(".bad"));

        TFollowedPeople store;
        TPeopleFile people(file);
        QVERIFY(!people.ReadPeopleInfo(store));
        QVERIFY(!people.LoadError().isEmpty());
        QVERIFY(store.FollowedPeopleCount() >= 1);
        QCOMPARE(Describe(*store.People(1)), Describe(GoldenAlice()));

        store.AddPeople(QStringLiteral("dave"));
        QCOMPARE(people.WritePeopleInfo(store), QString());
        QCOMPARE(ReadBytes(people.BadCopyPath()), bytes);
        // The new file is whole, and a later save leaves the copy alone.
        TFollowedPeople reread;
        QVERIFY(TPeopleFile(file).ReadPeopleInfo(reread));
        QCOMPARE(reread.GetPeopleArrayID(QStringLiteral("dave")), reread.FollowedPeopleCount());
        QFile::remove(people.BadCopyPath());
        QCOMPARE(people.WritePeopleInfo(store), QString());
        QVERIFY(!QFileInfo::exists(people.BadCopyPath()));
    }

    void wholeFileIsNotCopiedAside()
    {
        const QString file = path(QStringLiteral("whole.xml"));
        QVERIFY(QFile::copy(FollowFixture("followuser-golden.xml"), file));
        TFollowedPeople store;
        TPeopleFile people(file);
        QVERIFY(people.ReadPeopleInfo(store));
        QCOMPARE(people.WritePeopleInfo(store), QString());
        QVERIFY(!QFileInfo::exists(people.BadCopyPath()));
        QCOMPARE(ReadBytes(file), ReadBytes(FollowFixture("followuser-golden.xml")));
    }

    void failedSaveSaysWhyAndKeepsThePreviousFile()
    {
        TFollowedPeople store;
        FillGolden(store);

        // The data folder cannot be created: a file stands where it should be.
        const QString blocker = path(QStringLiteral("blocker"));
        QVERIFY(WriteBytes(blocker, "not a folder"));
        TPeopleFile blocked(blocker + QStringLiteral("/data/followuser.xml"));
        QVERIFY(blocked.WritePeopleInfo(store).contains(blocker));

        // The target cannot be replaced (a folder of that name).
        const QString folder = path(QStringLiteral("taken/followuser.xml"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!TPeopleFile(folder).WritePeopleInfo(store).isEmpty());
        QVERIFY(QFileInfo(folder).isDir());

        // A full disk part way through the file.
        FailDevice device(100);
        QCOMPARE(TPeopleFile::WriteTo(store, device), QStringLiteral("No space left on device"));
    }
};

QB_TEST(TestPeopleFile, "unit");
#include "TestPeopleFile.moc"
