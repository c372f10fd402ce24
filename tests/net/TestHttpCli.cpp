#include "FailDevice.h"
#include "TestHttpServer.h"
#include "TestRegistry.h"

#include "net/EHttpException.h"
#include "net/THttpCli.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTest>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <thread>

using qbtest::TRecordedRequest;
using qbtest::TScriptedReply;
using qbtest::TTestHttpServer;
using namespace std::chrono_literals;

namespace {

// What one Get did, as its events and its end showed it.
struct TOutcome
{
    QStringList t_Commands;
    QStringList t_HeaderEvents; // LastResponse at each OnHeaderData
    bool t_LastLineMatched = true;
    QByteArray t_Doc;
    int t_Pieces = 0;
    int t_LargestPiece = 0;
    bool t_Raised = false;
    QString t_Message;
    int t_ErrorCode = 0;
    int t_Status = 0;
    QString t_Reason;
};

// Runs one Get with recording handlers; onPiece runs after each piece is recorded.
TOutcome fetch(THttpCli& cli, const QString& url, QIODevice* stream,
               const std::function<void(THttpCli&)>& onPiece = {})
{
    TOutcome out;
    cli.SetMultiThreaded(true);
    cli.OnCommand = [&](THttpCli&, QString& line) {
        out.t_Commands << line;
    };
    cli.OnHeaderData = [&](THttpCli& sender) {
        out.t_HeaderEvents << sender.LastResponse();
        if (sender.RcvdHeader().isEmpty() || sender.RcvdHeader().last() != sender.LastResponse())
            out.t_LastLineMatched = false;
    };
    cli.OnDocData = [&](THttpCli& sender, const char* data, int len) {
        out.t_Doc.append(data, len);
        ++out.t_Pieces;
        out.t_LargestPiece = std::max(out.t_LargestPiece, len);
        if (onPiece)
            onPiece(sender);
    };
    cli.SetURL(url);
    cli.SetRcvdStream(stream);
    try {
        cli.Get();
    } catch (const EHttpException& e) {
        out.t_Raised = true;
        out.t_Message = e.Message();
        out.t_ErrorCode = e.ErrorCode();
    }
    cli.SetRcvdStream(nullptr);
    out.t_Status = cli.StatusCode();
    out.t_Reason = cli.ReasonPhrase();
    return out;
}

// A port on 127.0.0.1 with nobody listening.
quint16 closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

QByteArray ok(const QByteArray& body, const QByteArray& extra = {})
{
    return "HTTP/1.0 200 OK\r\n" + extra + "Content-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

} // namespace

class TestHttpCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The request lines in their order, through OnCommand and on the wire.
    void requestLines_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<bool>("noCache");
        QTest::addColumn<QString>("requestLine");
        QTest::addColumn<QStringList>("middle");

