#include "TestRegistry.h"

#include "net/THttpUrl.h"

#include <QTest>

class TestHttpUrl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void split_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("hostHeader");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("target");

        QTest::newRow("no path requests /") << "http://example.test"
                                            << "http"
                                            << "example.test"
                                            << "example.test" << 80 << "/";
        QTest::newRow("port 80 is left out of Host") << "http://example.test:80/a"
                                                     << "http"
                                                     << "example.test"
                                                     << "example.test" << 80 << "/a";
        QTest::newRow("port 8080 is named in Host") << "http://example.test:8080/a?b=c"
                                                    << "http"
                                                    << "example.test"
                                                    << "example.test:8080" << 8080 << "/a?b=c";
        QTest::newRow("query without path") << "http://h?x=1"
                                            << "http"
                                            << "h"
                                            << "h" << 80 << "/?x=1";
        QTest::newRow("fragment is not sent") << "http://h/p#frag"
                                              << "http"
                                              << "h"
                                              << "h" << 80 << "/p";
        QTest::newRow("credentials dropped, scheme lower-cased") << "HTTP://user:pw@h:81/"
                                                                 << "http"
                                                                 << "h"
                                                                 << "h:81" << 81 << "/";
        QTest::newRow("no scheme means http") << "h/x"
                                              << "http"
                                              << "h"
                                              << "h" << 80 << "/x";
        QTest::newRow("https is kept for the caller to refuse") << "https://h/"
                                                                << "https"
                                                                << "h"
                                                                << "h" << 80 << "/";
        QTest::newRow("CR LF and blanks are percent-encoded")
            << "http://h/a b\r\nX-Evil: 1"
            << "http"
            << "h"
            << "h" << 80 << "/a%20b%0D%0AX-Evil:%201";
        QTest::newRow("control and non-ASCII bytes are percent-encoded")
            << QString::fromUtf8("http://h/\t\x7f\xc3\xa9") << "http"
            << "h"
            << "h" << 80 << "/%09%7F%C3%A9";
        QTest::newRow("invalid port") << "http://h:99999/"
                                      << "http"
                                      << "h"
                                      << "h:99999" << 0 << "/";
    }

    void split()
    {
        QFETCH(QString, url);
        const THttpUrl parsed = THttpUrl::parse(url.toStdString());
        QTEST(QString::fromStdString(parsed.t_Scheme), "scheme");
        QTEST(QString::fromStdString(parsed.t_Host), "host");
        QTEST(QString::fromStdString(parsed.hostHeader()), "hostHeader");
        QTEST(parsed.portNumber(), "port");
        QTEST(QString::fromStdString(parsed.requestTarget()), "target");
    }

    void lookupHost_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("host");
        QTest::newRow("name") << "http://a-b.c_d.test/"
                              << "a-b.c_d.test";
        QTest::newRow("IPv6 literal") << "http://[::1]:8080/"
                                      << "::1";
        QTest::newRow("empty") << "http:///x"
                               << "";
        QTest::newRow("blank in host") << "http://bad host/"
                                       << "";
        QTest::newRow("line end in host") << "http://h\r\nX: y/"
                                          << "";
    }

    // Hosts with characters no host name has never reach the resolver or the Host line.
    void lookupHost()
    {
        QFETCH(QString, url);
        QTEST(QString::fromStdString(THttpUrl::parse(url.toStdString()).lookupHost()), "host");
    }

    void resolve_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("to");
        const QString from = "http://h:8080/dir/page?q=/x";
        QTest::newRow("relative to the directory") << from << "next"
                                                   << "http://h:8080/dir/next";
        QTest::newRow("absolute path keeps host and port") << from << "/top"
                                                           << "http://h:8080/top";
        QTest::newRow("scheme-relative") << from << "//other/p"
                                         << "http://other/p";
        QTest::newRow("absolute http") << from << "http://o:81/p"
                                       << "http://o:81/p";
        QTest::newRow("absolute https, any case") << from << "HTTPS://o/p"
                                                  << "HTTPS://o/p";
        QTest::newRow("blanks around the value") << from << "  /t  "
                                                 << "http://h:8080/t";
        QTest::newRow("dot segments removed, query kept") << "http://h/rel/a/b"
                                                          << "../c?x=1"
                                                          << "http://h/rel/c?x=1";
        QTest::newRow("single dots and a trailing double dot") << "http://h/rel/a/b"
                                                               << "./c/./d/.."
                                                               << "http://h/rel/a/c/";
        QTest::newRow("double dots never climb above the root") << "http://h/a/b"
                                                                << "../../../c/../d"
                                                                << "http://h/d";
        QTest::newRow("dot segments in an absolute path") << "http://h:81/a/b"
                                                          << "/x/../y/./z#part"
                                                          << "http://h:81/y/z#part";
        QTest::newRow("query alone replaces the query only") << from << "?n=2"
                                                             << "http://h:8080/dir/page?n=2";
        QTest::newRow("fragment alone keeps path and query") << from << "#top"
                                                             << "http://h:8080/dir/page?q=/x#top";
        QTest::newRow("dots inside the query are left alone") << "http://h/a/b"
                                                              << "c?p=../x"
                                                              << "http://h/a/c?p=../x";
        QTest::newRow("default port is not added") << "http://h:80/a/b"
                                                   << "c"
                                                   << "http://h/a/c";
    }

    void resolve()
    {
        QFETCH(QString, from);
        QFETCH(QString, location);
        QTEST(QString::fromStdString(
                  THttpUrl::parse(from.toStdString()).resolve(location.toStdString())),
              "to");
    }
};

QB_TEST(TestHttpUrl, "unit");
#include "TestHttpUrl.moc"
