#include "FailDevice.h"
#include "FakeDesktop.h"
#include "FakeSoundCloud.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "UiTestHelpers.h"

#include "app/MainController.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadState.h"
#include "jobs/DownloadTotals.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "ui/TAddWin.h"
#include "ui/TTarnMainWin.h"
#include "worker/DownloadEngine.h"
#include "worker/TOutputFile.h"
#include "worker/WorkerContext.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace std::chrono_literals;

namespace {

// A drag from another program: its data is fetched as the source sends it, the way the
// platform's drop data works, rather than stored and re-encoded by QMimeData.
class TForeignDrag final : public QMimeData
{
public:
    void Offer(const QString& format, const QByteArray& bytes) { m_data.insert(format, bytes); }
    QStringList formats() const override { return m_data.keys(); }
    bool hasFormat(const QString& format) const override { return m_data.contains(format); }

protected:
    QVariant retrieveData(const QString& format, QMetaType) const override
    {
        return m_data.contains(format) ? QVariant(m_data.value(format)) : QVariant();
    }

private:
    QMap<QString, QByteArray> m_data;
};

// A working file on a disk that fills up after 4096 bytes.
class TFullDiskOutput final : public TOutputFile
{
public:
    TFullDiskOutput() : m_device(4096) {}
    QIODevice& Device() override { return m_device; }
    bool Finish() override
    {
        m_device.close();
        return true;
    }

private:
    FailDevice m_device;
};

} // namespace

// The download list through the real widgets, against the fake SoundCloud service.
class TestDownloadList : public QObject
{
    Q_OBJECT

    std::unique_ptr<qbtest::TFakeSoundCloud> m_sc;
    std::unique_ptr<QTemporaryDir> m_save;
    FakeDesktop m_desktop;
    FakePrompts m_prompts;
    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<TTarnMainWin> m_win;
    std::unique_ptr<TAddWin> m_add;
    QStringList m_notices; // what the window told the desktop

    ListViewModel& list() { return m_controller->DownloadList(); }
    QString note() const { return m_win->statusBar()->currentMessage(); }
    // The text with %1, %2, ... replaced by the links.
    static QString fill(QString text, const QStringList& links)
    {
        for (int i = 0; i < links.size(); ++i)
            text.replace(QStringLiteral("%") + QString::number(i + 1), links[i]);
        return text;
    }
    static QStringList fill(const QStringList& texts, const QStringList& links)
    {
        QStringList out;
        for (const QString& t : texts)
            out.append(fill(t, links));
        return out;
    }
    QStringList urls()
    {
        QStringList out;
        for (int row = 0; row < list().rowCount(); ++row)
            out.append(list().text(row, TDownloadRows::UrlColumn));
        return out;
    }
    TDownloadState& state() { return m_controller->Downloads(); }
    int status(int row) { return state().DownloadJobs.Job(list().item(row).data)->t_Status.load(); }

    // Fills the add-links dialog once it is up and presses OK.
    void addThroughDialog(const QString& text, bool immediately = true)
    {
        QTimer::singleShot(0, this, [this, text, immediately] {
            QVERIFY(m_add->isVisible());
            m_add->Link->setPlainText(text);
            m_add->CBoximmediately->setChecked(immediately);
            QTest::mouseClick(m_add->ButtOK, Qt::LeftButton);
        });
        m_win->PMenuBraeAdd->trigger();
    }

    void drop(const QString& text)
    {
        QMimeData data;
        data.setText(text);
        drop(data);
    }

