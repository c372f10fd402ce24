#include "DesktopNotifier.h"

#include "language/LangStrings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

} // namespace

bool DesktopNotifier::Notify(const QString& summary, const QString& body)
{
    // No session bus to be found: nothing to ask, and no D-Bus machinery started for it.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() ||
         !QFileInfo::exists(QFile::decodeName(runtime) + QStringLiteral("/bus"))))
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                       kService, QStringLiteral("Notify"));
    // app name, replaces id, icon, summary, body, actions, hints, expiry (server default)
    call << QStringLiteral("Quillbrook") << uint(0) << QStringLiteral("io.quillbrook.Quillbrook")
         << summary << body << QStringList() << QVariantMap() << int(-1);
    // Sent without waiting for an answer: a slow or missing notification service must not
    // hold up the window. Without a service the bus answers with an error nobody reads.
    return bus.send(call);
}

QString DesktopNotifier::RunEndedText(int finished, int failed)
{
    return Lang("Msg1_35").arg(finished).arg(failed);
}
