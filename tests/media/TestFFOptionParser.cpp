#include "TestRegistry.h"

#include "media/TFFOptionParser.h"

#include <QTest>

using Words = std::vector<std::string>;
Q_DECLARE_METATYPE(Words)

class TestFFOptionParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("noVideo");
        QTest::addColumn<bool>("noSubtitles");
        QTest::addColumn<qint64>("audio");
        QTest::addColumn<qint64>("video");
        QTest::addColumn<Words>("unknown");
        QTest::addColumn<QString>("error");

        QTest::newRow("the builder's output options")
            << QByteArray(" -b:a 128k -b:v 200k -sn") << true << false << true << qint64(128000)
            << qint64(200000) << Words{} << QString();
        QTest::newRow("the builder's input options")
            << QByteArray(" -vn") << true << true << false << qint64(0) << qint64(0) << Words{}
            << QString();
        QTest::newRow("nothing") << QByteArray("  ") << true << false << false << qint64(0)
                                 << qint64(0) << Words{} << QString();
        QTest::newRow("plain number, mega suffix, tabs")
            << QByteArray("-b:a\t96000 -b:v 1.5M") << true << false << false << qint64(96000)
            << qint64(1500000) << Words{} << QString();
        QTest::newRow("unknown options and a stray value are listed")
            << QByteArray(" -ab 128k -vn -frobnicate") << true << true << false << qint64(0)
            << qint64(0) << Words{"-ab", "128k", "-frobnicate"} << QString();
        QTest::newRow("value missing")
            << QByteArray(" -sn -b:a") << false << false << false << qint64(0) << qint64(0)
            << Words{} << "Missing argument for option 'b:a'";
        QTest::newRow("not a rate")
            << QByteArray(" -b:v fast") << false << false << false << qint64(0) << qint64(0)
            << Words{} << "Invalid value 'fast' for option 'b:v'";
        QTest::newRow("zero") << QByteArray(" -b:a 0k") << false << false << false << qint64(0)
                              << qint64(0) << Words{} << "Invalid value '0k' for option 'b:a'";
        QTest::newRow("suffix only")
            << QByteArray(" -b:a k") << false << false << false << qint64(0) << qint64(0) << Words{}
            << "Invalid value 'k' for option 'b:a'";
        QTest::newRow("beyond 32 bits")
            << QByteArray(" -b:a 5G") << false << false << false << qint64(0) << qint64(0)
            << Words{} << "Invalid value '5G' for option 'b:a'";
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(QString, error);

        TFFOptionSet set;
        std::string message;
        QCOMPARE(TFFOptionParser::Parse(text.toStdString(), set, message), ok);
        QCOMPARE(QString::fromStdString(message), error);
        if (!ok)
            return;
        QTEST(set.NoVideo, "noVideo");
        QTEST(set.NoSubtitles, "noSubtitles");
        QTEST(qint64(set.AudioBitRate), "audio");
        QTEST(qint64(set.VideoBitRate), "video");
        QTEST(set.Unknown, "unknown");
    }
};

QB_TEST(TestFFOptionParser, "unit");
#include "TestFFOptionParser.moc"
