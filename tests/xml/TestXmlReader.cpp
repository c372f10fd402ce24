#include "TestRegistry.h"
#include "XmlTestSupport.h"

#include "xml/XmlException.h"

#include <QTest>

#include <algorithm>
#include <stdexcept>

class TestXmlReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eventOrder_data();
    void eventOrder();
    void malformedInputKeepsEarlierEvents_data();
    void malformedInputKeepsEarlierEvents();
    void missingFileRaises();
    void handlerExceptionEndsTheLoad();
    void refusedInput_data();
    void refusedInput();
    void loadedDocumentSavesAndReloads_data();
    void loadedDocumentSavesAndReloads();
    void loadsAreBounded_data();
    void loadsAreBounded();
    void oversizedFileIsRefusedUnread();
    void valueAcrossReadChunks();
    void deepNestingLoadsAndFrees();
    void valueAsInteger_data();
    void valueAsInteger();
    void valueLineBreaks_data();
    void valueLineBreaks();
    void valuesKeptByAHandlerStay();
};

void TestXmlReader::eventOrder_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("user with a named child: text events sit between new and loaded of name")
        << QByteArray("<users><user><name>Bob</name></user></users>")
        << QStringList{"new 0 users",      "new 1 user",           "new 2 name",
                       "new 3 #text",      "loaded 3 #text [Bob]", "loaded 2 name [Bob]",
                       "loaded 1 user []", "loaded 0 users []"};
    QTest::newRow("self-closing and empty elements have empty values")
        << QByteArray("<a><b/><c></c></a>")
        << QStringList{"new 0 a", "new 1 b",       "loaded 1 b []",
                       "new 1 c", "loaded 1 c []", "loaded 0 a []"};
    QTest::newRow("blanks, tabs and line breaks around text are dropped")
        << QByteArray("<a>\r\n\t <b> \t x  y \n\r</b>\n</a>")
        << QStringList{"new 0 a",           "new 1 b",      "new 2 #text", "loaded 2 #text [x  y]",
                       "loaded 1 b [x  y]", "loaded 0 a []"};
    QTest::newRow("entities and character references are resolved")
        << QByteArray("<a>&lt;b&gt; &amp; &quot;q&quot; &apos;s&apos; &#233;&#x20AC;</a>")
        << QStringList{"new 0 a", "new 1 #text",
                       QString::fromUtf8("loaded 1 #text [<b> & \"q\" 's' é€]"),
                       QString::fromUtf8("loaded 0 a [<b> & \"q\" 's' é€]")};
    QTest::newRow("line breaks inside a value come back as CR LF")
        << QByteArray("<a>one\ntwo\r\nthree\rfour</a>")
        << QStringList{"new 0 a", "new 1 #text", "loaded 1 #text [one\r\ntwo\r\nthree\r\nfour]",
                       "loaded 0 a [one\r\ntwo\r\nthree\r\nfour]"};
    QTest::newRow("declaration and comments fire events under their own names")
        << QByteArray("<?xml version=\"1.0\"?>\n<!-- top --><a><!-- inner -->x</a>")
        << QStringList{"new 0 #declaration",
                       "loaded 0 #declaration []",
                       "new 0 #comment",
                       "loaded 0 #comment [ top ]",
                       "new 0 a",
                       "new 1 #comment",
                       "loaded 1 #comment [ inner ]",
                       "new 1 #text",
                       "loaded 1 #text [x]",
                       "loaded 0 a [x]"};
    QTest::newRow("upper-case names are reported as written")
        << QByteArray("<USERS><User><NAME>x</NAME></User></USERS>")
        << QStringList{"new 0 USERS",      "new 1 User",         "new 2 NAME",
                       "new 3 #text",      "loaded 3 #text [x]", "loaded 2 NAME [x]",
                       "loaded 1 User []", "loaded 0 USERS []"};
    QTest::newRow("an id inside a nested user is one level deeper")
        << QByteArray("<users><user><track><id>1</id><user><id>2</id></user></track></user>"
                      "</users>")
        << QStringList{
               "new 0 users",      "new 1 user",         "new 2 track",        "new 3 id",
               "new 4 #text",      "loaded 4 #text [1]", "loaded 3 id [1]",    "new 3 user",
               "new 4 id",         "new 5 #text",        "loaded 5 #text [2]", "loaded 4 id [2]",
               "loaded 3 user []", "loaded 2 track []",  "loaded 1 user []",   "loaded 0 users []"};
    QTest::newRow("text split by a comment makes two nodes; the first is the value")
        << QByteArray("<a>one<!--c-->two</a>")
        << QStringList{"new 0 a",
                       "new 1 #text",
                       "loaded 1 #text [one]",
                       "new 1 #comment",
                       "loaded 1 #comment [c]",
                       "new 1 #text",
                       "loaded 1 #text [two]",
                       "loaded 0 a [one]"};
    QTest::newRow("CDATA is text and its markup stays literal")
        << QByteArray("<a> <![CDATA[ <raw> & ]]> </a>")
        << QStringList{"new 0 a", "new 1 #text", "loaded 1 #text [<raw> &]",
                       "loaded 0 a [<raw> &]"};
    QTest::newRow("attributes and processing instructions never look like elements")
        << QByteArray("<a id=\"7\"><?id x?><b name=\"n\"/></a>")
        << QStringList{"new 0 a", "new 1 #instruction", "loaded 1 #instruction [id x]",
                       "new 1 b", "loaded 1 b []",      "loaded 0 a []"};
}

