#include "TestRegistry.h"

#include "update/VersionNumber.h"

#include <QTest>

// Version texts and their order, as the update check reads the maker's version file.
class TestVersionNumber : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("againstRunning"); // sign of the comparison with "2.8"

        QTest::newRow("2.9 is newer") << "2.9" << true << 1;
        QTest::newRow("2.8 is the same") << "2.8" << true << 0;
        QTest::newRow("2.80 is the same") << "2.80" << true << 0;
        QTest::newRow("2.10 reads as 2.1, older") << "2.10" << true << -1;
        QTest::newRow("3 is newer") << "3" << true << 1;
        QTest::newRow("10.0 is newer") << "10.0" << true << 1;
        QTest::newRow("02.9 is newer") << "02.9" << true << 1;
        QTest::newRow("2.8.1 is newer") << "2.8.1" << true << 1;
        QTest::newRow("2.7.9 is older") << "2.7.9" << true << -1;
        QTest::newRow("sixteen characters") << "1.00000000000009" << true << -1;
        QTest::newRow("huge whole part") << "9999999999999999" << true << 1;
        QTest::newRow("seventeen characters") << "1.000000000000009" << false << 0;
        QTest::newRow("inf") << "inf" << false << 0;
        QTest::newRow("nan") << "nan" << false << 0;
        QTest::newRow("exponent") << "1e1" << false << 0;
        QTest::newRow("comma as separator") << "2,9" << false << 0;
        QTest::newRow("sign") << "+2.9" << false << 0;
        QTest::newRow("trailing dot") << "2." << false << 0;
        QTest::newRow("leading dot") << ".9" << false << 0;
        QTest::newRow("blank inside") << "2. 9" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("markup") << "<a href=\"x\">9</a>" << false << 0;
        QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("٢.٩") << false << 0;
    }
    void versions()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, againstRunning);
        QCOMPARE(IsVersionText(text), valid);
        if (!valid)
            return;
        const int c = CompareVersions(text, QStringLiteral("2.8"));
        QCOMPARE((c > 0) - (c < 0), againstRunning);
        const int back = CompareVersions(QStringLiteral("2.8"), text);
        QCOMPARE((back > 0) - (back < 0), -againstRunning);
    }
};

QB_TEST(TestVersionNumber, "unit");
#include "TestVersionNumber.moc"
