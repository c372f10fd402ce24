#include "TestRegistry.h"

#include "net/THttpResponseParser.h"

#include <QTest>

#include <string>

namespace {

// Writes down every event as text, so two runs over the same bytes can be compared.
class TRecordingSink : public THttpResponseParser::TSink
{
public:
    std::string t_Events;
    std::string t_Body;
    std::size_t t_LargestPiece = 0;

    bool headerLine(std::string_view line, bool isStatus) override
    {
        t_Events += (isStatus ? "S:" : "H:") + std::string(line) + "\n";
        return true;
    }
    bool interimResponseEnd() override
    {
        t_Events += "interim\n";
        return true;
    }
    bool headerEnd() override
    {
        t_Events += "end-of-header\n";
        return true;
    }
    bool bodyData(const char* data, std::size_t size) override
    {
        t_Body.append(data, size);
        t_LargestPiece = std::max(t_LargestPiece, size);
        return true;
    }
};

struct TRun
{
    TRecordingSink t_Sink;
    THttpResponseParser::TEnd t_End = THttpResponseParser::TEnd::Open;
    int t_Status = 0;
    bool t_Reusable = false;
    std::size_t t_Consumed = 0;
};

// Feeds the bytes in three pieces cut at cut1 <= cut2, then closes when asked.
void parse(TRun& run, const QByteArray& bytes, int cut1, int cut2, bool closeAtEnd)
{
    THttpResponseParser parser(run.t_Sink);
    parser.reset();
    const int bounds[] = {0, cut1, cut2, int(bytes.size())};
    for (int i = 0; i < 3 && !parser.finished(); ++i) {
        if (bounds[i + 1] > bounds[i])
            run.t_Consumed +=
                parser.feed(bytes.constData() + bounds[i], std::size_t(bounds[i + 1] - bounds[i]));
    }
    if (closeAtEnd)
        parser.connectionClosed();
    run.t_End = parser.end();
    run.t_Status = parser.statusCode();
    run.t_Reusable = parser.reusable();
}

using TEnd = THttpResponseParser::TEnd;

} // namespace

Q_DECLARE_METATYPE(THttpResponseParser::TEnd)

class TestHttpResponseParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void responses_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("close");
        QTest::addColumn<QByteArray>("events");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<TEnd>("end");
        QTest::addColumn<bool>("reusable");
        QTest::addColumn<int>("unconsumed");

        QTest::newRow("content-length body, keep-alive, next response left unread")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: Keep-Alive\r\n\r\n"
                          "helloHTTP/1.1 200 OK\r\n")
            << false
            << QByteArray("S:HTTP/1.1 200 OK\nH:Content-Length: 5\nH:Connection: Keep-Alive\n"
                          "end-of-header\n")
            << QByteArray("hello") << 200 << TEnd::Complete << true << 17;
        QTest::newRow("HTTP/1.1 without keep-alive closes after a request of 1.0")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nab") << false
            << QByteArray("S:HTTP/1.1 200 OK\nH:Content-Length: 2\nend-of-header\n")
            << QByteArray("ab") << 200 << TEnd::Complete << false << 0;
        QTest::newRow("LF-only lines, body until close")
            << QByteArray("HTTP/1.0 200 Fine\nServer: x\n\nall of\nthis") << true
            << QByteArray("S:HTTP/1.0 200 Fine\nH:Server: x\nend-of-header\n")
            << QByteArray("all of\nthis") << 200 << TEnd::Closed << false << 0;
        QTest::newRow("chunked with extension and trailers")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                          "5;name=val\r\nhello\r\n1A \r\nabcdefghijklmnopqrstuvwxyz\r\n"
                          "0\r\nX-Trailer: t\r\n\r\n")
            << false
            << QByteArray("S:HTTP/1.1 200 OK\nH:Transfer-Encoding: chunked\nend-of-header\n")
            << QByteArray("helloabcdefghijklmnopqrstuvwxyz") << 200 << TEnd::Complete << false << 0;
        QTest::newRow("chunked wins over content-length")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: "
                          "Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")
            << false
            << QByteArray("S:HTTP/1.1 200 OK\nH:Content-Length: 100\nH:Transfer-Encoding: "
                          "Chunked\nend-of-header\n")
            << QByteArray("abc") << 200 << TEnd::Complete << false << 0;
        QTest::newRow("interim 100 on 1.1 is dropped")
            << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: "
                          "3\r\n\r\nnot")
            << false
            << QByteArray("S:HTTP/1.1 100 Continue\ninterim\nS:HTTP/1.1 404 Not Found\n"
                          "H:Content-Length: 3\nend-of-header\n")
            << QByteArray("not") << 404 << TEnd::Complete << false << 0;
        QTest::newRow("100 on 1.0 is a final response without body")
            << QByteArray("HTTP/1.0 100 Continue\r\n\r\n") << false
            << QByteArray("S:HTTP/1.0 100 Continue\nend-of-header\n") << QByteArray() << 100
            << TEnd::Complete << false << 0;
        QTest::newRow("content-length 0 has no body")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n") << false
            << QByteArray("S:HTTP/1.0 200 OK\nH:Content-Length: 0\nend-of-header\n") << QByteArray()
            << 200 << TEnd::Complete << false << 0;
        QTest::newRow("301 without length has no body")
            << QByteArray("HTTP/1.0 301 Moved\r\nLocation: /x\r\n\r\n") << false
            << QByteArray("S:HTTP/1.0 301 Moved\nH:Location: /x\nend-of-header\n") << QByteArray()
            << 301 << TEnd::Complete << false << 0;
        QTest::newRow("304 with a length still has no body")
            << QByteArray("HTTP/1.1 304 Not Modified\r\nContent-Length: 40\r\nConnection: "
                          "keep-alive\r\n\r\n")
            << false
            << QByteArray("S:HTTP/1.1 304 Not Modified\nH:Content-Length: 40\nH:Connection: "
                          "keep-alive\nend-of-header\n")
            << QByteArray() << 304 << TEnd::Complete << true << 0;
        QTest::newRow("header-less HTML is all body")
            << QByteArray("<!doctype html>\r\n<p>x</p>") << true << QByteArray("end-of-header\n")
            << QByteArray("<!doctype html>\r\n<p>x</p>") << 200 << TEnd::Closed << false << 0;
        QTest::newRow("short header-less HTML")
            << QByteArray("<html>") << true << QByteArray("end-of-header\n") << QByteArray("<html>")
            << 200 << TEnd::Closed << false << 0;
        QTest::newRow("body cut short by close")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc") << true
            << QByteArray("S:HTTP/1.0 200 OK\nH:Content-Length: 10\nend-of-header\n")
            << QByteArray("abc") << 200 << TEnd::Closed << false << 0;
        QTest::newRow("stray blank line before status, status without reason")
            << QByteArray("\r\nHTTP/1.0 204\r\n\r\n") << false
            << QByteArray("S:HTTP/1.0 204\nend-of-header\n") << QByteArray() << 204
            << TEnd::Complete << false << 0;
        QTest::newRow("closed before any status line")
            << QByteArray("") << true << QByteArray() << QByteArray() << 0 << TEnd::Closed << false
            << 0;
        QTest::newRow("garbage instead of a status line")
            << QByteArray("SSH-2.0-OpenSSH\r\n\r\n") << true << QByteArray() << QByteArray() << 0
            << TEnd::Malformed << false << 2;
        QTest::newRow("status line without line end at close")
            << QByteArray("HTTP/1.0 200 OK") << true << QByteArray("S:HTTP/1.0 200 OK\n")
            << QByteArray() << 200 << TEnd::Closed << false << 0;
        QTest::newRow("the same length twice is one length")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 3\r\n\r\nabc")
            << false
            << QByteArray("S:HTTP/1.1 200 OK\nH:Content-Length: 3\nH:Content-Length: 3\n"
                          "end-of-header\n")
            << QByteArray("abc") << 200 << TEnd::Complete << false << 0;
        QTest::newRow("a length listed twice in one field")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3 , 3\r\n\r\nabc") << false
            << QByteArray("S:HTTP/1.1 200 OK\nH:Content-Length: 3 , 3\nend-of-header\n")
            << QByteArray("abc") << 200 << TEnd::Complete << false << 0;
        QTest::newRow("two different lengths end the response")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 3\r\n\r\nabc")
            << true << QByteArray("S:HTTP/1.1 200 OK\nH:Content-Length: 5\n") << QByteArray() << 200
            << TEnd::Malformed << false << 5;
        QTest::newRow("two different lengths in one field")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3, 4\r\n\r\nabc") << true
            << QByteArray("S:HTTP/1.1 200 OK\n") << QByteArray() << 200 << TEnd::Malformed << false
            << 5;
        QTest::newRow("a length and one that is no number")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: x\r\n\r\nabc")
            << true << QByteArray("S:HTTP/1.1 200 OK\nH:Content-Length: 3\n") << QByteArray() << 200
            << TEnd::Malformed << false << 5;
        QTest::newRow("fields that merely mention the length or the status are no length")
            << QByteArray("HTTP/1.1 200 OK\r\nX-Goog-Stored-Content-Length: 2\r\n"
                          "X-Status: HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n"
                          "Content-Length-Hint: 9\r\n\r\nabcd")
            << false
            << QByteArray("S:HTTP/1.1 200 OK\nH:X-Goog-Stored-Content-Length: 2\n"
                          "H:X-Status: HTTP/1.1 404 Not Found\nH:Content-Length: 4\n"
                          "H:Content-Length-Hint: 9\nend-of-header\n")
            << QByteArray("abcd") << 200 << TEnd::Complete << false << 0;
        QTest::newRow("non-numeric content-length reads until close")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 12x\r\n\r\nabc") << true
            << QByteArray("S:HTTP/1.0 200 OK\nH:Content-Length: 12x\nend-of-header\n")
            << QByteArray("abc") << 200 << TEnd::Closed << false << 0;
    }

    // Every response gives the same events whichever two offsets its bytes are cut at.
    void responses()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, close);
        QFETCH(QByteArray, events);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(TEnd, end);
        QFETCH(bool, reusable);
        QFETCH(int, unconsumed);

        for (int cut1 = 0; cut1 <= bytes.size(); ++cut1) {
            for (int cut2 = cut1; cut2 <= bytes.size(); ++cut2) {
                TRun run;
                parse(run, bytes, cut1, cut2, close);
                const QByteArray where =
                    "cut at " + QByteArray::number(cut1) + "," + QByteArray::number(cut2);
                QVERIFY2(QByteArray::fromStdString(run.t_Sink.t_Events) == events,
                         (where + ": " + run.t_Sink.t_Events.c_str()).constData());
                QVERIFY2(QByteArray::fromStdString(run.t_Sink.t_Body) == body, where.constData());
                QVERIFY2(run.t_Status == status, where.constData());
                QVERIFY2(run.t_End == end, where.constData());
                QVERIFY2(run.t_Reusable == reusable, where.constData());
                QVERIFY2(int(bytes.size() - run.t_Consumed) == unconsumed, where.constData());
            }
        }
    }

    void hostileInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hasStatus");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error"); // why it is malformed; empty: it is not

        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
        const QString longLine = QStringLiteral("a line is longer than 64 KiB");
        const QString notHex = QStringLiteral("a chunk size is not a hexadecimal number");
        const QString tooLarge = QStringLiteral("a chunk size is too large");
        QTest::newRow("status line over 64 KiB")
            << "HTTP/1.1 200 " + QByteArray(70000, 'x') << false << QByteArray() << longLine;
        QTest::newRow("header line over 64 KiB")
            << ok + "X-Long: " + QByteArray(70000, 'x') + "\r\n\r\nbody" << true << QByteArray()
            << longLine;
        QTest::newRow("header over 1 MiB in short lines")
            << ok + QByteArray("X-A: b\r\n").repeated(200000) << true << QByteArray()
            << "the header is larger than 1 MiB";
        QTest::newRow("chunk size of 17 hex digits")
            << chunked + "00000000000000001\r\nx\r\n0\r\n\r\n"
            << true << QByteArray() << tooLarge;
        QTest::newRow("chunk size overflowing 64 bits")
            << chunked + "FFFFFFFFFFFFFFFF\r\nx" << true << QByteArray() << tooLarge;
        QTest::newRow("chunk size not hex") << chunked + "zz\r\nx\r\n"
                                            << true << QByteArray() << notHex;
        QTest::newRow("chunk size empty") << chunked + "\r\nx\r\n"
                                          << true << QByteArray() << notHex;
        QTest::newRow("chunk data not followed by line end")
            << chunked + "3\r\nabcdef\r\n0\r\n\r\n"
            << true << QByteArray("abc") << "a chunk is longer than its size says";
        QTest::newRow("two different lengths")
            << ok + "Content-Length: 100000\r\nContent-Length: 50000\r\n\r\n" +
                   QByteArray(100000, 'b')
            << true << QByteArray() << "conflicting Content-Length values";
        QTest::newRow("not HTTP at all")
            << QByteArray("SSH-2.0-OpenSSH\r\n") << false << QByteArray() << "no HTTP status line";
        QTest::newRow("negative content-length reads until close")
            << ok + "Content-Length: -5\r\n\r\nabc" << true << QByteArray("abc") << QString();
    }

    // Bad framing ends the response as a closed connection would, and says why; memory
    // stays bounded.
    void hostileInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hasStatus);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);

        TRecordingSink sink;
        THttpResponseParser parser(sink);
        parser.reset();
        for (qsizetype at = 0; at < bytes.size() && !parser.finished(); at += 8192)
            parser.feed(bytes.constData() + at,
                        std::size_t(std::min<qsizetype>(8192, bytes.size() - at)));
        parser.connectionClosed();
        QVERIFY(parser.finished());
        QVERIFY(!parser.reusable());
        QCOMPARE(parser.hasStatus(), hasStatus);
        QCOMPARE(QByteArray::fromStdString(sink.t_Body), body);
        QCOMPARE(QString::fromStdString(parser.error()), error);
        QCOMPARE(parser.end() == TEnd::Malformed, !error.isEmpty());
        QVERIFY(sink.t_Events.size() < 2 * THttpResponseParser::kMaxHeader);
        // A new response starts without the old one's fault.
        parser.reset();
        QVERIFY(parser.error().empty());
    }

    // A large buffer fed at once still comes out in pieces of at most 8192 bytes.
    void bodyPiecesAreCapped()
    {
        const QByteArray body(50000, 'b');
        const QByteArray bytes = "HTTP/1.0 200 OK\r\nContent-Length: 50000\r\n\r\n" + body;
        TRecordingSink sink;
        THttpResponseParser parser(sink);
        parser.reset();
        QCOMPARE(parser.feed(bytes.constData(), std::size_t(bytes.size())),
                 std::size_t(bytes.size()));
        QCOMPARE(parser.end(), TEnd::Complete);
        QCOMPARE(QByteArray::fromStdString(sink.t_Body), body);
        QCOMPARE(sink.t_LargestPiece, THttpResponseParser::kMaxPiece);
    }

    // A sink that says stop gets no further event, even with bytes left.
    void sinkStopsParser()
    {
        struct TStopper : TRecordingSink
        {
            bool bodyData(const char* data, std::size_t size) override
            {
                TRecordingSink::bodyData(data, size);
                return false;
            }
        } sink;
        THttpResponseParser parser(sink);
        parser.reset();
        const QByteArray bytes = "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(20000, 'z');
        const std::size_t used = parser.feed(bytes.constData(), std::size_t(bytes.size()));
        QCOMPARE(used, std::size_t(19 + 8192));
        QCOMPARE(sink.t_Body.size(), std::size_t(8192));
    }
};

QB_TEST(TestHttpResponseParser, "unit");
#include "TestHttpResponseParser.moc"
