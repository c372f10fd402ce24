#include "MemorySettings.h"
#include "TestRegistry.h"

#include "app/Folders.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored"); // invalid: absent
        QTest::addColumn<QString>("expected");

        const QVariant absent;
        QTest::newRow("count 0 -> 5") << "LatestTrackCount" << QVariant("0") << "5";
        QTest::newRow("count negative -> 5") << "LatestTrackCount" << QVariant("-3") << "5";
        QTest::newRow("count not a number -> 5") << "LatestTrackCount" << QVariant("ten") << "5";
        QTest::newRow("count with a fraction -> 5") << "LatestTrackCount" << QVariant("7.5") << "5";
        QTest::newRow("count absent -> 5") << "LatestTrackCount" << absent << "5";
        QTest::newRow("count 12 -> 12") << "LatestTrackCount" << QVariant("12") << "12";
        QTest::newRow("download all 1 -> on") << "DownloadAllSoundFiles" << QVariant("1") << "true";
        QTest::newRow("download all 2 -> off")
            << "DownloadAllSoundFiles" << QVariant("2") << "false";
        QTest::newRow("download all text -> off")
            << "DownloadAllSoundFiles" << QVariant("yes") << "false";
        QTest::newRow("download all absent -> off") << "DownloadAllSoundFiles" << absent << "false";
        QTest::newRow("language absent -> English") << "SelectLanguage" << absent << "brae_eng.ini";
        QTest::newRow("language empty -> English")
            << "SelectLanguage" << QVariant("") << "brae_eng.ini";
        QTest::newRow("language kept")
            << "SelectLanguage" << QVariant("brae_deu.ini") << "brae_deu.ini";
        QTest::newRow("folder absent -> data folder")
            << "SaveToFolder" << absent << "/home/u/Documents/Quillbrook/";
        QTest::newRow("folder kept") << "SaveToFolder" << QVariant("/music/") << "/music/";
        // As the settings dialog takes a folder: absolute, "~" expanded, one trailing "/".
        QTest::newRow("folder without a trailing slash")
            << "SaveToFolder" << QVariant("/music") << "/music/";
        QTest::newRow("folder made clean")
            << "SaveToFolder" << QVariant(" /music//a/../b/ ") << "/music/b/";
        QTest::newRow("folder under home")
            << "SaveToFolder" << QVariant("~/Music") << QDir::homePath() + "/Music/";
        QTest::newRow("folder home") << "SaveToFolder" << QVariant("~") << QDir::homePath() + "/";
        QTest::newRow("relative folder -> data folder")
            << "SaveToFolder" << QVariant("Music/") << "/home/u/Documents/Quillbrook/";
        QTest::newRow("other user's home -> data folder")
            << "SaveToFolder" << QVariant("~bob/Music") << "/home/u/Documents/Quillbrook/";
    }

    void readRules()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, expected);
        MemorySettings store;
        if (stored.isValid())
            store.values.insert(key, stored.toString());
        QString note;
        const StoredSettings s =
            ReadSettings(store, QStringLiteral("/home/u/Documents/Quillbrook/"), &note);
        // A stored folder that could not be used is named in the note.
        const bool fellBack = key == QLatin1String("SaveToFolder") && stored.isValid() &&
                              expected == QLatin1String("/home/u/Documents/Quillbrook/");
        QCOMPARE(note.contains(stored.toString()) && !note.isEmpty(), fellBack);
        const QString got = key == QLatin1String("LatestTrackCount")
                                ? QString::number(s.LatestTrackCount)
                            : key == QLatin1String("DownloadAllSoundFiles")
                                ? QString::fromLatin1(s.DownloadAllSoundFiles ? "true" : "false")
                            : key == QLatin1String("SelectLanguage") ? s.SelectLanguage
                                                                     : s.SaveToFolder;
        QCOMPARE(got, expected);
    }

    void writeOrderAndValues()
    {
        MemorySettings store;
        WriteSettings(store, {QStringLiteral("/music/"), true, -4, QStringLiteral("brae_deu.ini")});
        QCOMPARE(store.written, (QStringList{"SaveToFolder", "DownloadAllSoundFiles",
                                             "LatestTrackCount", "SelectLanguage"}));
        QCOMPARE(store.values.value("DownloadAllSoundFiles"), QStringLiteral("1"));
        QCOMPARE(store.values.value("LatestTrackCount"), QStringLiteral("0"));
        // What was written reads back under the same rules (0 becomes 5 again).
        const StoredSettings back = ReadSettings(store, QStringLiteral("/data/"));
        QCOMPARE(back.SaveToFolder, QStringLiteral("/music/"));
        QVERIFY(back.DownloadAllSoundFiles);
        QCOMPARE(back.LatestTrackCount, 5);
        QCOMPARE(back.SelectLanguage, QStringLiteral("brae_deu.ini"));
    }

    void writeStopsAtFirstFailure()
    {
        MemorySettings store;
        store.failFromWrite = 1; // the second write fails
        QVERIFY(
            !WriteSettings(store, {QStringLiteral("/music/"), false, 9, QStringLiteral("x.ini")})
                 .isEmpty());
        QCOMPARE(store.written, (QStringList{"SaveToFolder", "DownloadAllSoundFiles"}));
        QCOMPARE(store.values.keys(), QStringList{"SaveToFolder"});
    }

    void realStoreRoundTrip()
    {
        {
            NativeSettingsBackend store;
            WriteSettings(store,
                          {QStringLiteral("/music/"), true, 12, QStringLiteral("brae_deu.ini")});
        }
        NativeSettingsBackend store;
        const StoredSettings s = ReadSettings(store, QStringLiteral("/data/"));
        QCOMPARE(s.SaveToFolder, QStringLiteral("/music/"));
        QVERIFY(s.DownloadAllSoundFiles);
        QCOMPARE(s.LatestTrackCount, 12);
        QCOMPARE(s.SelectLanguage, QStringLiteral("brae_deu.ini"));
        QVERIFY(QFile::remove(store.fileName()));
    }

    void folders_data()
    {
        QTest::addColumn<QString>("documents");
        QTest::addColumn<QString>("dataDir");
        QTest::newRow("no trailing slash") << "/home/u/Documents"
                                           << "/home/u/Documents/Quillbrook/";
        QTest::newRow("trailing slash") << "/home/u/Documents/"
                                        << "/home/u/Documents/Quillbrook/";
    }
    void folders()
    {
        QFETCH(QString, documents);
        QFETCH(QString, dataDir);
        QCOMPARE(DataDirFrom(documents), dataDir);
        QCOMPARE(AppDirFrom(QStringLiteral("/opt/qb/bin/quillbrook")),
                 QStringLiteral("/opt/qb/bin/"));
    }
};

QB_TEST(TestSettingsStore, "unit");
#include "TestSettingsStore.moc"
