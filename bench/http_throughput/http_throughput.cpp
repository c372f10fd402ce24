// bench_http_throughput [--mib N] [--rounds R]
// Serves an N MiB body (default 1024) from a server thread on 127.0.0.1 and downloads it
// into a file in a temporary folder, alternately with our client (this program started
// again as "--fetch URL FILE") and with "curl -s -o", R rounds each (default 3). Prints
// both throughputs, the ratio ours/curl and the peak memory of each client process, plus
// our peak for a small body to show that memory does not grow with the body.
#include "net/EHttpException.h"
#include "net/THttpCli.h"

#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

int fetchMain(const char* url, const char* path)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 2;
    THttpCli cli;
    cli.SetMultiThreaded(true);
    cli.OnDocData = [](THttpCli&, const char*, int) {
    };
    cli.SetURL(QString::fromLocal8Bit(url));
    cli.SetRcvdStream(&file);
    try {
        cli.Get();
    } catch (const EHttpException& e) {
        std::fprintf(stderr, "fetch failed: %s (%u)\n", qPrintable(e.Message()), e.ErrorCode());
        return 1;
    }
    cli.SetRcvdStream(nullptr);
    file.close();
    return 0;
}

// Answers every connection with one response of the given size, then closes it.
class TBulkServer
{
public:
    explicit TBulkServer(std::int64_t size) : m_size(size), m_block(1 << 20)
    {
        for (std::size_t i = 0; i < m_block.size(); ++i)
            m_block[i] = char('a' + i % 26);
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
            ::listen(m_listen, 8) < 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
            std::perror("server");
            std::exit(2);
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~TBulkServer()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
    }
    int port() const { return m_port; }

private:
    void serve()
    {
        while (!m_stop) {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            std::string head;
            char buf[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                head.append(buf, std::size_t(n));
            }
            const std::string header =
                "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                "Content-Length: " +
                std::to_string(m_size) + "\r\n\r\n";
            bool ok = ::send(fd, header.data(), header.size(), MSG_NOSIGNAL) > 0;
            for (std::int64_t sent = 0; ok && sent < m_size;) {
                const std::size_t n = std::size_t(
                    std::min<std::int64_t>(std::int64_t(m_block.size()), m_size - sent));
                const ssize_t w = ::send(fd, m_block.data(), n, MSG_NOSIGNAL);
                if (w < 0 && errno == EINTR)
                    continue;
                ok = w > 0;
                sent += w > 0 ? w : 0;
            }
            ::close(fd);
        }
    }

    std::int64_t m_size;
    std::vector<char> m_block;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct TRun
{
    double t_Seconds = 0;
    long t_PeakKiB = 0;
    bool t_Ok = false;
};

TRun runChild(const std::vector<std::string>& args, const std::string& output, std::int64_t size)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    TRun run;
    const auto start = TClock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.t_Seconds = std::chrono::duration<double>(TClock::now() - start).count();
    run.t_PeakKiB = usage.ru_maxrss;
    run.t_Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
               QFile(QString::fromStdString(output)).size() == size;
    ::unlink(output.c_str());
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--fetch") == 0)
        return fetchMain(argv[2], argv[3]);

    std::int64_t mib = 1024;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mib") == 0)
            mib = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::atoi(argv[i + 1]);
    }
    const std::int64_t size = mib << 20;

    char folder[] = "/tmp/qb-bench-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string output = std::string(folder) + "/body.bin";
    const std::string self = "/proc/self/exe";
    char selfPath[4096] = {};
    if (::readlink(self.c_str(), selfPath, sizeof selfPath - 1) < 0)
        return 2;

    auto server = std::make_unique<TBulkServer>(size);
    const std::string url = "http://127.0.0.1:" + std::to_string(server->port()) + "/body.bin";
    const std::vector<std::string> ours = {selfPath, "--fetch", url, output};
    const std::vector<std::string> curl = {"curl", "-s", "-o", output, url};

    std::printf("body %lld MiB, %d rounds, output in %s\n", static_cast<long long>(mib), rounds,
                folder);
    double oursSeconds = 0, curlSeconds = 0;
    long oursPeak = 0, curlPeak = 0;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        TRun a, b;
        if (round % 2 == 0) {
            a = runChild(ours, output, size);
            b = runChild(curl, output, size);
        } else {
            b = runChild(curl, output, size);
            a = runChild(ours, output, size);
        }
        ok = ok && a.t_Ok && b.t_Ok;
        oursSeconds += a.t_Seconds;
        curlSeconds += b.t_Seconds;
        oursPeak = std::max(oursPeak, a.t_PeakKiB);
        curlPeak = std::max(curlPeak, b.t_PeakKiB);
        std::printf("round %d: ours %.0f MiB/s%s, curl %.0f MiB/s%s\n", round + 1,
                    double(mib) / a.t_Seconds, a.t_Ok ? "" : " (FAILED)", double(mib) / b.t_Seconds,
                    b.t_Ok ? "" : " (FAILED)");
    }
    server = std::make_unique<TBulkServer>(16 << 20);
    const std::string smallUrl =
        "http://127.0.0.1:" + std::to_string(server->port()) + "/small.bin";
    const TRun small = runChild({selfPath, "--fetch", smallUrl, output}, output, 16 << 20);

    const double oursRate = double(mib * rounds) / oursSeconds;
    const double curlRate = double(mib * rounds) / curlSeconds;
    std::printf("ours: %.0f MiB/s, curl: %.0f MiB/s, ratio ours/curl %.3f (goal >= 0.9)\n",
                oursRate, curlRate, oursRate / curlRate);
    std::printf("peak RSS: ours %ld KiB (%ld KiB for a 16 MiB body), curl %ld KiB\n", oursPeak,
                small.t_PeakKiB, curlPeak);
    ::rmdir(folder);
    if (!ok || !small.t_Ok) {
        std::printf("a download FAILED\n");
        return 1;
    }
    return 0;
}
