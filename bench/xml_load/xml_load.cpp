// Times loading a large followed-user file with the XML component against expat's own
// xmlwf on the same file, and saving it.
//   bench_xml_load [USERS [TRACKS [RUNS]]]   (defaults 200 users, 500 tracks each, 5 runs)
#include "xml/NativeXml.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QByteArray Number(long long value)
{
    return QByteArray::number(value);
}

// The layout the followed-user store writes, with values of a plausible size.
std::unique_ptr<TNativeXml> BuildFollowedUsers(int users, int tracks)
{
    auto xml = TNativeXml::CreateName("users");
    xml->SetXmlFormat(xfReadable);
    long long trackId = 100000000;
    for (int u = 1; u <= users; ++u) {
        const QByteArray name = "user-" + Number(u);
        TXmlNode* user = xml->Root()->NodeNew("user");
        user->WriteString("name", name);
        user->WriteString("id", Number(1000000 + u));
        user->WriteString("username", "User " + Number(u));
        user->WriteString("permalink-url", "http://soundcloud.com/" + name);
        user->WriteString("country", "Norway");
        user->WriteString("full-name", "Firstname Lastname " + Number(u));
        user->WriteString("description",
                          "Producer & DJ from the north. Deep house, techno and the odd ambient "
                          "piece.\nBookings: see the website. New tracks every Friday.");
        user->WriteString("city", "Tromsø");
        user->WriteString("website", "http://www.example.org/" + name);
        user->WriteString("track-count", Number(tracks));
        user->WriteString("followers-count", Number(12345 + u));
        user->WriteString("last-check-time", "20240105123456");
        user->WriteString("auto-check", u % 2 ? "1" : "0");
        for (int t = 1; t <= tracks; ++t) {
            const bool downloaded = t % 2 == 0;
            const QByteArray title = "Track " + Number(t) + " – Night Drive (Original Mix)";
            TXmlNode* track = user->NodeNew("track");
            track->WriteString("id", Number(++trackId));
            track->WriteString("created-at", "2013/05/01 12:34:56 +0000");
            track->WriteString("duration", Number(180000 + t * 37));
            track->WriteString("original-content-size", Number(7000000 + t * 1013));
            track->WriteString("title", title);
            track->WriteString("description",
                               "Recorded live at the harbour <Friday session>.\nFree download; "
                               "mastered by a friend & played on the radio.");
            track->WriteString("original-format", "mp3");
            track->WriteString("permalink-url", "http://soundcloud.com/" + name + "/track-" +
                                                    Number(t) + "-night-drive-original-mix");
            track->WriteString("downloaded-at", downloaded ? "20240106080910" : "");
            track->WriteString("downloaded-localfile",
                               downloaded ? "/home/listener/Music/Quillbrook/" + title + ".mp3"
                                          : QByteArray());
        }
    }
    return xml;
}

struct Counts
{
    long long users = 0;
    long long tracks = 0;
    long long valueChars = 0;
};

// Handlers shaped like the store's: lower-cased names, depth tests, values as UTF-16. The
// name comes from NameUnicode, or is converted from UTF-8 on every event.
QString LowerName(const TXmlNode& node, bool shared)
{
    return shared ? node.NameUnicode().toLower() : QString::fromUtf8(node.Name()).toLower();
}

void HookStoreHandlers(TNativeXml& xml, Counts& counts, bool sharedNames)
{
    xml.OnNodeNew = [&counts, sharedNames](TNativeXml&, TXmlNode& node) {
        const int depth = node.TreeDepth();
        const QString name = LowerName(node, sharedNames);
        if (depth == 1 && name == QLatin1String("user"))
            ++counts.users;
        else if (depth == 2 && name == QLatin1String("track"))
            ++counts.tracks;
    };
    xml.OnNodeLoaded = [&counts, sharedNames](TNativeXml&, TXmlNode& node) {
        const int depth = node.TreeDepth();
        if (depth != 2 && depth != 3)
            return;
        const QString name = LowerName(node, sharedNames);
        if (!name.startsWith(QLatin1Char('#')))
            counts.valueChars += node.ValueUnicode().size();
    };
}

