#include "TestRegistry.h"
#include "XmlTestSupport.h"

#include "xml/XmlException.h"

#include <QTest>

namespace {

QString Fixture(const char* name)
{
    return QStringLiteral(QB_SOURCE_DIR "/tests/xml/fixtures/") + QLatin1String(name);
}

std::unique_ptr<TNativeXml> NewUsersDocument()
{
    auto xml = TNativeXml::CreateName("users");
    xml->SetXmlFormat(xfReadable);
    return xml;
}

} // namespace

class TestXmlWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyRootIsOneLine();
    void userFileLayoutAndReadBack();
    void valueRoundTrip_data();
    void valueRoundTrip();
    void writeStringReusesTheElement();
    void elementNames_data();
    void elementNames();
    void saveReplacesTheFileOrRaises();
};

void TestXmlWriter::emptyRootIsOneLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("followuser.xml");
    NewUsersDocument()->SaveToFile(path);
    QCOMPARE(ReadFile(path), ReadFile(Fixture("empty_users.xml")));
}

void TestXmlWriter::userFileLayoutAndReadBack()
{
    auto xml = NewUsersDocument();
    TXmlNode* user = xml->Root()->NodeNew("user");
    user->WriteString("name", "Bob & Alice");
    user->WriteString("id", "");
    user->WriteString("description", "line one\n<two> & 'three'\r\n\"four\"");
    user->WriteString("auto-check", "1");
    TXmlNode* track = user->NodeNew("track");
    track->WriteString("id", "123");
    track->WriteString("title", QString::fromUtf8("Zoë – 東京").toUtf8());
    track->WriteString("downloaded-at", "");

    QTemporaryDir dir;
    const QString path = dir.filePath("followuser.xml");
    xml->SaveToFile(path);
    QCOMPARE(ReadFile(path), ReadFile(Fixture("one_user.xml")));

    // The fixture reads back to the values written, line breaks as CR LF.
    TNativeXml reader;
    QStringList fields;
    reader.OnNodeLoaded = [&](TNativeXml&, TXmlNode& node) {
        if (node.IsElement() && node.TreeDepth() >= 2)
            fields << QStringLiteral("%1 %2=%3")
                          .arg(node.TreeDepth())
                          .arg(QString::fromUtf8(node.Name()), node.ValueUnicode());
    };
    QVERIFY(reader.LoadFromFile(Fixture("one_user.xml")));
    QCOMPARE(fields,
             (QStringList{"2 name=Bob & Alice",
                          "2 id=", "2 description=line one\r\n<two> & 'three'\r\n\"four\"",
                          "2 auto-check=1", "3 id=123", QString::fromUtf8("3 title=Zoë – 東京"),
                          "3 downloaded-at=", "2 track="}));
}

void TestXmlWriter::valueRoundTrip_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("markup characters and quotes")
        << QByteArray("a < b & \"c\" 'd' > e") << QString("a < b & \"c\" 'd' > e");
    QTest::newRow("text that looks like markup stays literal")
        << QByteArray("<name>&amp;</name> ]]>") << QString("<name>&amp;</name> ]]>");
    QTest::newRow("leading and trailing blanks are lost")
        << QByteArray(" \t padded \r\n") << QString("padded");
    QTest::newRow("inner blanks and tabs are kept") << QByteArray("a \t b") << QString("a \t b");
    QTest::newRow("CR LF, CR and LF all read back as CR LF")
        << QByteArray("1\r\n2\r3\n4") << QString("1\r\n2\r\n3\r\n4");
    QTest::newRow("non-ASCII text")
        << QString::fromUtf8("Zoë – 東京 🎵").toUtf8() << QString::fromUtf8("Zoë – 東京 🎵");
    QTest::newRow("empty value") << QByteArray() << QString();
    // Characters XML cannot carry would make the saved file unreadable from that point on.
    QTest::newRow("control character is replaced")
        << QByteArray("a\x01z\x1F") << QString::fromUtf8("a\uFFFDz\uFFFD");
    QTest::newRow("bytes that are not UTF-8 are replaced")
        << QByteArray("caf\xE9 \xED\xA0\x80") << QString::fromUtf8("caf\uFFFD \uFFFD\uFFFD\uFFFD");
}

