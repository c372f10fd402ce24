#include "TestEnvironment.h"
#include "TestRegistry.h"

#include "base/IniFile.h"
#include "language/LangStrings.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray encoded(const QString& text, QStringConverter::Encoding encoding, bool bom)
{
    QStringEncoder encoder(encoding, bom ? QStringConverter::Flag::WriteBom
                                         : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }

private Q_SLOTS:
    void encodings_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<bool>("bom");
        QTest::newRow("UTF-8") << int(QStringConverter::Utf8) << false;
        QTest::newRow("UTF-8 with BOM") << int(QStringConverter::Utf8) << true;
        QTest::newRow("UTF-16 LE with BOM") << int(QStringConverter::Utf16LE) << true;
        QTest::newRow("UTF-16 BE with BOM") << int(QStringConverter::Utf16BE) << true;
    }
    void encodings()
    {
        QFETCH(int, encoding);
        QFETCH(bool, bom);
        const QString text = QStringLiteral("[AllStrings]\r\nMsg1_5=  Élément löschen?\t \r\n");
        const IniFile ini =
            IniFile::parse(encoded(text, QStringConverter::Encoding(encoding), bom));
        QCOMPARE(ini.value(QStringLiteral("AllStrings"), QStringLiteral("Msg1_5")),
                 QStringLiteral("Élément löschen?"));
    }

    void iniRules()
    {
        const IniFile ini =
            IniFile::parse("; comment\n"
                           "[info]\nLanguage = Test\n"
                           "[ALLSTRINGS]\nstring1_9=First\nString1_9=Second\nEmpty=\n"
                           "Msg=a=b, \"quoted\" \\n @x\n"
                           "[Other]\nString1_10=Elsewhere\n");
        const QString s = QStringLiteral("AllStrings");
        QCOMPARE(ini.value(QStringLiteral("Info"), QStringLiteral("LANGUAGE")),
                 QStringLiteral("Test"));
        QCOMPARE(ini.value(s, QStringLiteral("String1_9")), QStringLiteral("First"));
        QCOMPARE(ini.value(s, QStringLiteral("Empty"), QStringLiteral("default")), QString());
        QCOMPARE(ini.value(s, QStringLiteral("Msg")), QStringLiteral("a=b, \"quoted\" \\n @x"));
        QCOMPARE(ini.value(s, QStringLiteral("String1_10"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QCOMPARE(ini.value(QStringLiteral("Missing"), QStringLiteral("x"), QStringLiteral("d")),
                 QStringLiteral("d"));
    }

    void partialFileFallsBackToDefaults()
    {
        const QString path = writeFile(QStringLiteral("partial.ini"),
                                       "[AllStrings]\nMsg1_5=  Really delete?  \nString1_9=\n");
        QVERIFY(LoadLanguageFile(path));
        QCOMPARE(Lang("Msg1_5"), QStringLiteral("Really delete?"));
        QCOMPARE(Lang("String1_9"), QString()); // present but empty
        QCOMPARE(Lang("Msg1_6"), QStringLiteral("Downloading, Continue to exit?"));
        QCOMPARE(Lang("String1_52"), QStringLiteral("Open the user link of soundcloud.com"));
        // A second load of the same file changes nothing.
        QVERIFY(LoadLanguageFile(path));
        QCOMPARE(Lang("Msg1_5"), QStringLiteral("Really delete?"));
    }

    void fileWithoutSectionLoadsDefaults()
    {
        QVERIFY(LoadLanguageFile(writeFile(QStringLiteral("none.ini"), "just text\n")));
        QCOMPARE(Lang("String1_43"), QStringLiteral("Add link to download"));
    }

    void missingFileKeepsTheTable()
    {
        QVERIFY(
            LoadLanguageFile(writeFile(QStringLiteral("one.ini"), "[AllStrings]\nMsg1_7=Got\n")));
        QVERIFY(!LoadLanguageFile(m_dir.filePath(QStringLiteral("absent.ini"))));
        QCOMPARE(Lang("Msg1_7"), QStringLiteral("Got"));
    }

    void shippedFilesDefineEveryKey_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::newRow("English") << "brae_eng.ini"
                                 << "English";
        QTest::newRow("German") << "brae_deu.ini"
                                << "Deutsch";
    }
    void shippedFilesDefineEveryKey()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        const QString path = qbtest::sourceLanguageDir() + QLatin1Char('/') + file;
        QCOMPARE(LanguageDisplayName(path), name);
        const IniFile ini = IniFile::load(path);
        const QString missing = QStringLiteral("\x01");
        for (const LangKey& k : LangKeys()) {
            const QString v =
                ini.value(QStringLiteral("AllStrings"), QString::fromLatin1(k.key), missing);
            QVERIFY2(v != missing && !v.isEmpty(), k.key);
        }
        if (file == QLatin1String("brae_eng.ini")) {
            // The English file words these texts better than the built-in defaults, which
            // stay as they are; every other text it says exactly as the defaults do.
            const QStringList reviewed{
                "String1_1",  "String1_4",  "String1_23", "String1_28", "String1_29", "String1_35",
                "String1_43", "String1_44", "String1_50", "String1_52", "String1_53", "String1_56",
                "String2_5",  "String3_5",  "String3_6",  "Msg1_1",     "Msg1_2",     "Msg1_3",
                "Msg1_5",     "Msg1_6",     "Msg1_8",     "Msg1_10",    "Msg1_11"};
            for (const LangKey& k : LangKeys()) {
                const QString key = QString::fromLatin1(k.key);
                const QString v = ini.value(QStringLiteral("AllStrings"), key);
                if (reviewed.contains(key))
                    QVERIFY2(v != k.defaultText, k.key);
                else
                    QCOMPARE(v, k.defaultText);
            }
            QCOMPARE(ini.value(QStringLiteral("AllStrings"), QStringLiteral("String1_56")),
                     QStringLiteral("Show Grid Lines"));
        }
    }

    void applyLanguageReachesRegisteredWindowsOnly()
    {
        int applied = 0;
        {
            LanguageTarget target(LANG_ADD_WINDOW, [&] { ++applied; });
            ApplyLanguage(LANG_ADD_WINDOW);
            ApplyLanguage(LANG_SETTINGS_WINDOW);
            ApplyLanguage(4);
            ApplyLanguage(-1);
            QCOMPARE(applied, 1);
        }
        ApplyLanguage(LANG_ADD_WINDOW); // the window is gone
        QCOMPARE(applied, 1);
    }
};

QB_TEST(TestLanguage, "unit");
#include "TestLanguage.moc"
