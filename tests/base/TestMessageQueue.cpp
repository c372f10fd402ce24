#include "TestRegistry.h"

#include "base/TMessageQueue.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <stdexcept>

#include <atomic>
#include <thread>
#include <vector>

class TestMessageQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void postedMessagesRunInOrderOnTheGuiThread()
    {
        TMessageQueue queue;
        std::vector<int> seen;
        const auto gui = std::this_thread::get_id();
        bool allOnGui = true;
        queue.SetHandler(WM_RESUME_JOB, [&](int w) {
            allOnGui = allOnGui && std::this_thread::get_id() == gui;
            seen.push_back(w);
        });
        std::thread worker([&] {
            for (int i = 1; i <= 50; ++i)
                queue.Post(WM_RESUME_JOB, i);
        });
        worker.join();
        queue.Post(WM_STOP_JOB, 7); // no handler: dropped
        QTRY_COMPARE(seen.size(), size_t(50));
        for (int i = 0; i < 50; ++i)
            QCOMPARE(seen[size_t(i)], i + 1);
        QVERIFY(allOnGui);
    }

    void sendWaitsUntilTheHandlerHasRun()
    {
        TMessageQueue queue;
        int state = 0; // written by the handler on the GUI thread, read by the worker after Send
        queue.SetHandler(WM_START_JOBS, [&](int) { state = 42; });
        std::atomic<bool> returned{false};
        int seenByWorker = 0;
        std::thread worker([&] {
            queue.Send(WM_START_JOBS);
            seenByWorker = state;
            returned = true;
        });
        QTRY_VERIFY(returned.load());
        worker.join();
        QCOMPARE(seenByWorker, 42);
    }

    void sendOnTheGuiThreadIsADirectCall()
    {
        TMessageQueue queue;
        int calls = 0;
        queue.SetHandler(WM_START_JOBS, [&](int w) { calls += w; });
        queue.Send(WM_START_JOBS, 3);
        QCOMPARE(calls, 3);
    }

    void handlerMayPostMore()
    {
        TMessageQueue queue;
        int runs = 0;
        queue.SetHandler(WM_START_JOBS, [&](int w) {
            ++runs;
            if (w < 3)
                queue.Post(WM_START_JOBS, w + 1);
        });
        queue.Post(WM_START_JOBS, 1);
        QTRY_COMPARE(runs, 3);
    }

    // A handler that shows a modal box runs a nested event loop; a worker's send and later
    // posts are handled meanwhile, not after the box is closed.
    void nestedEventLoopKeepsTheQueueRunning()
    {
        TMessageQueue queue;
        std::atomic<bool> sendReturned{false};
        bool sendReturnedDuringBox = false;
        bool postRanDuringBox = false;
        bool inBox = false;
        std::thread worker;
        queue.SetHandler(WM_CHECK_VERSION, [&](int) {
            inBox = true;
            worker = std::thread([&] {
                queue.SendTask([] {});
                sendReturned = true;
                queue.Post(WM_START_JOBS);
            });
            QEventLoop box;
            QTimer::singleShot(1000, &box, &QEventLoop::quit);
            box.exec();
            sendReturnedDuringBox = sendReturned.load();
            inBox = false;
        });
        queue.SetHandler(WM_START_JOBS, [&](int) { postRanDuringBox = inBox; });
        queue.Post(WM_CHECK_VERSION);
        QTRY_VERIFY(sendReturned.load());
        QTRY_VERIFY(!inBox);
        worker.join();
        QVERIFY(sendReturnedDuringBox);
        QVERIFY(postRanDuringBox);
    }

    // A throwing handler neither strands its sender nor stops the messages after it.
    void throwingHandlerReleasesTheSenderAndIsReported()
    {
        TMessageQueue queue;
        QStringList reported;
        queue.SetErrorReporter([&](const QString& e) { reported.append(e); });
        int after = 0;
        queue.SetHandler(WM_STOP_JOB, [](int) { throw std::runtime_error("disk gone"); });
        queue.SetHandler(WM_RESUME_JOB, [&](int) { ++after; });
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            queue.Send(WM_STOP_JOB);
            queue.Post(WM_RESUME_JOB);
            returned = true;
        });
        QTRY_VERIFY(returned.load());
        worker.join();
        QTRY_COMPARE(after, 1);
        QCOMPARE(reported, QStringList{QStringLiteral("disk gone")});
    }
};

QB_TEST(TestMessageQueue, "unit");
#include "TestMessageQueue.moc"
