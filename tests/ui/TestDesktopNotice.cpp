#include "TestRegistry.h"

#include "language/LangStrings.h"
#include "ui/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QScopeGuard>
#include <QTest>
#include <QVariantMap>

namespace {

// A notification service as desktops run one, recording what it was asked to show.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList shown;

public Q_SLOTS:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int)
    {
        shown.append(appName + QLatin1String(": ") + summary + QLatin1String(" / ") + body);
        return uint(shown.size());
    }
};

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

// The notice at the end of a run reaches the desktop's notification service; without one,
// nothing is shown and nothing waits. Runs only on a private bus (the ctest entry ui_dbus).
class TestDesktopNotice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariable("QB_PRIVATE_BUS") != QLatin1String("1"))
            QSKIP("needs a private session bus (the ctest entry ui_dbus runs it on one)");
        LoadDefaultLanguage();
    }

    void noticeReachesTheService()
    {
        FakeNotifications service;
        QDBusConnection bus = QDBusConnection::sessionBus();
        const auto unregister = qScopeGuard([&bus] {
            bus.unregisterService(kService);
            bus.unregisterObject(kPath);
        });
        QVERIFY(bus.registerObject(kPath, &service, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(kService));

        QVERIFY(DesktopNotifier::Notify(QStringLiteral("Downloads ended"),
                                        DesktopNotifier::RunEndedText(3, 1)));
        QTRY_COMPARE(service.shown, QStringList{QStringLiteral(
                                        "Quillbrook: Downloads ended / 3 finished, 1 failed")});
    }

    void noServiceShowsNothing()
    {
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value());
        // Sent into the void: the bus's error answer is not waited for.
        QVERIFY(DesktopNotifier::Notify(QStringLiteral("Downloads ended"), QString()));
    }
};

QB_TEST(TestDesktopNotice, "dbus");
#include "TestDesktopNotice.moc"
