#include "TCheckNewVerThread.h"

#include "VersionNumber.h"
#include "base/IniFile.h"
#include "base/ProgramVersion.h"
#include "base/ThreadRegistry.h"
#include "net/THttpCli.h"
#include "worker/GuardedRequest.h"

#include <QDir>
#include <QFile>

namespace {

QString deepCopy(const QString& s)
{
    return QString(s.unicode(), s.size());
}

TVersionOutcome failed(const QString& reason)
{
    return {TVersionOutcome::Failed, {}, reason};
}

// Why a request that did not bring a 200 reply failed, as a person would say it.
QString requestFailure(const THttpCli& client)
{
    if (!client.RcvdHeader().isEmpty())
        return QStringLiteral("the server answered %1 %2")
            .arg(client.StatusCode())
            .arg(client.ReasonPhrase());
    const QString reason = client.ReasonPhrase();
    return reason.isEmpty() ? QStringLiteral("no connection") : reason;
}

} // namespace

void TCheckNewVerThread::TShared::Deliver(TVersionOutcome outcome)
{
    std::lock_guard lock(m_mutex);
    if (m_receiver) {
        auto receiver = std::move(m_receiver);
        m_receiver = nullptr;
        receiver(std::move(outcome));
    }
}

void TCheckNewVerThread::TShared::SetReceiver(std::function<void(TVersionOutcome)> receiver)
{
    std::lock_guard lock(m_mutex);
    m_receiver = std::move(receiver);
}

void TCheckNewVerThread::TShared::Detach()
{
    std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

void TCheckNewVerThread::Start(std::shared_ptr<TShared> shared, const TRequest& request)
{
    TRequest copy{deepCopy(request.url), deepCopy(request.dataDir), request.idleTimeout};
    ThreadRegistry::Start([shared = std::move(shared), copy = std::move(copy)] {
        TVersionOutcome outcome = Execute(*shared, copy);
        shared->Deliver(std::move(outcome));
        shared->MarkEnded();
    });
}

TVersionOutcome TCheckNewVerThread::Execute(TShared& shared, const TRequest& request)
{
    if (!QDir().mkpath(request.dataDir))
        return failed(QStringLiteral("cannot create the folder %1").arg(request.dataDir));
    const QString localCopy = request.dataDir + QStringLiteral("ver.ini");
    auto file = std::make_unique<QFile>(localCopy);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString error = file->errorString();
        file.reset();
        QFile::remove(localCopy);
        return failed(QStringLiteral("cannot write %1: %2").arg(localCopy, error));
    }

    qint64 received = 0;
    bool oversized = false;
    THttpCli client;
    client.SetMultiThreaded(true);
    client.SetURL(request.url);
    client.SetTimeout(static_cast<unsigned>(std::max<long long>(1, request.idleTimeout.count())));
    client.SetRcvdStream(file.get());
    // A deadline or a stop that came before the client was reachable ends it here.
    client.OnCommand = [&shared](THttpCli& c, QString&) {
        if (shared.deadlinePassed.load() || shared.stopped.load())
            c.Abort();
    };
    client.OnHeaderData = [](THttpCli&) {
    };
    client.OnDocData = [&](THttpCli& c, const char*, int len) {
        received += len;
        if (received > kReplyCap && !oversized) {
            oversized = true;
            c.Abort();
        }
    };
    const bool returned = !shared.deadlinePassed.load() && !shared.stopped.load() &&
                          GuardedGet(shared.request, client);
    client.SetRcvdStream(nullptr);
    const bool written = file->flush() && file->error() == QFileDevice::NoError;
    file.reset();

    TVersionOutcome outcome;
    if (shared.stopped.load()) {
        outcome = failed(QStringLiteral("the check was stopped"));
    } else if (shared.deadlinePassed.load()) {
        outcome = failed(QStringLiteral("no answer in time"));
    } else if (oversized) {
        outcome = failed(QStringLiteral("the reply is larger than %1 KiB").arg(kReplyCap / 1024));
    } else if (!returned || client.StatusCode() != 200) {
        outcome = failed(requestFailure(client));
    } else if (client.ContentLength() >= 0 && client.ContentLength() != received) {
        outcome = failed(QStringLiteral("the reply ended early"));
    } else if (!written) {
        outcome = failed(QStringLiteral("cannot write %1").arg(localCopy));
    } else {
        const QString version =
            IniFile::load(localCopy).value(QStringLiteral("Quillbrook"), QStringLiteral("ver"));
        if (!IsVersionText(version))
            outcome = failed(QStringLiteral("the reply holds no valid version"));
        else if (CompareVersions(version, ProgramVersion()) > 0)
            outcome = {TVersionOutcome::Newer, version, {}};
        else
            outcome = {TVersionOutcome::Latest, version, {}};
    }
    QFile::remove(localCopy);
    return outcome;
}
