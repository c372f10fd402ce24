#include "TestRegistry.h"

#include "app/WindowMessages.h"

#include <QTest>

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
};

QB_TEST(TestMessageQueue, "unit");
#include "TestMessageQueue.moc"