        const QString accept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
        const QString agent = "User-Agent: Mozilla/4.0 (compatible; ICS)";
        QTest::newRow("defaults, no path")
            << ""
            << "" << false << "GET / HTTP/1.0" << QStringList{accept, agent};
        QTest::newRow("keep-alive and no-cache, with query")
            << "/a/b?c=d"
            << "Keep-Alive" << true << "GET /a/b?c=d HTTP/1.0"
            << QStringList{accept, "Connection: Keep-Alive", agent};
        QTest::newRow("blanks and line ends in the path are encoded")
            << "/x y\r\nX-Injected: 1"
            << "" << false << "GET /x%20y%0D%0AX-Injected:%201 HTTP/1.0"
            << QStringList{accept, agent};
    }

    void requestLines()
    {
        QFETCH(QString, path);
        QFETCH(QString, connection);
        QFETCH(bool, noCache);
        QFETCH(QString, requestLine);
        QFETCH(QStringList, middle);

        TTestHttpServer server;
        server.Enqueue(TScriptedReply().Send(ok("x")));
        THttpCli cli;
        cli.SetConnection(connection);
        cli.SetNoCache(noCache);
        const TOutcome out = fetch(cli, server.Url(path), nullptr);
        QVERIFY(!out.t_Raised);

        QStringList expected{requestLine};
        expected += middle;
        expected << QStringLiteral("Host: 127.0.0.1:%1").arg(server.Port());
        if (noCache)
            expected << "Pragma: no-cache";
        expected << QString();
        QCOMPARE(out.t_Commands, expected);

        const QList<TRecordedRequest> requests = server.Requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(QString::fromLatin1(requests[0].t_Raw), expected.join("\r\n") + "\r\n");
    }

    // A handler may change a line; what it leaves is what is sent, minus line breaks and
    // leading blanks. Only the last line ends the header, whatever a handler empties.
    void commandHandlerChangesLine_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QStringList>("sent");

        const QString accept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
        QTest::newRow("line break inside a line is removed")
            << "User-Agent:"
            << "User-Agent: test\r\nX-Split: 1"
            << QStringList{accept, "User-Agent: testX-Split: 1", "Host: HOST"};
        QTest::newRow("emptied line in the middle is dropped")
            << "Accept:"
            << "" << QStringList{"User-Agent: Mozilla/4.0 (compatible; ICS)", "Host: HOST"};
        QTest::newRow("line of blanks and line ends is dropped")
            << "User-Agent:"
            << " \t\r\n"
            << QStringList{accept, "Host: HOST"};
        QTest::newRow("leading blanks are removed, so nothing folds")
            << "User-Agent:"
            << "  X-Folded: 1" << QStringList{accept, "X-Folded: 1", "Host: HOST"};
        QTest::newRow("a header added at the end")
            << ""
            << "X-Last: 1"
            << QStringList{accept, "User-Agent: Mozilla/4.0 (compatible; ICS)", "Host: HOST",
                           "X-Last: 1"};
    }

    void commandHandlerChangesLine()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, replacement);
        QFETCH(QStringList, sent);
        TTestHttpServer server;
        server.Enqueue(TScriptedReply().Send(ok("x")));
        THttpCli cli;
        cli.SetMultiThreaded(true);
        cli.OnCommand = [&](THttpCli&, QString& line) {
            if (prefix.isEmpty() ? line.isEmpty() : line.startsWith(prefix))
                line = replacement;
        };
        cli.SetURL(server.Url("/"));
        cli.Get();
        sent.replaceInStrings("HOST", QStringLiteral("127.0.0.1:%1").arg(server.Port()));
        const QString raw = QString::fromLatin1(server.Requests().at(0).t_Raw);
        QCOMPARE(raw, "GET / HTTP/1.0\r\n" + sent.join("\r\n") + "\r\n\r\n");
    }

    void statusOutcomes_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<bool>("raised");
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("200 with body")
            << ok("hello") << false << 0 << 200 << "OK" << QByteArray("hello");
        QTest::newRow("404 delivers its body, then raises")
            << QByteArray(
                   "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>gone</html>")
            << true << 404 << 404 << "Not Found" << QByteArray("<html>gone</html>");
        QTest::newRow("500 raises") << QByteArray("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n")
                                    << true << 500 << 500 << "Oops" << QByteArray();
        QTest::newRow("401 does not raise")
            << QByteArray("HTTP/1.0 401 Unauthorized\r\nContent-Length: 4\r\n\r\ndeny") << false
            << 0 << 401 << "Unauthorized" << QByteArray("deny");
        QTest::newRow("407 does not raise")
            << QByteArray("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n") << false << 0 << 407
            << "Proxy Authentication Required" << QByteArray();
        QTest::newRow("chunked body arrives without framing")
            << "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                   TScriptedReply::Chunked({"Hello, ", "chunked ", "world"}, {"X-T: 1"})
            << false << 0 << 200 << "OK" << QByteArray("Hello, chunked world");
        QTest::newRow("body cut short by the server closing")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this") << false << 0
            << 200 << "OK" << QByteArray("only this");
        QTest::newRow("interim 100 dropped")
            << QByteArray("HTTP/1.1 100 Continue\r\n\r\n") + ok("after") << false << 0 << 200
            << "OK" << QByteArray("after");
        QTest::newRow("header-less HTML")
            << QByteArray("<HTML><body>old server</body></HTML>") << false << 0 << 200 << "OK"
            << QByteArray("<HTML><body>old server</body></HTML>");
        QTest::newRow("closed before any status line")
            << QByteArray() << true << 9 << 0
            << "HTTP no status code (connection closed prematurely)" << QByteArray();
        QTest::newRow("garbage instead of a status line")
            << QByteArray("\x16\x03\x01 binary") << true << 9 << 0
            << "HTTP no status code (connection closed prematurely)" << QByteArray();
        QTest::newRow("header line over 64 KiB ends as a closed connection")
            << "HTTP/1.0 200 OK\r\nX: " + QByteArray(70000, 'x') + "\r\n\r\nbody" << false << 0
            << 200 << "OK" << QByteArray();
        QTest::newRow("transfer-encoding merely containing chunked is read until close")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: x-chunked\r\n"
                          "Content-Length: 1\r\n\r\n3\r\nabc\r\n0\r\n\r\n")
            << false << 0 << 200 << "OK" << QByteArray("3\r\nabc\r\n0\r\n\r\n");
        QTest::newRow("chunked last in a coding list spread over two lines")
            << "HTTP/1.1 200 OK\r\nTransfer-Encoding: x-pack\r\nTransfer-Encoding: identity, "
               "Chunked ;q=1\r\n\r\n" +
                   TScriptedReply::Chunked({"ab", "c"})
            << false << 0 << 200 << "OK" << QByteArray("abc");
        QTest::newRow("chunked followed by another coding is read until close")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, x-pack\r\n\r\n"
                          "3\r\nabc\r\n0\r\n\r\n")
            << false << 0 << 200 << "OK" << QByteArray("3\r\nabc\r\n0\r\n\r\n");
        QTest::newRow("blank before the colon: not the content length")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length : 2\r\n\r\nabcdef") << false << 0
            << 200 << "OK" << QByteArray("abcdef");
        QTest::newRow("blank before the colon: not chunked")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding\t: chunked\r\n\r\n"
                          "3\r\nabc\r\n0\r\n\r\n")
            << false << 0 << 200 << "OK" << QByteArray("3\r\nabc\r\n0\r\n\r\n");
        QTest::newRow("blank before the colon: no relocation")
            << QByteArray("HTTP/1.0 302 Found\r\nLocation : /elsewhere\r\n"
                          " Location: /folded\r\n\r\n")
            << false << 0 << 302 << "Found" << QByteArray();
        QTest::newRow("malformed chunk size ends as a closed connection")
            << QByteArray(
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\nxyz\r\n")
            << false << 0 << 200 << "OK" << QByteArray("abcd");
    }

    // Each response is sent in 1-byte pieces too, so reads end at every boundary.
    void statusOutcomes()
    {
        QFETCH(QByteArray, response);
        QFETCH(QByteArray, body);
        for (const int piece : {0, 1}) {
            TTestHttpServer server;
            server.Enqueue(piece ? TScriptedReply().SendInPieces(response, piece)
                                 : TScriptedReply().Send(response));
            THttpCli cli;
            QBuffer stream;
            stream.open(QIODevice::WriteOnly);
            const TOutcome out = fetch(cli, server.Url("/page"), &stream);
            QTEST(out.t_Raised, "raised");
            QTEST(out.t_ErrorCode, "errorCode");
            QTEST(out.t_Status, "status");
            QTEST(out.t_Reason, "reason");
            if (out.t_Raised)
                QCOMPARE(out.t_Message, out.t_Reason);
            QCOMPARE(stream.data(), body);
            QCOMPARE(out.t_Doc, body);
            QVERIFY(out.t_LastLineMatched);
        }
    }

    // No body, no OnDocData: "Content-Length: 0", and 204 or 304 whatever they announce.
    void responsesWithoutBody_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::newRow("content-length 0")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
        QTest::newRow("204 kept alive")
            << QByteArray("HTTP/1.1 204 No Content\r\nConnection: keep-alive\r\n\r\n");
        QTest::newRow("304 announcing a length, kept alive") << QByteArray(
            "HTTP/1.1 304 Not Modified\r\nContent-Length: 500\r\nConnection: keep-alive\r\n\r\n");
    }

    void responsesWithoutBody()
    {
        QFETCH(QByteArray, response);
        TTestHttpServer server;
        // The server keeps the connection open: only the framing can end the response.
        server.Enqueue(TScriptedReply().Send(response).Stall());
        THttpCli cli;
        cli.SetTimeout(5);
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        const TOutcome out = fetch(cli, server.Url(), &stream);
        QVERIFY2(!out.t_Raised, qPrintable(out.t_Message));
        QCOMPARE(out.t_Pieces, 0);
        QCOMPARE(stream.size(), 0);
    }

    // Five redirects are followed; the sixth ends the request with its own status, and its
    // body, which no later response replaces, is the document.
    void redirectLimit_data()
    {
        QTest::addColumn<int>("hops");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("requests");
        QTest::newRow("five redirects reach the page") << 5 << 200 << QByteArray("final") << 6;
        QTest::newRow("sixth redirect ends the request") << 6 << 302 << QByteArray("moved") << 6;
    }

    void redirectLimit()
    {
        QFETCH(int, hops);
        TTestHttpServer server;
        server.SetHandler([hops](const TRecordedRequest& request) {
            const int n = request.t_Target.mid(2).toInt();
            if (n < hops)
                return TScriptedReply::Redirect(302, "/r" + QByteArray::number(n + 1), {}, "moved");
            return TScriptedReply().Send(ok("final"));
        });
        THttpCli cli;
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        const TOutcome out = fetch(cli, server.Url("/r0"), &stream);
        QVERIFY(!out.t_Raised);
        QTEST(out.t_Status, "status");
        QTEST(stream.data(), "body");
        QTEST(int(server.Requests().size()), "requests");
        QCOMPARE(cli.Location(), server.Url("/r5"));
        // OnHeaderData saw every response; RcvdHeader holds only the last one.
        QCOMPARE(out.t_HeaderEvents.filter(QRegularExpression("^HTTP/1\\.[01] ")).size(), 6);
        QCOMPARE(cli.RcvdHeader().first(),
                 out.t_Status == 200 ? QString("HTTP/1.0 200 OK") : QString("HTTP/1.1 302 Moved"));
    }

    // What a reply's header and framing said, as the client read them: seen at the end of
    // each header (OnHeaderEnd) and after Get. "loop" answers every request with a
    // redirect to itself.
    void framingAsRead_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("atHeaderEnd"); // status, length, chunked, relocating
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("tooMany");
        QTest::addColumn<int>("requests");

        QTest::newRow("length") << ok("hello") << "200 5 - -" << true << "" << false << 1;
        QTest::newRow("200 without a reason, other fields mentioning lengths")
            << QByteArray("HTTP/1.1 200\r\nX-Goog-Stored-Content-Length: 9\r\n"
                          "X-Note: HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nabc")
            << "200 3 - -" << true << "" << false << 1;
        QTest::newRow("until the close") << QByteArray("HTTP/1.0 200 OK\r\n\r\nabc") << "200 -1 - -"
                                         << false << "" << false << 1;
        QTest::newRow("chunked to its end")
            << "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                   TScriptedReply::Chunked({"ab", "c"})
            << "200 -1 chunked -" << true << "" << false << 1;
        QTest::newRow("chunked, closed before the last chunk")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n")
            << "200 -1 chunked -" << false << "" << false << 1;
        QTest::newRow("two different lengths")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 3\r\n\r\n"
                          "abcde")
            << "" << false << "conflicting Content-Length values" << false << 1;
        QTest::newRow("a redirect with two lengths is not followed")
            << QByteArray("HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 1\r\n"
                          "Content-Length: 2\r\n\r\nab")
            << "" << false << "conflicting Content-Length values" << false << 1;
        QTest::newRow("redirected to itself")
            << QByteArray("loop") << "302 0 - relocating" << true << "" << true << 6;
    }
    void framingAsRead()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, atHeaderEnd);
        TTestHttpServer server;
        if (response == "loop") {
            server.SetHandler([](const TRecordedRequest& r) {
                return TScriptedReply::Redirect(302, r.t_Target);
            });
        } else {
            server.Enqueue(TScriptedReply().Send(response));
        }
        THttpCli cli;
        QStringList seen;
        cli.OnHeaderEnd = [&](THttpCli& c) {
            seen << QStringLiteral("%1 %2 %3 %4")
                        .arg(c.StatusCode())
                        .arg(c.ContentLength())
                        .arg(c.Chunked() ? "chunked" : "-")
                        .arg(c.Relocating() ? "relocating" : "-");
        };
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        fetch(cli, server.Url("/start"), &stream);
        // Every response of a chain ends its header once; the last one of a loop is not
        // followed any more.
        if (response == "loop") {
            QCOMPARE(seen.size(), 6);
            QCOMPARE(seen.first(), atHeaderEnd);
            QCOMPARE(seen.last(), QStringLiteral("302 0 - -"));
        } else {
            QCOMPARE(seen, atHeaderEnd.isEmpty() ? QStringList() : QStringList{atHeaderEnd});
        }
        QTEST(cli.ResponseComplete(), "complete");
        QTEST(cli.ResponseError(), "error");
        QTEST(cli.TooManyRelocations(), "tooMany");
        QTEST(int(server.Requests().size()), "requests");
    }

    // A followed redirect's body is the redirect's own: it never reaches OnDocData or the
    // stream, which keeps what it held before the request.
    void redirectBodyIsDropped_data()
    {
        QTest::addColumn<bool>("file");
        QTest::newRow("file stream") << true;
        QTest::newRow("memory stream") << false;
    }

    void redirectBodyIsDropped()
    {
        QFETCH(bool, file);
        const QByteArray redirectBody(120, 'r');
        TTestHttpServer server;
        server.Enqueue(TScriptedReply().Send(
            "HTTP/1.0 302 Found\r\nLocation: /next\r\nContent-Length: 120\r\n\r\n" + redirectBody));
        server.Enqueue(TScriptedReply().Send(ok("final body")));

        QTemporaryFile tempFile;
        QBuffer buffer;
        QIODevice* stream = &buffer;
        if (file) {
            QVERIFY(tempFile.open());
            stream = &tempFile;
        } else {
            buffer.open(QIODevice::WriteOnly);
        }
        stream->write("kept:");
        qint64 sizeWhenSecondResponseBegan = -1;
        THttpCli cli;
        TOutcome out;
        out = fetch(cli, server.Url("/start"), stream, [&](THttpCli& sender) {
            if (sender.RcvdHeader().first().contains("200"))
                sizeWhenSecondResponseBegan = stream->pos() - 10;
        });
        QVERIFY(!out.t_Raised);
        QCOMPARE(out.t_Doc, QByteArray("final body"));
        QCOMPARE(sizeWhenSecondResponseBegan, 5);
        if (file) {
            tempFile.flush();
            QCOMPARE(tempFile.size(), 15);
            tempFile.seek(0);
            QCOMPARE(tempFile.readAll(), QByteArray("kept:final body"));
        } else {
            QCOMPARE(buffer.data(), QByteArray("kept:final body"));
        }
    }

    void relocationForms_data()
    {
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("extraHeader");
        QTest::addColumn<int>("connections");

        QTest::newRow("relative, connection closed")
            << QByteArray("next?x=1") << QByteArray("/rel/a/next?x=1") << QByteArray() << 2;
        QTest::newRow("relative with dot segments, query and fragment")
            << QByteArray("../c?x=1#part") << QByteArray("/rel/c?x=1") << QByteArray() << 2;
        QTest::newRow("only a query")
            << QByteArray("?page=2") << QByteArray("/rel/a/b?page=2") << QByteArray() << 2;
        QTest::newRow("absolute path, kept alive: same connection")
            << QByteArray("/top") << QByteArray("/top") << QByteArray("Connection: keep-alive")
            << 1;
        QTest::newRow("scheme-relative to the same host and port")
            << QByteArray("//127.0.0.1:PORT/s") << QByteArray("/s") << QByteArray() << 2;
        QTest::newRow("absolute address, kept alive: same endpoint reused")
            << QByteArray("http://127.0.0.1:PORT/abs") << QByteArray("/abs")
            << QByteArray("Connection: keep-alive") << 1;
    }

    void relocationForms()
    {
        QFETCH(QByteArray, location);
        QFETCH(QByteArray, extraHeader);
        TTestHttpServer server;
        location.replace("PORT", QByteArray::number(server.Port()));
        QList<QByteArray> headers;
        if (!extraHeader.isEmpty())
            headers << extraHeader;
        TScriptedReply redirect = TScriptedReply::Redirect(301, location, headers);
        if (!extraHeader.isEmpty())
            redirect.KeepAlive();
        server.Enqueue(redirect);
        server.Enqueue(TScriptedReply().Send(ok("there")));

        THttpCli cli;
        const TOutcome out = fetch(cli, server.Url("/rel/a/b"), nullptr);
        QVERIFY2(!out.t_Raised, qPrintable(out.t_Message));
        QCOMPARE(out.t_Doc, QByteArray("there"));
        const QList<TRecordedRequest> requests = server.Requests();
        QCOMPARE(requests.size(), 2);
        QTEST(requests[1].t_Target, "target");
        QTEST(server.ConnectionCount(), "connections");
        // Location reads as the address fetched, with a fragment the server gave.
        const qsizetype hash = location.indexOf('#');
        QCOMPARE(cli.Location(),
                 server.Url(QString::fromLatin1(requests[1].t_Target +
                                                (hash < 0 ? QByteArray() : location.mid(hash)))));
    }

    // A kept-alive connection that the server drops instead of answering gets one fresh try.
    void staleKeptAliveConnectionIsRetried()
    {
        TTestHttpServer server;
        server.Enqueue(
            TScriptedReply::Redirect(302, "/again", {"Connection: keep-alive"}).KeepAlive());
        server.Enqueue(TScriptedReply()); // reads the request, closes without a byte
        server.Enqueue(TScriptedReply().Send(ok("fresh")));
        THttpCli cli;
        const TOutcome out = fetch(cli, server.Url("/"), nullptr);
        QVERIFY2(!out.t_Raised, qPrintable(out.t_Message));
        QCOMPARE(out.t_Doc, QByteArray("fresh"));
        QCOMPARE(server.ConnectionCount(), 2);
    }

    void largeBodyInPieces()
    {
        const qint64 size = 3 * 1024 * 1024 + 17;
        TTestHttpServer server;
        server.Enqueue(
            TScriptedReply()
                .Send("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(size) + "\r\n\r\n")
                .SendPattern(size, 100000));
        THttpCli cli;
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        const TOutcome out = fetch(cli, server.Url(), &stream);
        QVERIFY(!out.t_Raised);
        QCOMPARE(cli.ContentLength(), size);
        QCOMPARE(stream.size(), size);
        QVERIFY(out.t_LargestPiece <= 8192);
        for (qint64 i = 0; i < size; i += 4099)
            QCOMPARE(stream.data().at(i), TScriptedReply::PatternByte(i));
    }

    // Abort and Terminate from another thread end a waiting Get at once with error 3.
    void stopFromAnotherThread_data()
    {
        QTest::addColumn<bool>("terminate");
        QTest::addColumn<QString>("message");
        QTest::newRow("Abort") << false << "Connection aborted on request";
        QTest::newRow("Terminate") << true << "Request aborted";
    }

    void stopFromAnotherThread()
    {
        QFETCH(bool, terminate);
        TTestHttpServer server;
        server.Enqueue(TScriptedReply()
                           .Send("HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n")
                           .SendPattern(1000, 100)
                           .Stall());
        THttpCli cli;
        std::atomic<bool> receiving{false};
        std::thread stopper([&] {
            while (!receiving.load())
                std::this_thread::sleep_for(5ms);
            std::this_thread::sleep_for(50ms);
            terminate ? cli.Terminate() : cli.Abort();
        });
        QElapsedTimer timer;
        timer.start();
        const TOutcome out =
            fetch(cli, server.Url(), nullptr, [&](THttpCli&) { receiving = true; });
        stopper.join();
        QVERIFY(out.t_Raised);
        QCOMPARE(out.t_ErrorCode, 3);
        QTEST(out.t_Message, "message");
        QCOMPARE(out.t_Status, 404);
        QCOMPARE(cli.State(), httpReady);
        // Far below the 30 s idle timeout: the abort woke the wait.
        QVERIFY(timer.elapsed() < 10000);
    }

    // The worker aborts from its own OnDocData once it has what it needs; a throwing
    // handler counts as an abort. Either way nothing more reaches the stream.
    void stopFromInsideHandler_data()
    {
        QTest::addColumn<bool>("throws");
        QTest::newRow("Abort in OnDocData") << false;
        QTest::newRow("exception from OnDocData") << true;
    }

    void stopFromInsideHandler()
    {
        QFETCH(bool, throws);
        TTestHttpServer server;
        server.Enqueue(TScriptedReply().Send(ok(QByteArray(20000, 'd'))));
        THttpCli cli;
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        const TOutcome out = fetch(cli, server.Url(), &stream, [&](THttpCli& sender) {
            if (throws)
                throw std::runtime_error("handler failed");
            sender.Abort();
        });
        QVERIFY(out.t_Raised);
        QCOMPARE(out.t_ErrorCode, 3);
        QCOMPARE(out.t_Message, QString("Connection aborted on request"));
        QCOMPARE(out.t_Pieces, 1);
        QCOMPARE(stream.size(), out.t_Doc.size());
    }

    void abortWhenIdle()
    {
        TTestHttpServer server;
        server.Enqueue(TScriptedReply().Send("HTTP/1.0 503 Busy\r\n\r\n"));
        THttpCli cli;
        const TOutcome out = fetch(cli, server.Url(), nullptr);
        QCOMPARE(out.t_Status, 503);
        cli.Abort();
        QCOMPARE(cli.StatusCode(), 200);
        QCOMPARE(cli.ReasonPhrase(), QString("OK"));
        QCOMPARE(cli.State(), httpReady);
    }

    void idleTimeout()
    {
        TTestHttpServer server;
        server.Enqueue(
            TScriptedReply().Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npart").Stall());
        THttpCli cli;
        cli.SetTimeout(1);
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        const TOutcome out = fetch(cli, server.Url(), &stream);
        QVERIFY(out.t_Raised);
        QCOMPARE(out.t_ErrorCode, 8);
        QCOMPARE(out.t_Message, QString("Request aborted on timeout"));
        QCOMPARE(out.t_Status, 404);
        QCOMPARE(stream.data(), QByteArray("part"));
    }

    // Data trickling in more often than the timeout keeps the request alive.
    void slowStreamIsNotIdle()
    {
        TTestHttpServer server;
        server.Enqueue(TScriptedReply()
                           .Send("HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\n")
                           .SendInPieces("abcdefgh", 2, 400ms));
        THttpCli cli;
        cli.SetTimeout(1);
        const TOutcome out = fetch(cli, server.Url(), nullptr);
        QVERIFY2(!out.t_Raised, qPrintable(out.t_Message));
        QCOMPARE(out.t_Doc, QByteArray("abcdefgh"));
    }

    void connectFailures_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("errorCode");

        QTest::newRow("https is not implemented")
            << "https://127.0.0.1:1/" << 501 << "Protocol \"https\" not implemented" << 501;
        QTest::newRow("other scheme")
            << "ftp://127.0.0.1/" << 501 << "Protocol \"ftp\" not implemented" << 501;
        QTest::newRow("refused connection")
            << QStringLiteral("http://127.0.0.1:%1/").arg(closedPort()) << 404
            << QStringLiteral("can't connect: Connection refused (Error #%1)").arg(ECONNREFUSED)
            << ECONNREFUSED;
        QTest::newRow("host that no resolver may see")
            << "http://bad host!/" << 404 << "can't resolve hostname to IP address"
            << int(std::uint16_t(EAI_NONAME));
        QTest::newRow("port out of range")
            << "http://127.0.0.1:70000/" << 404 << "can't resolve hostname to IP address"
            << int(std::uint16_t(EAI_SERVICE));
    }

    void connectFailures()
    {
        QFETCH(QString, url);
        THttpCli cli;
        const TOutcome out = fetch(cli, url, nullptr);
        QVERIFY(out.t_Raised);
        QTEST(out.t_Status, "status");
        QTEST(out.t_Reason, "reason");
        QTEST(out.t_ErrorCode, "errorCode");
        QCOMPARE(out.t_Message, out.t_Reason);
        QVERIFY(out.t_Commands.isEmpty());
    }

    // A host name (not a numeric address) goes through the lookup; "localhost" needs no DNS.
    void hostNameLookup()
    {
        TTestHttpServer server;
        server.Enqueue(TScriptedReply().Send(ok("named")));
        THttpCli cli;
        const TOutcome out =
            fetch(cli, QStringLiteral("http://localhost:%1/").arg(server.Port()), nullptr);
        QVERIFY2(!out.t_Raised, qPrintable(out.t_Message));
        QCOMPARE(out.t_Doc, QByteArray("named"));
        QCOMPARE(server.Requests().at(0).Header("Host"),
                 QStringLiteral("localhost:%1").arg(server.Port()).toLatin1());
    }

    // A piece that cannot be written is not reported, and the request fails.
    void streamWriteFailure()
    {
        TTestHttpServer server;
        server.Enqueue(TScriptedReply().Send(ok(QByteArray(30000, 'w'))));
        THttpCli cli;
        FailDevice device(10000);
        const TOutcome out = fetch(cli, server.Url(), &device);
        QVERIFY(out.t_Raised);
        QCOMPARE(out.t_ErrorCode, int(httperrStreamWrite));
        QVERIFY(out.t_Message.contains("No space left on device"));
        QCOMPARE(out.t_Doc, device.written());
    }

    void getWhileBusy()
    {
        TTestHttpServer server;
        server.Enqueue(TScriptedReply().Send(ok("abc")));
        THttpCli cli;
        cli.SetName("HttpCli1");
        QString message;
        int code = 0;
        const TOutcome out = fetch(cli, server.Url(), nullptr, [&](THttpCli& sender) {
            try {
                sender.Get();
            } catch (const EHttpException& e) {
                message = e.Message();
                code = e.ErrorCode();
            }
        });
        QVERIFY(!out.t_Raised);
        QCOMPARE(message, QString("HTTP component HttpCli1 is busy"));
        QCOMPARE(code, 1);
    }
};

QB_TEST(TestHttpCli, "unit");
#include "TestHttpCli.moc"
