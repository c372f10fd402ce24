#include "MediaFixtures.h"
#include "TestRegistry.h"

#include "convert/ConvertNaming.h"
#include "convert/TfrmOption.h"
#include "media/MediaRecords.h"
#include "media/TAVLibrary.h"
#include "media/TFFDecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestfrmOption : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_media;
    int m_cases = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(TAVLibrary::Load(qbtest::libAVFolder(), error), qPrintable(error));
        m_media = qbtest::makeMedia(m_dir.path(), QStringLiteral("mono"));
        QVERIFY(!m_media.isEmpty());
    }

    void buildsTheTaskRecords_data()
    {
        QTest::addColumn<QString>("workingName"); // of the download in Temp/
        QTest::addColumn<QStringList>("present"); // files in the save folder already
        QTest::addColumn<QString>("expected");

        QTest::newRow("no extension") << "Song" << QStringList{} << "Song_(new).mp3";
        QTest::newRow("dots in a title stay")
            << "Mr. Blue Sky" << QStringList{} << "Mr. Blue Sky_(new).mp3";
        QTest::newRow("text after the last dot is no extension")
            << "Live at 5.30 pm.Part 2" << QStringList{} << "Live at 5.30 pm.Part 2_(new).mp3";
        QTest::newRow("a media extension goes, in any case")
            << "Clip.WebM" << QStringList{} << "Clip_(new).mp3";
        QTest::newRow("only the last extension")
            << "Clip.mp3.m4a" << QStringList{} << "Clip.mp3_(new).mp3";
        QTest::newRow("first free number")
            << "Song" << QStringList{"Song_(new).mp3", "Song_(new_1).mp3"} << "Song_(new_2).mp3";
        QTest::newRow("a link leading nowhere holds its name")
            << "Song" << QStringList{"@Song_(new).mp3"} << "Song_(new_1).mp3";
        QTest::newRow("a conversion still writing holds its name")
            << "Song" << QStringList{"Song_(new).mp3.part"} << "Song_(new_1).mp3";
        QTest::newRow("a longest on-disk name is cut to fit")
            << QString(255, QLatin1Char('x')) << QStringList{}
            << QString(245, QLatin1Char('x')) + "_(new).mp3";
    }

    // The driver's calls: settings, decoder attached, output then input.
    void buildsTheTaskRecords()
    {
        QFETCH(QString, workingName);
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        const QString saveFolder = m_dir.filePath(QStringLiteral("save%1/").arg(++m_cases));
        QVERIFY(QDir().mkpath(saveFolder + QStringLiteral("Temp")));
        const QString working = saveFolder + QStringLiteral("Temp/") + workingName;
        QVERIFY(QFile::copy(m_media, working));
        for (const QString& name : present) {
            if (name.startsWith(QLatin1Char('@'))) { // "@name": a link to nothing
                QVERIFY(
                    QFile::link(saveFolder + QStringLiteral("nowhere"), saveFolder + name.mid(1)));
                continue;
            }
            QFile file(saveFolder + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }

        TFFDecoder decoder;
        QVERIFY2(decoder.LoadFile(working), qPrintable(decoder.LastErrMsg()));
        TfrmOption& settings = frmOption();
        settings.AttachDecoder(&decoder);
        settings.grpFormats = QStringLiteral("MP3");
        settings.edtAudioBitRate = QStringLiteral("128");
        settings.edtOutPath = saveFolder;
        TOutputOptions out;
        out.Tag = 7;
        out.VideoHookBitsPixel = 24;
        settings.BuildOutputOptions(&out);
        TInputOptions in;
        in.Presets = "-x";
        settings.BuildInputOptions(&in);

        QCOMPARE(out.Options, QByteArray(" -b:a 128k -b:v 200k -sn"));
        QCOMPARE(out.FileName, saveFolder + expected);
        QCOMPARE(out.Tag, 0);
        QCOMPARE(out.VideoHookBitsPixel, 32);
        QCOMPARE(in.Options, QByteArray(" -vn"));
        QCOMPARE(in.FileName, working);
        QVERIFY(in.Presets.isEmpty());
    }

    void namesFitIn255Bytes_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("taken"); // "_(new)" names present: _(new), _(new_1), ...
        QTest::addColumn<QString>("suffix");

        QTest::newRow("300 bytes of ASCII") << QString(300, QLatin1Char('a')) << 0 << "_(new).mp3";
        QTest::newRow("300 bytes of two-byte letters")
            << QString(150, QChar(0x00E9)) << 0 << "_(new).mp3";
        QTest::newRow("four-byte characters, numbered")
            << QString::fromUtf8("\U0001F3B5").repeated(80) << 12 << "_(new_12).mp3";
        QTest::newRow("three-byte characters after a dot")
            << QString(100, QChar(0x266A)) + QStringLiteral(".webm") << 1 << "_(new_1).mp3";
    }

    void namesFitIn255Bytes()
    {
        QFETCH(QString, title);
        QFETCH(int, taken);
        QFETCH(QString, suffix);
        const QString folder = QStringLiteral("/save/");
        QStringList existing;
        auto exists = [&](const QString& path) {
            existing.append(path);
            return existing.size() <= taken;
        };

        const QString path = ConvertedFileName(folder, QStringLiteral("/save/Temp/") + title,
                                               QStringLiteral(".mp3"), false, exists);
        QVERIFY(path.startsWith(folder));
        const QString name = path.mid(folder.size());
        const QByteArray utf8 = name.toUtf8();
        QVERIFY2(utf8.size() <= 255, qPrintable(QString::number(utf8.size())));
        QVERIFY(utf8.size() > 255 - 4);          // cut no more than one character too much
        QCOMPARE(QString::fromUtf8(utf8), name); // whole code points only
        QVERIFY(name.endsWith(suffix));
        QVERIFY(title.startsWith(name.chopped(suffix.size())));
    }
};

QB_TEST(TestfrmOption, "unit");
#include "TestfrmOption.moc"
