#include "AppActivation.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QThread>

const char* const AppActivation::ServiceName = "io.quillbrook.Quillbrook";
const char* const AppActivation::ObjectPath = "/io/quillbrook/Quillbrook";

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

// How long a second start keeps trying to reach a copy that holds the lock but may not have
// taken its bus name yet.
constexpr int kHandOverMs = 4000;

} // namespace

AppActivation::AppActivation(LinksHandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

AppActivation::~AppActivation()
{
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QLatin1String(ObjectPath));
    bus.unregisterService(QLatin1String(ServiceName));
}

bool AppActivation::Register()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(QLatin1String(ObjectPath), this, QDBusConnection::ExportAllSlots))
        return false;
    if (!bus.registerService(QLatin1String(ServiceName))) {
        bus.unregisterObject(QLatin1String(ObjectPath));
        return false;
    }
    m_registered = true;
    return true;
}

void AppActivation::Activate(const QVariantMap&)
{
    m_handler({});
}

void AppActivation::Open(const QStringList& uris, const QVariantMap&)
{
    m_handler(uris);
}

void AppActivation::ActivateAction(const QString&, const QVariantList&, const QVariantMap&)
{
    // The program declares no actions; being asked for one still brings the window up.
    m_handler({});
}

bool AppActivation::HandOver(const QStringList& links, QString* reason)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *reason = bus.lastError().message();
        if (reason->isEmpty())
            *reason = QStringLiteral("no session bus");
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(ServiceName), QLatin1String(ObjectPath), kInterface,
        links.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    if (links.isEmpty())
        call << QVariantMap();
    else
        call << links << QVariantMap();
    // Only a copy that has taken its name gets the call (the bus must not start one); one
    // call only, so the links never arrive twice.
    const QDeadlineTimer deadline(kHandOverMs);
    while (!bus.interface()->isServiceRegistered(QLatin1String(ServiceName))) {
        if (deadline.hasExpired()) {
            *reason = QStringLiteral("the running copy does not answer on the session bus");
            return false;
        }
        QThread::msleep(100);
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, kHandOverMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    *reason = reply.errorMessage();
    return false;
}