void TestXmlReader::eventOrder()
{
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, events);
    const TracedLoad load = LoadTraced(xml);
    QCOMPARE(load.events, events);
    QVERIFY2(load.whole, qPrintable(load.error));
    QVERIFY(load.error.isEmpty());
}

void TestXmlReader::malformedInputKeepsEarlierEvents_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("events");

    const QStringList userStarted{"new 0 users", "new 1 user", "new 2 name"};
    const QStringList nameLoaded =
        userStarted + QStringList{"new 3 #text", "loaded 3 #text [Bob]", "loaded 2 name [Bob]"};
    QTest::newRow("file ends inside an open element")
        << QByteArray("<users><user><name>Bob</name>") << nameLoaded;
    QTest::newRow("file ends inside a tag")
        << QByteArray("<users><user><name>Bob</name><na") << nameLoaded;
    QTest::newRow("end tag does not match")
        << QByteArray("<users><user><name>Bob</nam></user>") << userStarted;
    QTest::newRow("undefined entity")
        << QByteArray("<users><user><name>Bob</name><id>&bogus;</id></user></users>")
        << nameLoaded + QStringList{"new 2 id"};
    QTest::newRow("second root element")
        << QByteArray("<a/><b/>") << QStringList{"new 0 a", "loaded 0 a []"};
    QTest::newRow("illegal character") << QByteArray("<a>x\x01y</a>") << QStringList{"new 0 a"};
    QTest::newRow("not XML at all") << QByteArray("hello") << QStringList{};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
}

void TestXmlReader::malformedInputKeepsEarlierEvents()
{
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, events);
    const TracedLoad load = LoadTraced(xml);
    QCOMPARE(load.events, events);
    QVERIFY(!load.whole);
    QVERIFY(!load.error.isEmpty());
}

void TestXmlReader::missingFileRaises()
{
    QTemporaryDir dir;
    TNativeXml xml;
    QVERIFY_THROWS_EXCEPTION(EXmlException, xml.LoadFromFile(dir.filePath("absent.xml")));
    QVERIFY_THROWS_EXCEPTION(EXmlException, xml.LoadFromFile(dir.path()));
}

void TestXmlReader::handlerExceptionEndsTheLoad()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.xml");
    QVERIFY(WriteFile(path, "<a><b>1</b><stop/><c>2</c></a>"));

    TNativeXml xml;
    QStringList seen;
    xml.OnNodeNew = [&](TNativeXml&, TXmlNode& node) {
        seen << QString::fromUtf8(node.Name());
        if (node.Name() == "stop")
            throw std::runtime_error("handler failed");
    };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, xml.LoadFromFile(path));
    QCOMPARE(seen, (QStringList{"a", "b", "#text", "stop"}));

    // A handler may not pull the document from under the parser.
    xml.OnNodeNew = [](TNativeXml& sender, TXmlNode&) {
        sender.Clear();
    };
    QVERIFY_THROWS_EXCEPTION(EXmlException, xml.LoadFromFile(path));

    // The document is usable again afterwards.
    xml.OnNodeNew = nullptr;
    QVERIFY(xml.LoadFromFile(path));
    QCOMPARE(xml.Root()->NodeByName("c")->ValueUnicode(), QString("2"));
}

