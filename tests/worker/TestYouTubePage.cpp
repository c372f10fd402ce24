#include "FakeYouTube.h"
#include "TestRegistry.h"

#include "worker/YouTubePage.h"

#include <QTemporaryDir>
#include <QTest>

using qbtest::TFakeVideo;
using qbtest::TFakeYouTube;

namespace {

// A watch page with one title line and one stream-map line holding the given map value.
QStringList pageWithMap(const QString& map, const QString& title = QStringLiteral("T"))
{
    return {QStringLiteral("<html><head>"),
            QStringLiteral("<title>") + title + QStringLiteral("</title>"),
            QStringLiteral("<script>{\"url_encoded_fmt_stream_map\": \"") + map +
                QStringLiteral("\"}</script>")};
}

QString entry(const QString& url, const QString& sig, int itag, const QString& quality)
{
    return QStringLiteral("url=%1\\u0026sig=%2\\u0026itag=%3\\u0026type=video%252Fmp4"
                          "\\u0026fallback_host=fb.example\\u0026quality=%4")
        .arg(url, sig)
        .arg(itag)
        .arg(quality);
}

} // namespace

class TestYouTubePage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hexAndUrlDecoding_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hex 2F") << "hex"
                                << "2F"
                                << "47";
        QTest::newRow("hex lower case with final h") << "hex"
                                                     << "2h"
                                                     << "2";
        QTest::newRow("hex stops at a non-digit with 0") << "hex"
                                                         << "G1"
                                                         << "0";
        QTest::newRow("hex empty") << "hex"
                                   << ""
                                   << "0";
        QTest::newRow("hex ffH") << "hex"
                                 << "ffH"
                                 << "255";
        QTest::newRow("url plus and escapes") << "url"
                                              << "a+b%3Dc"
                                              << "a b=c";
        QTest::newRow("url high byte stays one character") << "url"
                                                           << "%E9"
                                                           << "\u00e9";
        QTest::newRow("url bad escape gives code 0") << "url"
                                                     << "x%zzy" << QString("x") + QChar(0) + "y";
        QTest::newRow("url trailing percent kept") << "url"
                                                   << "ab%4"
                                                   << "ab%4";
        QTest::newRow("url twice turns %2526 into &") << "url2"
                                                      << "%2526"
                                                      << "&";
    }
    void hexAndUrlDecoding()
    {
        QFETCH(QString, function);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        if (function == QLatin1String("hex"))
            QCOMPARE(QString::number(HexStrToInt(input)), expected);
        else if (function == QLatin1String("url"))
            QCOMPARE(UrlDecode(input), expected);
        else
            QCOMPARE(UrlDecode(UrlDecode(input)), expected);
    }

    void titles_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("title");
        const QString map = entry("http%253A%252F%252Fh%252Fv", "SABC", 22, "hd720");
        QTest::newRow("colon and slash removed, blanks kept")
            << pageWithMap(map, "My Clip: Part 1/2") << "My Clip Part 12";
        QTest::newRow("&amp;quot; becomes a blank")
            << pageWithMap(map, "a&amp;quot;b&AMP;QUOT;c") << "a b c";
        QTest::newRow("300 characters cut to 250")
            << pageWithMap(map, QString(300, QLatin1Char('x'))) << QString(250, QLatin1Char('x'));
        QTest::newRow("tags in capitals give no title")
            << QStringList{"<TITLE>Loud</TITLE>",
                           "\"url_encoded_fmt_stream_map\": \"" + map + "\" dir=\"ltr\">Fb<"}
            << "";
        QTest::newRow("ltr fallback on the map line")
            << QStringList{"<span dir=\"ltr\">Fall: back</span> \"url_encoded_fmt_stream_map\": "
                           "\"" +
                           map + "\""}
            << "Fall back";
        QTest::newRow("first title line wins")
            << QStringList{"<title>One</title>", "<title>Two</title>",
                           "\"url_encoded_fmt_stream_map\": \"" + map + "\""}
            << "One";
    }
    void titles()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, title);
        QCOMPARE(ParseYouTubeLines(lines).title, title);
    }

    void streamChoice_data()
    {
        QTest::addColumn<QStringList>("qualities");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<QString>("quality");
        QTest::newRow("hd720 medium small: medium")
            << QStringList{"hd720", "medium", "small"} << true << "medium";
        QTest::newRow("small medium hd720: the last, hd720")
            << QStringList{"small", "medium", "hd720"} << true << "hd720";
        QTest::newRow("only small: nothing") << QStringList{"small", "small"} << false << "";
        QTest::newRow("one entry") << QStringList{"medium"} << true << "medium";
    }
    // Through the fake service's own pages: the address chosen is one the service accepts.
    void streamChoice()
    {
        QFETCH(QStringList, qualities);
        QFETCH(bool, chosen);
        QFETCH(QString, quality);
        TFakeYouTube yt;
        TFakeVideo video;
        video.qualities = qualities;
        const QString link = yt.AddVideo(video);
        const QString id = link.section(QLatin1Char('='), -1);
        const TYouTubeStream s =
            ParseYouTubeLines(QString::fromUtf8(yt.WatchPage(id)).split(QLatin1Char('\n')));
        QCOMPARE(s.title, QStringLiteral("Clip - YouTube"));
        QCOMPARE(s.chosen, chosen);
        if (!chosen)
            return;
        const QString tail = QStringLiteral("&itag=%1&signature=%2")
                                 .arg(TFakeYouTube::Itag(quality))
                                 .arg(TFakeYouTube::Signature(id, quality));
        QVERIFY2(s.mediaUrl.endsWith(tail), qPrintable(s.mediaUrl));
        QVERIFY(s.mediaUrl.contains(QStringLiteral("q=") + quality));
        for (const char* gone : {"sig=", "type=", "fallback_host=", "quality="})
            QVERIFY2(!s.mediaUrl.contains(QLatin1String(gone)), gone);
    }

    void entryAddresses_data()
    {
        QTest::addColumn<QString>("map");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<QString>("address");
        QTest::newRow("signature ABC, itag 22")
            << entry("http%253A%252F%252Fh%252Fv%253Fa%253D1", "ABC", 22, "hd720") << true
            << "http://h/v?a=1&&&&&&itag=22&signature=";
        QTest::newRow("comma in a codecs list does not split")
            << "url=http%253A%252F%252Fh%252Fone\\u0026sig=S1\\u0026itag=18\\u0026type=video%"
               "252Fmp4%253B+codecs%253D%2522a%252C+b%2522\\u0026quality=medium"
               ",url=http%253A%252F%252Fh%252Ftwo\\u0026sig=S2\\u0026itag=36\\u0026quality=small"
            << true << "http://h/one&&&&&itag=18&signature=S1";
        QTest::newRow("entry without url is never chosen")
            << "sig=S1\\u0026itag=18\\u0026quality=medium" << false << "";
        QTest::newRow("no closing quote: no map") << "url=x" << false << "";
        QTest::newRow("decoded high byte goes out as %XX")
            << entry("http%253A%252F%252Fh%252F%25E9", "ABC", 22, "hd720") << true
            << "http://h/%E9&&&&&&itag=22&signature=";
    }
    void entryAddresses()
    {
        QFETCH(QString, map);
        QFETCH(bool, chosen);
        QFETCH(QString, address);
        QStringList lines = pageWithMap(map);
        if (QTest::currentDataTag() == QLatin1String("no closing quote: no map"))
            lines.last() = QStringLiteral("\"url_encoded_fmt_stream_map\": \"") + map;
        const TYouTubeStream s = ParseYouTubeLines(lines);
        QCOMPARE(s.chosen, chosen);
        if (chosen)
            QVERIFY2(s.mediaUrl.startsWith(address), qPrintable(s.mediaUrl));
    }

    void hundredEntriesAtMost()
    {
        QStringList entries;
        for (int i = 0; i < 150; ++i)
            entries.append(
                entry(QStringLiteral("http%253A%252F%252Fh%252F%1").arg(i), "S", 18, "medium"));
        const TYouTubeStream s = ParseYouTubeLines(pageWithMap(entries.join(',')));
        QVERIFY(s.chosen);
        QVERIFY2(s.mediaUrl.startsWith(QStringLiteral("http://h/99&")), qPrintable(s.mediaUrl));
    }

    void pageFileReadToTheMapLine()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("1.txt"));
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<title>Caf\xc3\xa9 Song</title>\r\n\"url_encoded_fmt_stream_map\": \"" +
                entry("http%253A%252F%252Fh%252Fv", "SX", 22, "hd720").toUtf8() +
                "\"\r\n<title>Later</title>\r\n");
        f.close();
        TYouTubeStream s;
        QVERIFY(ReadYouTubePage(page, s));
        QCOMPARE(s.title, QStringLiteral("Caf\u00e9 Song"));
        QVERIFY(s.chosen);
        QVERIFY(s.mediaUrl.endsWith(QStringLiteral("&itag=22&signature=SX")));
        TYouTubeStream none;
        QVERIFY(!ReadYouTubePage(dir.filePath(QStringLiteral("missing.txt")), none));
    }
};

QB_TEST(TestYouTubePage, "unit");
#include "TestYouTubePage.moc"
