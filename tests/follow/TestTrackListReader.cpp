#include "TestRegistry.h"

#include "follow/TTrackListReader.h"
#include "follow/TTracksInfo.h"

#include <QTest>

// Which elements of a reply become tracks, and with which fields.
class TestTrackListReader : public QObject
{
    Q_OBJECT

    // "id|title|permalink" per track handed over.
    static QStringList Read(const QByteArray& xml, bool* whole = nullptr)
    {
        QStringList out;
        const bool ok = TTrackListReader::ReadBytes(xml, [&out](const TTracksInfo& t) {
            out.append(t.t_id + QLatin1Char('|') + t.t_title + QLatin1Char('|') +
                       t.t_permalink_url);
        });
        if (whole)
            *whole = ok;
        return out;
    }

private Q_SLOTS:
    void tracks_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QStringList>("tracks");
        QTest::newRow("one track, every field")
            << QByteArray("<tracks><track><id type=\"integer\">1</id><title> A &amp; B </title>"
                          "<permalink-url>http://s/a</permalink-url></track></tracks>")
            << QStringList{"1|A & B|http://s/a"};
        QTest::newRow("names in any letter case")
            << QByteArray("<Tracks><TRACK><Id>1</Id><Title>t</Title></TRACK></Tracks>")
            << QStringList{"1|t|"};
        QTest::newRow("the uploader's id and link are not the track's")
            << QByteArray("<tracks><track><title>t</title><user><id>77</id>"
                          "<permalink-url>http://s/user</permalink-url></user></track>"
                          "<track><user><id>78</id></user><id>2</id></track></tracks>")
            << QStringList{"2||"};
        QTest::newRow("a track nested deeper is no track")
            << QByteArray("<tracks><playlist><track><id>9</id></track></playlist>"
                          "<track><id>1</id></track></tracks>")
            << QStringList{"1||"};
        QTest::newRow("fields outside a track element are ignored")
            << QByteArray("<tracks><meta><id>5</id><title>x</title></meta>"
                          "<track><title>t</title></track></tracks>")
            << QStringList();
        QTest::newRow("nothing carries over to the next track")
            << QByteArray("<tracks><track><id>1</id><title>a</title><permalink-url>http://s/1"
                          "</permalink-url></track><track><id>2</id></track></tracks>")
            << QStringList{"1|a|http://s/1", "2||"};
        QTest::newRow("no id or an empty one: not a track")
            << QByteArray("<tracks><track><title>a</title></track><track><id/><title>b</title>"
                          "</track><track><id nil=\"true\"></id></track><track><id>3</id>"
                          "</track></tracks>")
            << QStringList{"3||"};
        QTest::newRow("later field of the same name wins")
            << QByteArray("<tracks><track><id>1</id><id>2</id></track></tracks>")
            << QStringList{"2||"};
    }

    void tracks()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QStringList, tracks);
        bool whole = false;
        QCOMPARE(Read(xml, &whole), tracks);
        QVERIFY(whole);
    }

    // A reply that stops inside a track hands over the whole tracks before it, not the
    // cut one; one that is not XML hands over nothing.
    void brokenReplies()
    {
        bool whole = true;
        QCOMPARE(Read("<tracks><track><id>1</id></track><track><id>2</id><title>half", &whole),
                 QStringList{"1||"});
        QVERIFY(!whole);
        QCOMPARE(Read("{\"tracks\": []}", &whole), QStringList());
        QVERIFY(!whole);
        QCOMPARE(Read("<tracks><track><id>1</id></track></tracks><tracks/>", &whole),
                 QStringList{"1||"});
        QVERIFY(!whole);
    }

    // A stop asked for while a long reply is read ends the reading there: the tracks before
    // it stand, none after it is handed over, and the reason says so.
    void stopEndsTheReadingAtOnce()
    {
        QByteArray xml = "<tracks>";
        for (int t = 1; t <= 1000; ++t)
            xml += "<track><id>" + QByteArray::number(t) + "</id><title>t</title></track>";
        xml += "</tracks>";
        int handed = 0;
        QString error;
        const bool whole = TTrackListReader::ReadBytes(
            xml, [&handed](const TTracksInfo&) { ++handed; }, &error,
            [&handed] { return handed >= 10; });
        QVERIFY(!whole);
        QCOMPARE(handed, 10);
        QCOMPARE(error, QLatin1String(TTrackListReader::kStopped));
    }
};

QB_TEST(TestTrackListReader, "unit");
#include "TestTrackListReader.moc"