void TestXmlReader::refusedInput_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("error");

    // A document type is refused as soon as it starts, before anything in it is declared
    // or expanded: nothing past the declaration is ever reported.
    const QString noDocType = "document type declarations are not accepted";
    QByteArray laughs = "<!DOCTYPE a [<!ENTITY l0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        laughs += QStringLiteral("<!ENTITY l%1 \"").arg(level).toUtf8();
        for (int i = 0; i < 10; ++i)
            laughs += QStringLiteral("&l%1;").arg(level - 1).toUtf8();
        laughs += "\">";
    }
    laughs += "]><a>&l9;</a>";
    QTest::newRow("a billion laughs") << laughs << QStringList{} << noDocType;
    QTest::newRow("a single modest entity")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY who \"Bob\">]><a>&who;</a>")
        << QStringList{"new 0 #declaration", "loaded 0 #declaration []"} << noDocType;
    QTest::newRow("an external DTD that would never be read")
        << QByteArray("<!DOCTYPE users SYSTEM \"users.dtd\"><users/>") << QStringList{}
        << noDocType;
    QTest::newRow("a DTD that only gives attribute defaults")
        << QByteArray("<!DOCTYPE users [<!ATTLIST user kind CDATA \"plain\">]><users/>")
        << QStringList{} << noDocType;
    QFile find(QStringLiteral(QB_SOURCE_DIR "/tests/xml/fixtures/latin1_dtd_attribute.xml"));
    QVERIFY(find.open(QIODevice::ReadOnly));
    QTest::newRow("fuzz find: Latin-1 with an attribute default named \xC2\xBAkind")
        << find.readAll() << QStringList{"new 0 #declaration", "loaded 0 #declaration []"}
        << noDocType;

    // Names the input's own encoding allows but a saved UTF-8 file could not carry.
    const QByteArray latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    const QStringList declared{"new 0 #declaration", "loaded 0 #declaration []", "new 0 users"};
    QTest::newRow("Latin-1 element name with a masculine ordinal")
        << latin1 + "<users><\xBAkind/></users>" << declared
        << QString::fromUtf8("the name \"ºkind\" would not read back once saved");
    QTest::newRow("Latin-1 attribute name with a micro sign")
        << latin1 + "<users><user \xB5s=\"1\"/></users>" << declared
        << QString::fromUtf8("the name \"µs\" would not read back once saved");
    QTest::newRow("Latin-1 processing instruction target with a feminine ordinal")
        << latin1 + "<users><?\xAA x?></users>" << declared
        << QString::fromUtf8("the name \"ª\" would not read back once saved");
}

void TestXmlReader::refusedInput()
{
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, events);
    QFETCH(QString, error);
    const TracedLoad load = LoadTraced(xml);
    QCOMPARE(load.events, events);
    QVERIFY(!load.whole);
    QVERIFY2(load.error.endsWith(": " + error), qPrintable(load.error));
}

// Whatever loads whole saves in a form that loads again, to the same bytes.
void TestXmlReader::loadedDocumentSavesAndReloads_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("followed-user file with BOM and CR LF")
        << QByteArray(
               "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<users>\r\n\t<user>"
               "\r\n\t\t<name>Bob &amp; Alice</name>\r\n\t\t<id/>\r\n\t</user>\r\n</users>\r\n")
        << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<users>\r\n\t<user>\r\n"
                      "\t\t<name>Bob &amp; Alice</name>\r\n\t\t<id/>\r\n\t</user>\r\n</users>\r\n");
    QTest::newRow("API reply with typed and nil attributes")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tracks type=\"array\">\n"
                      "  <track><id type=\"integer\">7</id><description nil=\"true\"></description>"
                      "</track>\n</tracks>\n")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<tracks type=\"array\">\r\n"
                      "\t<track>\r\n\t\t<id type=\"integer\">7</id>\r\n"
                      "\t\t<description nil=\"true\"/>\r\n\t</track>\r\n</tracks>\r\n");
    QTest::newRow("Latin-1 names and values that UTF-8 carries too")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gr\xF6\xDF"
                      "e \xE9t\xE9=\"\xE0\">caf\xE9</gr\xF6\xDF"
                      "e>")
        << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<gr\xC3\xB6\xC3\x9F"
                      "e \xC3\xA9t\xC3\xA9=\"\xC3\xA0\">caf\xC3\xA9</gr\xC3\xB6\xC3\x9F"
                      "e>\r\n");
}

void TestXmlReader::loadedDocumentSavesAndReloads()
{
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, saved);
    TNativeXml document;
    QVERIFY2(document.LoadFromBytes(xml), qPrintable(document.ErrorText()));
    document.SetXmlFormat(xfReadable);
    QCOMPARE(document.SaveToBytes(), saved);
    TNativeXml again;
    QVERIFY2(again.LoadFromBytes(saved), qPrintable(again.ErrorText()));
    again.SetXmlFormat(xfReadable);
    QCOMPARE(again.SaveToBytes(), saved);
}

