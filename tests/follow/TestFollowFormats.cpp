#include "TestRegistry.h"

#include "follow/FollowFormats.h"

#include <QTest>

// The texts of the followed-users lists.
class TestFollowFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formats_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");

        QTest::newRow("check time of 14 digits") << "time"
                                                 << "20131224153005"
                                                 << "2013-12-24 15:30:05";
        QTest::newRow("check time of other length") << "time"
                                                    << "2013122415300"
                                                    << "";
        QTest::newRow("check time empty") << "time"
                                          << ""
                                          << "";
        QTest::newRow("duration 3:45") << "duration"
                                       << "225000"
                                       << "0:3:45";
        QTest::newRow("duration 1:2:5") << "duration"
                                        << "3725000"
                                        << "1:2:5";
        QTest::newRow("duration a millisecond short of a minute") << "duration"
                                                                  << "59999"
                                                                  << "0:0:59";
        QTest::newRow("duration not a number") << "duration"
                                               << "3m"
                                               << "";
        QTest::newRow("size 1024 bytes") << "size"
                                         << "1024"
                                         << "1024 (1024 Byte)";
        QTest::newRow("size 1536 bytes") << "size"
                                         << "1536"
                                         << "1536 (1.50 KB)";
        QTest::newRow("size 1048576 bytes") << "size"
                                            << "1048576"
                                            << "1048576 (1024.00 KB)";
        QTest::newRow("size three MiB") << "size"
                                        << "3145728"
                                        << "3145728 (3.00 MB)";
        QTest::newRow("size 1 GiB") << "size"
                                    << "1073741824"
                                    << "1073741824 (1024.00 MB)";
        QTest::newRow("size over 1 GiB") << "size"
                                         << "3221225472"
                                         << "3221225472 (3.00 GB)";
        QTest::newRow("size not a number") << "size"
                                           << "big"
                                           << "";
    }

    void formats()
    {
        QFETCH(QString, kind);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        if (kind == QLatin1String("time"))
            QCOMPARE(FormatCheckTime(input), expected);
        else if (kind == QLatin1String("duration"))
            QCOMPARE(FormatDuration(input), expected);
        else
            QCOMPARE(FormatTrackSize(input), expected);
    }
};

QB_TEST(TestFollowFormats, "unit");
#include "TestFollowFormats.moc"
