#include "FakeDesktop.h"
#include "FakeMakerSite.h"
#include "SmallDisk.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "TestRegistry.h"

#include "base/AppSettings.h"
#include "base/ProgramVersion.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "base/ThreadRegistry.h"
#include "language/LangStrings.h"
#include "update/TVersionCheck.h"
#include "update/TVersionNotices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using qbtest::TVerReply;

Q_DECLARE_METATYPE(TVerReply)

// The whole check as the window runs it: the message, the thread, the fake maker's site,
// the notices through a recording prompt.
class TestVersionCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    FakePrompts m_prompts;
    FakeDesktop m_desktop;
    std::unique_ptr<TMessageQueue> m_queue;
    std::unique_ptr<TVersionNotices> m_notices;
    std::unique_ptr<TVersionCheck> m_check;

    QString dataDir() const { return m_home.filePath(QStringLiteral("Quillbrook/")); }
    // The check's own reply files in the data folder.
    QStringList replyFiles() const
    {
        return QDir(AppSettings().DataDir())
            .entryList({QStringLiteral("ver-*.ini")}, QDir::Files | QDir::Hidden);
    }

    // Runs one check to its end.
    void runCheck(int mode)
    {
        m_check->WMCheckVersion(mode);
        QVERIFY(m_check->VersionCheckRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!m_check->VersionCheckRunning(), 20000);
    }

    static QString question(const QString& version)
    {
        return QStringLiteral("A newer version is available: ") + version +
               QStringLiteral("\nDo you want to download it?");
    }

    bool failedOnce() const
    {
        return m_prompts.questions.isEmpty() && m_prompts.messages.size() == 1 &&
               m_prompts.messages.first().startsWith(Lang("Msg6_1") + QLatin1Char('\n'));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(LoadLanguageFile(qbtest::sourceLanguageDir() + QStringLiteral("/brae_eng.ini")));
        QCOMPARE(ProgramVersion(), QStringLiteral("2.8"));
    }

    void init()
    {
        AppSettings().SetDataDir(dataDir());
        m_prompts = FakePrompts();
        m_desktop = FakeDesktop();
        m_queue = std::make_unique<TMessageQueue>();
        m_notices = std::make_unique<TVersionNotices>(m_prompts, m_desktop);
        m_check = std::make_unique<TVersionCheck>(*m_queue);
        m_check->OnReport = [this](const TVersionOutcome& o) {
            m_notices->Report(o);
        };
        m_check->Connect();
    }

    void cleanup()
    {
        m_check.reset();
        m_notices.reset();
        QCOMPARE(replyFiles(), QStringList());
        m_queue.reset();
    }

    void replies_data()
    {
        QTest::addColumn<TVerReply>("reply");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("mode");         // 0 at first show, 1 from the Help menu
        QTest::addColumn<QString>("expected"); // "ask X", "latest", "failed" or "nothing"

        const auto row = [](const char* name, TVerReply r, const char* v, int mode,
                            const char* expected) {
            QTest::newRow(name) << r << QString::fromUtf8(v) << mode << QString::fromUtf8(expected);
        };
        row("newer, silent", TVerReply::Plain, "2.9", 0, "ask 2.9");
        row("newer, asked", TVerReply::Plain, "2.9", 1, "ask 2.9");
        row("same, silent", TVerReply::Plain, "2.8", 0, "nothing");
        row("same, asked", TVerReply::Plain, "2.8", 1, "latest");
        row("2.10 is older, asked", TVerReply::Plain, "2.10", 1, "latest");
        row("older, silent", TVerReply::Plain, "1.5", 0, "nothing");
        row("padded 3.0 shown trimmed", TVerReply::Padded, "3.0", 0, "ask 3.0");
        row("upper-case section and key", TVerReply::UpperCase, "3.0", 1, "ask 3.0");
        row("byte-order mark", TVerReply::Bom, "2.9", 0, "ask 2.9");
        row("slow but whole", TVerReply::Slow, "2.9", 0, "ask 2.9");
        row("inf, asked", TVerReply::Plain, "inf", 1, "failed");
        row("inf, silent", TVerReply::Plain, "inf", 0, "nothing");
        row("nan, asked", TVerReply::Plain, "nan", 1, "failed");
        row("exponent, asked", TVerReply::Plain, "1e1", 1, "failed");
        row("comma, asked", TVerReply::Plain, "2,9", 1, "failed");
        row("markup, asked", TVerReply::Plain, "<a href=\"http://x/\">9.9</a>", 1, "failed");
        row("markup, silent", TVerReply::Plain, "<a href=\"http://x/\">9.9</a>", 0, "nothing");
        row("html page, asked", TVerReply::Html, "", 1, "failed");
        row("404 with a valid body, asked", TVerReply::NotFoundWithBody, "9.9", 1, "failed");
        row("404 with a valid body, silent", TVerReply::NotFoundWithBody, "9.9", 0, "nothing");
        row("500, asked", TVerReply::ServerError, "", 1, "failed");
        row("empty, asked", TVerReply::Empty, "", 1, "failed");
        row("oversized, asked", TVerReply::Oversized, "9.9", 1, "failed");
        row("oversized, silent", TVerReply::Oversized, "9.9", 0, "nothing");
    }
    void replies()
    {
        QFETCH(TVerReply, reply);
        QFETCH(QString, version);
        QFETCH(int, mode);
        QFETCH(QString, expected);
        qbtest::TFakeMakerSite site;
        site.SetReply(reply, version);
        site.UseAsMaker();

        runCheck(mode);
        QCOMPARE(site.VersionRequests(), 1);
        QCOMPARE(replyFiles(), QStringList());
        if (expected.startsWith(QLatin1String("ask "))) {
            QCOMPARE(m_prompts.questions, QStringList{question(expected.mid(4))});
            QVERIFY(m_prompts.messages.isEmpty());
            QCOMPARE(m_check->LatestVersionText(), expected.mid(4));
        } else if (expected == QLatin1String("latest")) {
            QVERIFY(m_prompts.questions.isEmpty());
            QCOMPARE(m_prompts.messages,
                     QStringList{QStringLiteral("You have the latest version of Quillbrook.")});
        } else if (expected == QLatin1String("failed")) {
            QVERIFY2(failedOnce(), qPrintable(m_prompts.messages.join(QLatin1Char('|'))));
        } else {
            QVERIFY(m_prompts.questions.isEmpty());
            QVERIFY(m_prompts.messages.isEmpty());
        }
        QVERIFY(m_desktop.opened.isEmpty()); // the question was answered No
    }

    void yesOpensTheDownloadPage()
    {
        qbtest::TFakeMakerSite site;
        site.SetReply(TVerReply::Plain, QStringLiteral("2.9"));
        site.UseAsMaker();
        m_prompts.answers = {true};
        runCheck(0);
        QCOMPARE(m_desktop.opened, QStringList{Hosts().makerPage(QStringLiteral("/download.htm"))});
    }

    void noConnectionIsReportedOnlyWhenAsked()
    {
        ServiceHosts hosts = Hosts();
        hosts.Maker = QStringLiteral("127.0.0.1:1");
        OverrideServiceHosts(hosts);
        runCheck(0);
        QVERIFY(m_prompts.messages.isEmpty() && m_prompts.questions.isEmpty());
        runCheck(1);
        QVERIFY(failedOnce());
    }

    void dataFolderThatCannotBeMade()
    {
        qbtest::TFakeMakerSite site;
        site.UseAsMaker();
        QFile blocker(m_home.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        AppSettings().SetDataDir(blocker.fileName() + QStringLiteral("/Quillbrook/"));
        runCheck(0);
        QVERIFY(m_prompts.messages.isEmpty());
        runCheck(1);
        QVERIFY(failedOnce());
        QCOMPARE(site.VersionRequests(), 0);
    }

    void twoClicksDuringASlowReplyGiveOneRequestAndOneAnswer()
    {
        qbtest::TFakeMakerSite site;
        site.SetReply(TVerReply::Slow, QStringLiteral("2.8"));
        site.UseAsMaker();
        m_queue->Post(WM_CHECK_VERSION, 1);
        m_queue->Post(WM_CHECK_VERSION, 1);
        QTRY_VERIFY(m_check->VersionCheckRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!m_check->VersionCheckRunning(), 20000);
        QTest::qWait(100);
        QCOMPARE(site.VersionRequests(), 1);
        QCOMPARE(m_prompts.messages, QStringList{Lang("Msg1_1")});
    }

    void aClickDuringTheSilentCheckMakesItReport()
    {
        qbtest::TFakeMakerSite site;
        site.SetReply(TVerReply::Slow, QStringLiteral("2.8"));
        site.UseAsMaker();
        m_check->WMCheckVersion(0);
        QVERIFY(site.Server().WaitForRequests(1, 5s));
        m_check->WMCheckVersion(1);
        QTRY_VERIFY_WITH_TIMEOUT(!m_check->VersionCheckRunning(), 20000);
        QCOMPARE(site.VersionRequests(), 1);
        QCOMPARE(m_prompts.messages, QStringList{Lang("Msg1_1")});
    }

    void deadline_data()
    {
        QTest::addColumn<TVerReply>("reply");
        QTest::addColumn<int>("mode");
        QTest::newRow("stalled, asked") << TVerReply::Stalled << 1;
        QTest::newRow("stalled, silent") << TVerReply::Stalled << 0;
        QTest::newRow("trickling, asked") << TVerReply::Trickling << 1;
        QTest::newRow("trickling, silent") << TVerReply::Trickling << 0;
    }
    void deadline()
    {
        QFETCH(TVerReply, reply);
        QFETCH(int, mode);
        qbtest::TFakeMakerSite site;
        site.SetReply(reply);
        site.UseAsMaker();
        m_check->SetDeadline(1500ms);
        runCheck(mode);
        QCOMPARE(site.VersionRequests(), 1);
        if (mode == 1)
            QVERIFY(failedOnce());
        else
            QVERIFY(m_prompts.messages.isEmpty() && m_prompts.questions.isEmpty());
    }

    void endingWhileTheSiteStallsEndsTheThread()
    {
        qbtest::TFakeMakerSite site;
        site.SetReply(TVerReply::Stalled);
        site.UseAsMaker();
        m_check->WMCheckVersion(1);
        QVERIFY(site.Server().WaitForRequests(1, 5s));
        m_check.reset(); // what the end of the program does
        QTRY_COMPARE(ThreadRegistry::LiveCount(), 0);
        QCOMPARE(replyFiles(), QStringList());
        m_queue->Drain();
        QVERIFY(m_prompts.messages.isEmpty() && m_prompts.questions.isEmpty());
    }

    // What the server said, read from its status line and framing; the reason names the
    // true fault.
    void rawReplies_data()
    {
        QTest::addColumn<QByteArray>("reply"); // "loop": every answer redirects to itself
        QTest::addColumn<QString>("said");     // the reason of the failure; empty: latest

        const QByteArray file = "[Quillbrook]\r\nver=2.8\r\n";
        const QByteArray length = "Content-Length: " + QByteArray::number(file.size()) + "\r\n";
        QTest::newRow("404 whose header mentions 200 OK")
            << "HTTP/1.1 404 Not Found\r\nX-Debug: was HTTP/1.1 200 OK\r\n" + length + "\r\n" + file
            << "the server answered 404 Not Found";
        QTest::newRow("two different lengths")
            << "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n" + length + "\r\n" + file
            << "the reply cannot be read: conflicting Content-Length values";
        QTest::newRow("200 without a reason phrase")
            << "HTTP/1.1 200\r\n" + length + "\r\n" + file << QString();
        QTest::newRow("a smaller stored length is no length")
            << "HTTP/1.1 200 OK\r\nX-Goog-Stored-Content-Length: 3\r\n" + length + "\r\n" + file
            << QString();
        QTest::newRow("redirected to itself")
            << QByteArray("loop") << "too many redirects (more than 5)";
    }
    void rawReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, said);
        qbtest::TTestHttpServer server;
        server.SetHandler([reply](const qbtest::TRecordedRequest& r) {
            if (reply == "loop")
                return qbtest::TScriptedReply::Redirect(302, r.t_Target);
            return qbtest::TScriptedReply().Send(reply);
        });
        ServiceHosts hosts = Hosts();
        hosts.Maker = QStringLiteral("127.0.0.1:%1").arg(server.Port());
        OverrideServiceHosts(hosts);
        runCheck(1);
        if (said.isEmpty()) {
            QCOMPARE(m_prompts.messages, QStringList{Lang("Msg1_1")});
            return;
        }
        QCOMPARE(m_prompts.messages, QStringList{Lang("Msg6_1") + QLatin1Char('\n') + said});
    }

    // A link planted where the old fixed name was is never written through: its target
    // stays as it was, and the check still works.
    void plantedLinkIsLeftAlone_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("link to a file") << false;
        QTest::newRow("dangling link") << true;
    }
    void plantedLinkIsLeftAlone()
    {
        QFETCH(bool, dangling);
        qbtest::TFakeMakerSite site;
        site.SetReply(TVerReply::Plain, QStringLiteral("2.8"));
        site.UseAsMaker();
        QVERIFY(QDir().mkpath(dataDir()));
        const QString target = m_home.filePath(QStringLiteral("victim.txt"));
        if (!dangling) {
            QFile victim(target);
            QVERIFY(victim.open(QIODevice::WriteOnly));
            victim.write("the user's own text");
        }
        const QString link = dataDir() + QStringLiteral("ver.ini");
        QVERIFY(QFile::link(target, link));

        runCheck(1);
        QCOMPARE(m_prompts.messages, QStringList{Lang("Msg1_1")});
        QVERIFY(QFileInfo(link).isSymLink());
        if (dangling) {
            QVERIFY(!QFileInfo::exists(target));
        } else {
            QFile victim(target);
            QVERIFY(victim.open(QIODevice::ReadOnly));
            QCOMPARE(victim.readAll(), QByteArray("the user's own text"));
        }
        QCOMPARE(QDir(dataDir()).entryList(QDir::Files | QDir::System | QDir::Hidden),
                 QStringList{"ver.ini"});
        QFile::remove(link);
        QFile::remove(target);
    }

    // A data folder on a full disk: the check says the reply could not be saved, not that
    // the server failed.
    void fullDataFolderSaysSo()
    {
        qbtest::SmallDisk disk({}, 64 * 1024);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.reason()));
        const QString folder = disk.path() + QStringLiteral("/Quillbrook/");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(disk.fill());
        AppSettings().SetDataDir(folder);
        qbtest::TFakeMakerSite site;
        site.SetReply(TVerReply::Plain, QStringLiteral("2.9"));
        site.UseAsMaker();

        runCheck(1);
        QCOMPARE(site.VersionRequests(), 1);
        QVERIFY(m_prompts.questions.isEmpty());
        QCOMPARE(m_prompts.messages.size(), 1);
        const QString said = m_prompts.messages.first();
        QVERIFY2(said.startsWith(Lang("Msg6_1") + QStringLiteral("\ncannot save the reply in ") +
                                 folder) &&
                     said.endsWith(QLatin1String("No space left on device")),
                 qPrintable(said));
        QCOMPARE(replyFiles(), QStringList());
        AppSettings().SetDataDir(dataDir());
    }
};

QB_TEST(TestVersionCheck, "e2e");
#include "TestVersionCheck.moc"