// A load holds a bounded number of nodes: a tree load the whole document, a load with
// handlers only the open elements. Past the bound the load stops with an error instead of
// allocating on.
void TestXmlReader::loadsAreBounded_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("handlers");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("elementsLoaded");

    const int past = int(TNativeXml::kMaxHeldNodes);
    const QByteArray flat = "<a>" + QByteArray("<b/>").repeated(past) + "</a>";
    const QString tooMany = QStringLiteral("more than %1 nodes and attributes to hold").arg(past);
    QTest::newRow("flat document past the node bound, no handlers")
        << flat << false << tooMany << 0;
    QTest::newRow("flat document past the node bound, handlers keep nothing")
        << flat << true << QString() << past + 1;
    QTest::newRow("nesting past the depth bound, even with handlers")
        << QByteArray("<a>").repeated(TNativeXml::kMaxDepth + 1) << true
        << QStringLiteral("elements nested deeper than %1").arg(TNativeXml::kMaxDepth) << 0;

    QByteArray attributes = "<a";
    for (int i = 0; i < past; ++i)
        attributes += " n" + QByteArray::number(i) + "=''";
    QTest::newRow("attributes past the node bound, even with handlers")
        << attributes + "/>" << true << tooMany << 0;

    QByteArray names = "<a>";
    for (int i = 0; i <= int(TNativeXml::kMaxNames); ++i)
        names += "<n" + QByteArray::number(i) + "/>";
    QTest::newRow("too many distinct names, even with handlers")
        << names + "</a>" << true
        << QStringLiteral("more than %1 distinct names").arg(TNativeXml::kMaxNames)
        << int(TNativeXml::kMaxNames) - 1;
}

void TestXmlReader::loadsAreBounded()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, handlers);
    QFETCH(QString, error);
    QFETCH(int, elementsLoaded);
    QTemporaryDir dir;
    const QString path = dir.filePath("big.xml");
    QVERIFY(WriteFile(path, xml));

    TNativeXml document;
    int loaded = 0;
    if (handlers) {
        document.OnNodeLoaded = [&](TNativeXml&, TXmlNode& node) {
            loaded += node.IsElement();
        };
    }
    const bool whole = document.LoadFromFile(path);
    QCOMPARE(loaded, elementsLoaded);
    if (error.isEmpty()) {
        QVERIFY2(whole, qPrintable(document.ErrorText()));
        QVERIFY(!document.Root()); // a load with handlers keeps no tree
    } else {
        QVERIFY(!whole);
        QVERIFY2(document.ErrorText().endsWith(": " + error), qPrintable(document.ErrorText()));
    }
}

void TestXmlReader::oversizedFileIsRefusedUnread()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("huge.xml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("<users>") == 7);
    QVERIFY(file.resize(TNativeXml::kMaxDocumentBytes + 1)); // sparse: costs no disk
    file.close();

    TNativeXml document;
    bool fired = false;
    document.OnNodeNew = [&](TNativeXml&, TXmlNode&) {
        fired = true;
    };
    QVERIFY(!document.LoadFromFile(file.fileName()));
    QVERIFY(!fired);
    QCOMPARE(document.ErrorText(), QString("the document is larger than 256 MiB"));
}

void TestXmlReader::valueAcrossReadChunks()
{
    // Long enough that the file is read and parsed in several pieces, with multi-byte
    // characters and references cut at the piece borders somewhere.
    QString expected;
    QByteArray text;
    for (int i = 0; i < 120000; ++i) {
        expected += QString::fromUtf8("é&<");
        text += "\xC3\xA9&amp;&#60;";
    }
    const TracedLoad load = LoadTraced("<a><long>" + text + "</long><after>ok</after></a>");
    QVERIFY2(load.whole, qPrintable(load.error));
    QCOMPARE(load.events.at(4), "loaded 1 long [" + expected + "]");
    QCOMPARE(load.events.at(8), QString("loaded 1 after [ok]"));
}