// Handlers that only test depth and name, so the figure is the component's event delivery.
void HookMinimalHandlers(TNativeXml& xml, Counts& counts)
{
    xml.OnNodeNew = [&counts](TNativeXml&, TXmlNode& node) {
        if (node.TreeDepth() == 2 && node.Name() == "track")
            ++counts.tracks;
    };
    xml.OnNodeLoaded = [&counts](TNativeXml&, TXmlNode& node) {
        if (node.TreeDepth() == 1 && node.Name() == "user")
            ++counts.users;
    };
}

double Best(const std::vector<double>& times)
{
    return *std::min_element(times.begin(), times.end());
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Report(const char* what, const std::vector<double>& times)
{
    std::printf("%-38s best %8.1f ms   median %8.1f ms\n", what, Best(times), Median(times));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int users = args.size() > 1 ? args[1].toInt() : 200;
    const int tracks = args.size() > 2 ? args[2].toInt() : 500;
    const int runs = std::max(1, args.size() > 3 ? args[3].toInt() : 5);

    QTemporaryDir dir;
    const QString path = dir.filePath("followuser.xml");
    QElapsedTimer timer;

    timer.start();
    auto xml = BuildFollowedUsers(users, tracks);
    const double buildMs = timer.nsecsElapsed() / 1e6;

    std::vector<double> save;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        xml->SaveToFile(path);
        save.push_back(timer.nsecsElapsed() / 1e6);
    }
    xml.reset();
    std::printf("file: %d users x %d tracks, %.1f MB (%s)\n", users, tracks,
                QFileInfo(path).size() / 1e6, qPrintable(path));
    std::printf("%-38s       %8.1f ms\n", "build document", buildMs);
    Report("SaveToFile", save);

    std::vector<double> plain;
    std::vector<double> minimal;
    std::vector<double> hooked;
    std::vector<double> converted;
    Counts counts;
    for (int i = 0; i < runs; ++i) {
        {
            TNativeXml reader;
            Counts seen;
            HookMinimalHandlers(reader, seen);
            timer.start();
            reader.LoadFromFile(path);
            minimal.push_back(timer.nsecsElapsed() / 1e6);
        }
        {
            // A load without handlers keeps its tree and is bounded in nodes; a file this
            // size is read the way the program reads it, through a handler.
            TNativeXml reader;
            reader.OnNodeLoaded = [](TNativeXml&, TXmlNode&) {
            };
            timer.start();
            if (!reader.LoadFromFile(path)) {
                std::fprintf(stderr, "load failed: %s\n", qPrintable(reader.ErrorText()));
                return 1;
            }
            plain.push_back(timer.nsecsElapsed() / 1e6);
        }
        {
            TNativeXml reader;
            Counts seen;
            HookStoreHandlers(reader, seen, false);
            timer.start();
            reader.LoadFromFile(path);
            converted.push_back(timer.nsecsElapsed() / 1e6);
        }
        TNativeXml reader;
        counts = {};
        HookStoreHandlers(reader, counts, true);
        timer.start();
        reader.LoadFromFile(path);
        hooked.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (counts.users != users || counts.tracks != static_cast<long long>(users) * tracks) {
        std::fprintf(stderr, "handlers saw %lld users, %lld tracks\n", counts.users, counts.tracks);
        return 1;
    }
    Report("LoadFromFile, no-op handler", plain);
    Report("LoadFromFile, depth/name handlers", minimal);
    Report("LoadFromFile, store-like, NameUnicode", hooked);
    Report("LoadFromFile, store-like, fromUtf8", converted);

    const QString xmlwf = QStandardPaths::findExecutable("xmlwf");
    if (xmlwf.isEmpty()) {
        std::printf("xmlwf not found (Debian package \"expat\"): no ratio\n");
        return 0;
    }
    std::vector<double> peer;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        timer.start();
        process.start(xmlwf, {path});
        process.waitForFinished(-1);
        peer.push_back(timer.nsecsElapsed() / 1e6);
        const QByteArray output = process.readAllStandardOutput();
        if (process.exitCode() != 0 || !output.isEmpty()) {
            std::fprintf(stderr, "xmlwf: %s\n", output.constData());
            return 1;
        }
    }
    Report("xmlwf (expat alone)", peer);
    std::printf("ratio component / xmlwf (best times, goal <= 1.5):\n"
                "  %.2f no handlers, %.2f depth/name handlers,\n"
                "  %.2f store-like with NameUnicode, %.2f store-like converting names\n",
                Best(plain) / Best(peer), Best(minimal) / Best(peer), Best(hooked) / Best(peer),
                Best(converted) / Best(peer));
    return 0;
}