    void drop(QMimeData& data)
    {
        const QPoint at = m_win->DownloadList->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_win->DownloadList->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_win->DownloadList->viewport(), &dropEvent);
    }

    // Makes the window the active one, as the window manager does when it comes up (window
    // shortcuts act only there).
    static bool activate(QWidget* window)
    {
        window->activateWindow();
        return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
    }

    void select(std::initializer_list<int> rows)
    {
        QItemSelectionModel& sel = m_controller->DownloadSelection();
        sel.clearSelection();
        for (int row : rows)
            sel.select(list().index(row, 0),
                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void doubleClick(int row)
    {
        select({row});
        const QPoint at = m_win->DownloadList->visualRect(list().index(row, 1)).center();
        QTest::mouseClick(m_win->DownloadList->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(m_win->DownloadList->viewport(), Qt::LeftButton, {}, at);
    }

    bool waitIdle(int ms = 30000)
    {
        QDeadlineTimer deadline(ms);
        m_controller->Messages().Drain();
        while (m_controller->LiveWorkers() > 0 || state().FindStartableJob() > 0) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(10);
        }
        m_controller->Messages().Drain();
        return true;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(LoadLanguageFile(qbtest::sourceLanguageDir() + QStringLiteral("/brae_eng.ini")));
        AppSettings().SetLanguageLoaded(true);
        qbtest::forgetWindowLayout();
        m_sc = std::make_unique<qbtest::TFakeSoundCloud>();
        m_sc->UseAsSoundCloud();
        m_save = std::make_unique<QTemporaryDir>();
        AppSettings().SetSaveToFolder(m_save->path() + QLatin1Char('/'));
        m_desktop = FakeDesktop();
        m_prompts = FakePrompts();
        m_controller = std::make_unique<MainController>(m_prompts, m_desktop);
        m_win = std::make_unique<TTarnMainWin>(*m_controller);
        m_notices.clear();
        m_win->NotifyDesktop = [this](const QString& summary, const QString& body) {
            m_notices << summary + QStringLiteral(": ") + body;
        };
        m_add = std::make_unique<TAddWin>(*m_controller, m_win.get());
        m_win->SetAddWin(m_add.get());
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
    }

    void cleanup()
    {
        state().MaxDownloads = 10;
        m_controller->Messages().Post(WM_START_JOBS);
        QVERIFY(waitIdle());
        m_add.reset();
        m_win.reset();
        m_controller.reset();
        m_sc.reset();
        m_save.reset();
        qbtest::forgetWindowLayout();
    }

    void fourLinePaste()
    {
        const QString link = m_sc->AddTrack({.name = "Song", .size = 5000});
        const QString upper =
            QStringLiteral("HTTPS://") + link.mid(7); // "HTTPS://127.0.0.1:port/..."
        addThroughDialog(upper + "\n\nhttp://example.org/a/b\n" + upper + "\n");
        QCOMPARE(list().rowCount(), 2);
        const QString expected = QStringLiteral("http://") + link.mid(7);
        QCOMPARE(list().text(0, TDownloadRows::UrlColumn), expected);
        QCOMPARE(list().text(1, TDownloadRows::UrlColumn), expected);
        QVERIFY(waitIdle());
        QCOMPARE(status(0), int(JOB_FINISHED));
        QCOMPARE(status(1), int(JOB_FINISHED));
        QStringList names{list().item(0).caption, list().item(1).caption};
        names.sort();
        QCOMPARE(names, (QStringList{"1-Song.mp3", "Song.mp3"}));
    }

    // A failed row's tooltip says why it ended, where its file was and what its link is;
    // the status bar counts it as failed.
    void failedRowsSayWhy_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<QString>("reason");
        QTest::newRow("stream answers 404") << false << "Ended: HTTP 404 Error";
        QTest::newRow("disk full part way")
            << true << "Ended: Disk error: Can't write received data: No space left on device";
    }
    void failedRowsSayWhy()
    {
        QFETCH(bool, fullDisk);
        QFETCH(QString, reason);
        if (fullDisk) {
            m_controller->Workers().openOutput =
                [](const QString& path) -> std::unique_ptr<TOutputFile> {
                QString error;
                if (path.endsWith(QLatin1String(".txt")))
                    return TOutputFile::Create(path, error);
                return std::make_unique<TFullDiskOutput>();
            };
        }
        const QString link =
            m_sc->AddTrack({.name = "Song", .size = 20000, .status = fullDisk ? 200 : 404});
        addThroughDialog(link);
        QVERIFY(waitIdle());
        QCOMPARE(status(0), int(JOB_STOPPED));
        const QModelIndex cell = m_win->DownloadList->model()->index(0, TDownloadRows::FileColumn);
        const QString tip = cell.data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(reason), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("Link: ") + link), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("File: ") + m_save->path() + QStringLiteral("/Song")),
                 qPrintable(tip));
        m_controller->Timer1Timer();
        QVERIFY(m_win->statusBar()->findChildren<QLabel*>().contains(m_win->DownloadTotalsLabel));
        QCOMPARE(m_win->DownloadTotalsLabel->text(),
                 QStringLiteral("Running 0 \u00b7 Queued 0 \u00b7 Finished 0 \u00b7 Failed 1"));
        QCOMPARE(m_notices, QStringList{"Quillbrook: downloads ended: 0 finished, 1 failed"});
    }

    // A running download draws its progress behind the Status text; the status bar counts
    // it with its speed.
    void runningRowShowsProgress()
    {
        const QString link =
            m_sc->AddTrack({.name = "Slow", .size = 400000, .pieceSize = 4000, .gap = 25ms});
        addThroughDialog(m_sc->AddTrack({.name = "Done", .size = 3000}) + "\n" + link);
        const QModelIndex cell = list().index(1, TDownloadRows::StatusColumn);
        QTRY_VERIFY_WITH_TIMEOUT(cell.data(ListViewModel::ProgressRole).toDouble() > 0.1, 10000);
        QVERIFY(cell.data(Qt::DisplayRole).toString().startsWith(QLatin1String("Received: ")));
        QTRY_VERIFY(cell.data(Qt::ToolTipRole).toString().contains(QLatin1String("Speed: ")));
        QTRY_VERIFY(m_win->DownloadTotalsLabel->text().contains(QLatin1String("KB/s")));
        QVERIFY(m_win->DownloadTotalsLabel->text().startsWith(QLatin1String("Running 1 ")));
        m_win->resize(900, 300);
        qbtest::screenshot(m_win.get(), "download-progress.png");
        QVERIFY(m_notices.isEmpty()); // not while one runs
        QVERIFY(waitIdle());
        m_controller->Timer1Timer();
        QCOMPARE(m_notices, QStringList{"Quillbrook: downloads ended: 2 finished, 0 failed"});
        QVERIFY(!cell.data(ListViewModel::ProgressRole).isValid());
        QCOMPARE(cell.data(Qt::DisplayRole).toString(), QStringLiteral("Finished"));
    }

    void withoutDownloadImmediatelyNothingStarts()
    {
        const QString a = m_sc->AddTrack({});
        const QString b = m_sc->AddTrack({});
        addThroughDialog(a + "\n" + b, false);
        QVERIFY(waitIdle());
        QCOMPARE(list().rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(status(row), int(JOB_STOPPED));
            QCOMPARE(list().item(row).imageIndex, int(JOB_STOPPED));
        }
        QCOMPARE(m_sc->Server().Requests().size(), 0);
        // The dialog is fresh every time it opens: empty, with the box ticked.
        QTimer::singleShot(0, this, [this] {
            QVERIFY(m_add->Link->toPlainText().isEmpty());
            QVERIFY(m_add->CBoximmediately->isChecked());
            qbtest::screenshot(m_add.get(), "add-links.png");
            m_add->reject();
        });
        m_win->TButAdd->trigger();
    }

    void dropAcceptsATrimmedLinkOnly()
    {
        const QString link = m_sc->AddTrack({.name = "Dropped", .size = 700});
        drop(QStringLiteral("  ") + link + QStringLiteral(" \n"));
        drop(QStringLiteral("http://example.org/other/site"));
        QCOMPARE(list().rowCount(), 1);
        QCOMPARE(list().text(0, TDownloadRows::UrlColumn), link);
        QVERIFY(waitIdle());
        QCOMPARE(list().item(0).caption, QStringLiteral("Dropped.mp3"));
    }

    // The job gets the link exactly as it was dragged: no host lower-cased, no escape
    // decoded, whichever form the source offers it in.
    void dropKeepsTheLinkAsDragged_data()
    {
        QTest::addColumn<QString>("uriList"); // "%1": the track's link
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("path"); // after the link
        QTest::newRow("URL list with escapes") << "%1"
                                               << ""
                                               << "?ref=a%2Fb%20c%7eD%41";
        QTest::newRow("URL list after a comment line, CRLF") << "# dragged\r\n%1\r\n"
                                                             << ""
                                                             << "?q=%C3%A9";
        QTest::newRow("plain text only") << ""
                                         << "%1"
                                         << "?x=%2e%2E";
        QTest::newRow("URL list wins over the text") << "%1"
                                                     << "http://example.org/x"
                                                     << "?t=%5B1%5D";
    }
    void dropKeepsTheLinkAsDragged()
    {
        QFETCH(QString, uriList);
        QFETCH(QString, plain);
        QFETCH(QString, path);
        const QString link = m_sc->AddTrack({.name = "Dragged", .size = 700}) + path;
        TForeignDrag data;
        if (!uriList.isEmpty())
            data.Offer(QStringLiteral("text/uri-list"), uriList.arg(link).toUtf8());
        if (!plain.isEmpty())
            data.Offer(QStringLiteral("text/plain"),
                       (plain.contains(QLatin1String("%1")) ? plain.arg(link) : plain).toUtf8());
        drop(data);
        QCOMPARE(list().rowCount(), 1);
        QCOMPARE(list().text(0, TDownloadRows::UrlColumn), link);
        QCOMPARE(state().DownloadJobs.Job(1)->t_URL.get(), link);
        QVERIFY(waitIdle());
        QCOMPARE(list().item(0).caption, QStringLiteral("Dragged.mp3"));
    }

    void doubleClickCyclesAndOpens()
    {
        const QString link = m_sc->AddTrack({.name = "Cycle", .size = 900});
        state().MaxDownloads = 0; // nothing may start while we look
        addThroughDialog(link);
        QCOMPARE(status(0), int(JOB_QUEUED));
        doubleClick(0);
        QCOMPARE(status(0), int(JOB_STOPPED));
        QCOMPARE(list().item(0).imageIndex, int(JOB_STOPPED));
        doubleClick(0);
        QCOMPARE(status(0), int(JOB_QUEUED));
        QCOMPARE(list().item(0).imageIndex, int(JOB_QUEUED));
        state().MaxDownloads = 10;
        m_controller->Messages().Post(WM_START_JOBS);
        QVERIFY(waitIdle());
        QCOMPARE(status(0), int(JOB_FINISHED));
        const QString file = m_save->filePath(QStringLiteral("Cycle.mp3"));
        doubleClick(0);
        QCOMPARE(m_desktop.files, QStringList{file});
        QFile::remove(file);
        doubleClick(0);
        QCOMPARE(m_prompts.messages,
                 QStringList{QStringLiteral("Cannot find the downloaded file: ") + file});
    }

    void copyLinksAndOpenFolder()
    {
        state().MaxDownloads = 0;
        QStringList links;
        for (int i = 0; i < 3; ++i)
            links << m_sc->AddTrack({});
        addThroughDialog(links.join(QLatin1Char('\n')));
        // The toolbar's three commands above the list's own two, all enabled only while
        // rows are selected, as the toolbar's are.
        const QList<QAction*> popup = m_win->PopupMenu1->actions();
        QCOMPARE(popup.size(), 6);
        QCOMPARE(popup.mid(0, 3),
                 (QList<QAction*>{m_win->PMenuDownload, m_win->PMenuStop, m_win->PMenuDelete}));
        QVERIFY(popup[3]->isSeparator());
        QCOMPARE(popup.mid(4),
                 (QList<QAction*>{m_win->PMenuCopylinks, m_win->PMenuOpencontainedfolder}));
        QCOMPARE(m_win->PMenuDelete->text(), QStringLiteral("Delete Downloads"));
        const QList<QAction*> selectionActions{m_win->PMenuDownload,
                                               m_win->PMenuStop,
                                               m_win->PMenuDelete,
                                               m_win->PMenuCopylinks,
                                               m_win->PMenuOpencontainedfolder,
                                               m_win->ButtDownload,
                                               m_win->ButtStop,
                                               m_win->ButtDelete};
        m_win->PopupMenu1Popup();
        for (const QAction* a : selectionActions)
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(m_win->TButAdd->isEnabled() && m_win->PMenuBraeDelete->isEnabled());
        select({0, 1, 2});
        m_win->PopupMenu1Popup();
        for (const QAction* a : selectionActions)
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        // The popup's Stop is the Stop command: the first row is stopped, then resumed.
        select({0});
        m_win->PMenuStop->trigger();
        QCOMPARE(status(0), int(JOB_STOPPED));
        m_win->PMenuDownload->trigger();
        QCOMPARE(status(0), int(JOB_QUEUED));
        select({0, 1, 2});
        m_win->PMenuCopylinks->trigger();
        QCOMPARE(m_desktop.clipboard, links.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));

        select({0, 2});
        m_win->PMenuOpencontainedfolder->trigger();
        QCOMPARE(m_desktop.folders, QStringList{AppSettings().SaveToFolder()});
        select({1}); // no file yet: nothing opens
        m_win->PMenuOpencontainedfolder->trigger();
        QCOMPARE(m_desktop.folders.size(), 1);
        QVERIFY(m_desktop.revealed.isEmpty());
        // Stop the queued jobs so nothing is left waiting.
        select({0, 1, 2});
        m_win->ButtStop->trigger();
        for (int row = 0; row < 3; ++row)
            QCOMPARE(status(row), int(JOB_STOPPED));
    }

    void deleteRules()
    {
        const QString slow =
            m_sc->AddTrack({.name = "Slow", .size = 2000000, .pieceSize = 4096, .gap = 20ms});
        const QString quick = m_sc->AddTrack({.name = "Quick", .size = 300});
        addThroughDialog(quick);
        QVERIFY(waitIdle());
        addThroughDialog(slow);
        addThroughDialog(m_sc->AddTrack({}), false); // a stopped row
        QTRY_COMPARE(status(1), int(JOB_DOWNLOADING));

        m_controller->DownloadSelection().clearSelection();
        m_win->ButtDelete->trigger();
        QVERIFY(m_prompts.questions.isEmpty()); // nothing selected: no question

        select({0, 1, 2});
        m_prompts.answers = {false};
        m_win->PMenuBraeDelete->trigger();
        QCOMPARE(m_prompts.questions,
                 QStringList{"Are you sure you want to delete the selected downloads?"});
        QCOMPARE(list().rowCount(), 3);
        QCOMPARE(note(), QString());

        m_prompts.answers = {true};
        m_win->PMenuBraeDelete->trigger();
        QCOMPARE(list().rowCount(), 1); // the downloading row stays, and the status bar says why
        QCOMPARE(note(), QStringLiteral("Stop a running download before deleting it"));
        // Removing the selected rows leaves the one still selected: the commands stay usable.
        QVERIFY(m_win->ButtStop->isEnabled());
        QCOMPARE(list().text(0, TDownloadRows::UrlColumn), slow);
        QVERIFY(QFile::exists(m_save->filePath(QStringLiteral("Quick.mp3")))); // finished file kept
        QCOMPARE(state().DownloadJobs.Count(), 3);

        // A stop reaches a worker while it transfers (between its two requests it is ignored).
        const TDownloadJobs* job = state().DownloadJobs.Job(list().item(0).data);
        QTRY_VERIFY(job->t_GetData.load() == 1 && job->t_Received.load() > 0);
        select({0});
        m_win->PMenuBraeStop->trigger();
        QVERIFY(waitIdle());
        QCOMPARE(status(0), int(JOB_STOPPED));
        m_win->PMenuBraeDownload->trigger(); // resume
        QTRY_COMPARE(status(0), int(JOB_DOWNLOADING));
        m_win->ButtStop->trigger();
    }

    void closeQuestionOnlyWhileDownloading()
    {
        const QString slow =
            m_sc->AddTrack({.name = "Track 10", .size = 2000000, .pieceSize = 4096, .gap = 20ms});
        for (int i = 0; i < 10; ++i)
            addThroughDialog(i < 9 ? m_sc->AddTrack({.name = QStringLiteral("Track %1").arg(i + 1),
                                                     .size = 3000000,
                                                     .pieceSize = 8192,
                                                     .gap = 15ms})
                                   : slow);
        QTRY_COMPARE(state().RunningDownloads.load(), 10);
        const auto allTransferring = [this] {
            for (int row = 0; row < 10; ++row) {
                const TDownloadJobs* job = state().DownloadJobs.Job(list().item(row).data);
                if (job->t_GetData.load() != 1 || job->t_Received.load() == 0)
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(allTransferring(), 20000);
        QTest::qWait(300);
        m_controller->Messages().Drain();
        m_controller->Timer1Timer();
        qbtest::screenshot(m_win.get(), "downloading.png");

        m_prompts.answers = {false};
        QVERIFY(!m_win->close());
        QCOMPARE(m_prompts.questions, QStringList{"Downloads are still running. Exit anyway?"});
        QVERIFY(m_win->isVisible());

        select({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        m_win->ButtStop->trigger();
        QVERIFY(waitIdle());
        QVERIFY(m_win->close()); // nothing runs: no question
        QCOMPARE(m_prompts.questions.size(), 1);
    }

    // Several links in one drop: each acceptable one becomes a job, in the order given.
    void dropOfSeveralLinks_data()
    {
        QTest::addColumn<QString>("uriList"); // %1 %2 %3: three track links
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QStringList>("jobs"); // which of the three links became jobs
        QTest::newRow("URL list, three entries") << "%1\r\n# a comment\r\n%2\r\n%3\r\n"
                                                 << "" << QStringList{"%1", "%2", "%3"};
        QTest::newRow("URL list with another site's link") << "%1\r\nhttp://example.org/x\r\n%3"
                                                           << "" << QStringList{"%1", "%3"};
        QTest::newRow("plain text, one line") << ""
                                              << "%1 %2\t%3" << QStringList{"%1", "%2", "%3"};
        QTest::newRow("plain text, several lines, blanks around") << ""
                                                                  << "  %1\n\n%2  \r\n\t%3\n"
                                                                  << QStringList{"%1", "%2", "%3"};
        QTest::newRow("plain text with words between")
            << ""
            << "listen: %1 and %3 (new)" << QStringList{"%1", "%3"};
    }
    void dropOfSeveralLinks()
    {
        QFETCH(QString, uriList);
        QFETCH(QString, plain);
        QFETCH(QStringList, jobs);
        state().MaxDownloads = 0;
        const QStringList links{m_sc->AddTrack({}), m_sc->AddTrack({}), m_sc->AddTrack({})};
        TForeignDrag data;
        if (!uriList.isEmpty())
            data.Offer(QStringLiteral("text/uri-list"), fill(uriList, links).toUtf8());
        if (!plain.isEmpty())
            data.Offer(QStringLiteral("text/plain"), fill(plain, links).toUtf8());
        drop(data);
        QCOMPARE(urls(), fill(jobs, links));
        for (int row = 0; row < list().rowCount(); ++row)
            QCOMPARE(status(row), int(JOB_QUEUED));
    }

    // The add-links dialog takes several links on a line; after it closes the status bar
    // says how many lines it skipped, without a box to click away.
    void dialogLinesAndTheSkippedNote_data()
    {
        QTest::addColumn<QString>("text"); // %1 %2 %3: three track links
        QTest::addColumn<QStringList>("jobs");
        QTest::addColumn<QString>("expectedNote");
        QTest::newRow("three links on two lines, nothing skipped")
            << "%1 %2\n\n%3\n"
            << QStringList{"%1", "%2", "%3"} << "";
        QTest::newRow("another site and words: two lines skipped")
            << "%1\nhttp://example.org/a\n%2\tsee also\n\n%3" << QStringList{"%1", "%2", "%3"}
            << "2 lines skipped: not a SoundCloud or YouTube link";
        QTest::newRow("a link without a scheme: one line skipped")
            << "soundcloud.com/a/b\n%1" << QStringList{"%1"}
            << "1 line skipped: not a SoundCloud or YouTube link";
    }
    void dialogLinesAndTheSkippedNote()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, jobs);
        QFETCH(QString, expectedNote);
        state().MaxDownloads = 0;
        const QStringList links{m_sc->AddTrack({}), m_sc->AddTrack({}), m_sc->AddTrack({})};
        addThroughDialog(fill(text, links));
        QCOMPARE(urls(), fill(jobs, links));
        QCOMPARE(note(), expectedNote);
        QCOMPARE(m_prompts.messages, QStringList()); // no box
    }

    // Ctrl+V opens the dialog with the clipboard's links; Ctrl+Enter confirms it.
    void pasteSeveralLinksAndConfirmWithCtrlEnter()
    {
        state().MaxDownloads = 0;
        const QString a = m_sc->AddTrack({.name = "A"});
        const QString b = m_sc->AddTrack({.name = "B"});
        QApplication::clipboard()->setText(a + QStringLiteral(" ") + b +
                                           QStringLiteral("\nhttp://example.org/c\n"));
        QVERIFY(activate(m_win.get()));
        bool active = false;
        QString pasted;
        QTimer::singleShot(0, this, [&] {
            active = activate(m_add.get());
            pasted = m_add->Link->toPlainText();
            QTest::keyClick(m_add->Link, Qt::Key_Return, Qt::ControlModifier);

            if (m_add->isVisible())
                m_add->reject();
        });
        QTest::keyClick(m_win->DownloadList, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(active);
        QCOMPARE(pasted, a + QStringLiteral(" ") + b + QStringLiteral("\nhttp://example.org/c\n"));
        QCOMPARE(urls(), (QStringList{a, b}));
        QCOMPARE(note(), QStringLiteral("1 line skipped: not a SoundCloud or YouTube link"));
    }

    void keyboardShortcuts()
    {
        state().MaxDownloads = 0;
        QVERIFY(activate(m_win.get()));
        // Ctrl+N opens the add-links dialog.
        const QString link = m_sc->AddTrack({});
        bool active = false;
        QTimer::singleShot(0, this, [&] {
            active = activate(m_add.get());
            m_add->Link->setPlainText(link);
            QTest::keyClick(m_add->Link, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
            if (m_add->isVisible())
                m_add->reject();
        });
        QTest::keyClick(m_win.get(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(active);
        QCOMPARE(urls(), QStringList{link});
        QVERIFY(activate(m_win.get()));

        // Enter on the list does what a double-click does: the queued row stops, then
        // queues again.
        select({0});
        m_win->DownloadList->setFocus();
        QTest::keyClick(m_win->DownloadList, Qt::Key_Return);
        QCOMPARE(status(0), int(JOB_STOPPED));
        QTest::keyClick(m_win->DownloadList, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(status(0), int(JOB_QUEUED));
        QTest::keyClick(m_win->DownloadList, Qt::Key_Return);
        QCOMPARE(status(0), int(JOB_STOPPED));

        // Del deletes the selected rows through the question, on the download list only.
        m_win->PeopleList->setFocus();
        QTest::keyClick(m_win->PeopleList, Qt::Key_Delete);
        QVERIFY(m_prompts.questions.isEmpty());
        m_win->DownloadList->setFocus();
        m_prompts.answers = {true};
        QTest::keyClick(m_win->DownloadList, Qt::Key_Delete);
        QCOMPARE(m_prompts.questions,
                 QStringList{"Are you sure you want to delete the selected downloads?"});
        QCOMPARE(list().rowCount(), 0);

        // F1 opens the online help; Ctrl+Q closes the window.
        QTest::keyClick(m_win.get(), Qt::Key_F1);
        QCOMPARE(m_desktop.opened, QStringList{Hosts().makerPage("/support.htm")});
        QTest::keyClick(m_win.get(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!m_win->isVisible());
    }
};

QB_TEST(TestDownloadList, "gui");
#include "TestDownloadList.moc"