void TestXmlReader::deepNestingLoadsAndFrees()
{
    constexpr int depth = TNativeXml::kMaxDepth;
    const QByteArray xml = QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
    QTemporaryDir dir;
    const QString path = dir.filePath("deep.xml");
    QVERIFY(WriteFile(path, xml));

    int deepest = -1;
    {
        TNativeXml document;
        document.OnNodeLoaded = [&](TNativeXml&, TXmlNode& node) {
            deepest = std::max(deepest, node.TreeDepth());
        };
        QVERIFY(document.LoadFromFile(path));
    }
    QCOMPARE(deepest, depth - 1);

    TNativeXml document;
    QVERIFY(document.LoadFromFile(path));
    document.SetXmlFormat(xfCompact);
    QCOMPARE(document.SaveToBytes(), QByteArray("<a>").repeated(depth - 1) + "<a/>" +
                                         QByteArray("</a>").repeated(depth - 1));
}

void TestXmlReader::valueAsInteger_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("number");

    QTest::newRow("plain") << QByteArray("42") << true << 42;
    QTest::newRow("negative") << QByteArray("-7") << true << -7;
    QTest::newRow("explicit plus") << QByteArray("+3") << true << 3;
    QTest::newRow("largest") << QByteArray("2147483647") << true << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << true << int(-2147483647 - 1);
    QTest::newRow("word") << QByteArray("yes") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("sign alone") << QByteArray("-") << false << 0;
    QTest::newRow("trailing letters") << QByteArray("12x") << false << 0;
    QTest::newRow("two numbers") << QByteArray("1 2") << false << 0;
    QTest::newRow("hexadecimal") << QByteArray("0x1F") << false << 0;
    QTest::newRow("one past the largest") << QByteArray("2147483648") << false << 0;
    QTest::newRow("far too long") << QByteArray("99999999999999999999999") << false << 0;
}

void TestXmlReader::valueAsInteger()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, valid);
    QFETCH(int, number);
    QTemporaryDir dir;
    const QString path = dir.filePath("n.xml");
    QVERIFY(WriteFile(path, "<users><auto-check>" + value + "</auto-check></users>"));
    TNativeXml xml;
    bool checked = false;
    xml.OnNodeLoaded = [&](TNativeXml&, TXmlNode& node) {
        if (node.Name() != "auto-check")
            return;
        checked = true;
        if (valid)
            QCOMPARE(node.ValueAsInteger(), number);
        else
            QVERIFY_THROWS_EXCEPTION(EXmlException, node.ValueAsInteger());
    };
    QVERIFY(xml.LoadFromFile(path));
    QVERIFY(checked);
}

void TestXmlReader::valueLineBreaks_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("eol");
    QTest::newRow("LF") << int(esLF) << QString("\n");
    QTest::newRow("CR") << int(esCR) << QString("\r");
    QTest::newRow("CR LF") << int(esCRLF) << QString("\r\n");
}

void TestXmlReader::valueLineBreaks()
{
    QFETCH(int, style);
    QFETCH(QString, eol);
    // Line breaks written as CR LF, LF, a lone CR reference and CR LF references all come
    // back in the document's style, around multi-byte characters and at either end.
    TNativeXml xml;
    xml.SetEolStyle(TEolStyle(style));
    QVERIFY(xml.LoadFromBytes("<a><v>\xC3\xB8\r\n\xE2\x80\x93\nx&#13;y&#13;&#10;z&#13;</v>"
                              "<w>one line \xC3\xB8</w></a>"));
    QCOMPARE(xml.Root()->NodeByName("v")->ValueUnicode(), QString::fromUtf8("\xC3\xB8") + eol +
                                                              QString::fromUtf8("\xE2\x80\x93") +
                                                              eol + "x" + eol + "y" + eol + "z");
    QCOMPARE(xml.Root()->NodeByName("w")->ValueUnicode(), QString::fromUtf8("one line \xC3\xB8"));
}

void TestXmlReader::valuesKeptByAHandlerStay()
{
    // Nodes are reused once loaded; a value a handler copied must not change with them.
    QByteArray text = "<a>";
    for (int i = 0; i < 50; ++i)
        text += "<v>value " + QByteArray::number(i) + "</v><w>" + QByteArray(i, 'x') + "</w>";
    text += "</a>";
    QList<QByteArray> kept;
    TNativeXml xml;
    xml.OnNodeLoaded = [&](TNativeXml&, TXmlNode& node) {
        if (node.IsElement() && node.Name() == "v")
            kept << node.Value();
    };
    QVERIFY(xml.LoadFromBytes(text));
    QCOMPARE(kept.size(), 50);
    for (int i = 0; i < 50; ++i)
        QCOMPARE(kept.at(i), "value " + QByteArray::number(i));
}

QB_TEST(TestXmlReader, "unit");

#include "TestXmlReader.moc"
