#include "TestRegistry.h"

#include "base/ThreadRegistry.h"

#include <QTest>

#include <condition_variable>
#include <memory>
#include <mutex>

class TestThreadRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A thread counts from its start until its body and captures are gone.
    void countsLiveThreads()
    {
        const int before = ThreadRegistry::LiveCount();
        std::mutex mutex;
        std::condition_variable cv;
        bool release = false;
        auto captured = std::make_shared<int>(1);
        std::weak_ptr<int> watch = captured;
        for (int i = 0; i < 3; ++i) {
            ThreadRegistry::Start([&, captured] {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] { return release; });
            });
        }
        captured.reset();
        QCOMPARE(ThreadRegistry::LiveCount(), before + 3);
        {
            std::lock_guard lock(mutex);
            release = true;
        }
        cv.notify_all();
        QTRY_COMPARE(ThreadRegistry::LiveCount(), before);
        QVERIFY(watch.expired());
    }
};

QB_TEST(TestThreadRegistry, "unit");
#include "TestThreadRegistry.moc"
