#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

} // namespace

bool DesktopNotifier::Notify(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> registered = bus.interface()->isServiceRegistered(kService);
    if (!registered.isValid() || !registered.value())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                       kService, QStringLiteral("Notify"));
    // app name, replaces id, icon, summary, body, actions, hints, expiry (server default)
    call << QStringLiteral("Quillbrook") << uint(0) << QStringLiteral("io.quillbrook.Quillbrook")
         << summary << body << QStringList() << QVariantMap() << int(-1);
    return bus.send(call);
}

QString DesktopNotifier::RunEndedText(int finished, int failed)
{
    return QStringLiteral("%1 finished, %2 failed").arg(finished).arg(failed);
}
