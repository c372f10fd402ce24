// http-fetch URL FILE [--timeout S]: one Get with our HTTP client, showing what goes over
// the wire as the events fire. Exit 0 when Get returned normally, 1 when it raised, 2 on a
// usage or file error.
#include "net/EHttpException.h"
#include "net/THttpCli.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: http-fetch URL FILE [--timeout SECONDS]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QString url;
    QString file;
    long timeout = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            char* end = nullptr;
            timeout = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || timeout < 0)
                return usage();
        } else if (url.isEmpty()) {
            url = QString::fromLocal8Bit(argv[i]);
        } else if (file.isEmpty()) {
            file = QString::fromLocal8Bit(argv[i]);
        } else {
            return usage();
        }
    }
    if (url.isEmpty() || file.isEmpty())
        return usage();

    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "http-fetch: cannot create %s: %s\n", qPrintable(file),
                     qPrintable(out.errorString()));
        return 2;
    }

    THttpCli cli;
    cli.SetMultiThreaded(true);
    if (timeout >= 0)
        cli.SetTimeout(unsigned(timeout));
    qint64 received = 0;
    cli.OnCommand = [](THttpCli&, QString& line) {
        std::printf("> %s\n", qPrintable(line));
    };
    cli.OnHeaderData = [](THttpCli& sender) {
        std::printf("< %s\n", qPrintable(sender.LastResponse()));
    };
    cli.OnDocData = [&received](THttpCli&, const char*, int len) {
        received += len;
    };
    cli.SetURL(url);
    cli.SetRcvdStream(&out);

    int rc = 0;
    try {
        cli.Get();
    } catch (const EHttpException& e) {
        rc = 1;
        std::printf("* exception: %s (ErrorCode %u)\n", qPrintable(e.Message()),
                    unsigned(e.ErrorCode()));
    }
    cli.SetRcvdStream(nullptr);
    out.close();
    std::printf("* %lld bytes received, %lld in %s\n", static_cast<long long>(received),
                static_cast<long long>(QFile(file).size()), qPrintable(file));
    std::printf("* StatusCode %d, ReasonPhrase \"%s\"\n", cli.StatusCode(),
                qPrintable(cli.ReasonPhrase()));
    if (cli.Location() != url)
        std::printf("* Location %s\n", qPrintable(cli.Location()));
    return rc;
}