void TestXmlWriter::valueRoundTrip()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, readBack);

    auto xml = NewUsersDocument();
    TXmlNode* user = xml->Root()->NodeNew("user");
    user->WriteString("description", value);
    user->WriteString("after", "still here");
    QTemporaryDir dir;
    const QString path = dir.filePath("values.xml");
    xml->SaveToFile(path);

    TNativeXml reader;
    QStringList values;
    reader.OnNodeLoaded = [&](TNativeXml&, TXmlNode& node) {
        if (node.TreeDepth() == 2)
            values << node.ValueUnicode();
    };
    QVERIFY2(reader.LoadFromFile(path), qPrintable(reader.ErrorText()));
    QCOMPARE(values, (QStringList{readBack, "still here"}));
    if (value.isEmpty())
        QVERIFY(ReadFile(path).contains("\r\n\t\t<description/>\r\n"));
}

void TestXmlWriter::writeStringReusesTheElement()
{
    auto xml = NewUsersDocument();
    TXmlNode* user = xml->Root()->NodeNew("user");
    user->WriteString("name", "first");
    user->WriteString("id", "1");
    user->WriteString("name", "second");
    QCOMPARE(user->NodeCount(), 2);
    QCOMPARE(user->NodeByName("name")->ValueUnicode(), QString("second"));
    QCOMPARE(user->NodeByName("name")->NextSibling(), user->NodeByName("id"));

    xml->SetWriteOnDefault(false);
    user->WriteString("city", "", "");
    user->WriteString("country", "x", "x");
    QCOMPARE(user->NodeCount(), 2);
    user->WriteString("city", "Oslo", "");
    QCOMPARE(user->NodeByName("city")->ValueUnicode(), QString("Oslo"));
}

void TestXmlWriter::elementNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("valid");

    QTest::newRow("hyphenated") << QByteArray("permalink-url") << true;
    QTest::newRow("dotted, underscored, prefixed") << QByteArray("_a.b:c1") << true;
    QTest::newRow("non-ASCII letters") << QString::fromUtf8("größe").toUtf8() << true;
    QTest::newRow("ideographs") << QString::fromUtf8("東京").toUtf8() << true;
    QTest::newRow("combining mark after a letter") << QByteArray("e\xCC\x80") << true;
    // Non-ASCII characters that are no name characters: saved, the file would not reload.
    QTest::newRow("multiplication sign") << QString::fromUtf8("a×b").toUtf8() << false;
    QTest::newRow("combining mark first") << QByteArray("\xCC\x80"
                                                        "e")
                                          << false;
    QTest::newRow("non-character U+FFFE") << QByteArray("a\xEF\xBF\xBE") << false;
    QTest::newRow("masculine ordinal") << QString::fromUtf8("ºkind").toUtf8() << false;
    QTest::newRow("character beyond the basic plane") << QByteArray("a\xF0\x90\x80\x80") << false;
    QTest::newRow("no-break space") << QByteArray("a\xC2\xA0"
                                                  "b")
                                    << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("with a blank") << QByteArray("two words") << false;
    QTest::newRow("leading digit") << QByteArray("1st") << false;
    QTest::newRow("markup character") << QByteArray("a<b") << false;
    QTest::newRow("not UTF-8") << QByteArray("gr\xF6\xDF") << false;
}

void TestXmlWriter::elementNames()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, valid);
    auto xml = NewUsersDocument();
    if (valid) {
        xml->Root()->WriteString(name, "v");
        QVERIFY(xml->Root()->NodeByName(name));
        TNativeXml reader;
        QVERIFY(reader.LoadFromBytes(xml->SaveToBytes()));
        QCOMPARE(reader.Root()->NodeByName(name)->ValueUnicode(), QString("v"));
    } else {
        QVERIFY_THROWS_EXCEPTION(EXmlException, xml->Root()->NodeNew(name));
        QVERIFY_THROWS_EXCEPTION(EXmlException, TNativeXml::CreateName(name));
        QCOMPARE(xml->Root()->NodeCount(), 0);
    }
}

void TestXmlWriter::saveReplacesTheFileOrRaises()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("followuser.xml");
    QVERIFY(WriteFile(path, QByteArray(10000, 'x')));
    NewUsersDocument()->SaveToFile(path);
    QCOMPARE(ReadFile(path), ReadFile(Fixture("empty_users.xml")));

    QVERIFY_THROWS_EXCEPTION(EXmlException,
                             NewUsersDocument()->SaveToFile(dir.filePath("no/such/folder.xml")));
}

QB_TEST(TestXmlWriter, "unit");

#include "TestXmlWriter.moc"
