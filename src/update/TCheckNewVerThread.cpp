#include "TCheckNewVerThread.h"

#include "VersionNumber.h"
#include "base/IniFile.h"
#include "base/ProgramVersion.h"
#include "base/ThreadRegistry.h"
#include "net/EHttpException.h"
#include "net/THttpCli.h"
#include "worker/GuardedRequest.h"

#include <QDir>
#include <QTemporaryFile>

namespace {

QString deepCopy(const QString& s)
{
    return QString(s.unicode(), s.size());
}

TVersionOutcome failed(const QString& reason)
{
    return {TVersionOutcome::Failed, {}, reason};
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
    // A file of this check's own, created exclusively (unnamed where the system allows): a
    // link or file planted under any name in the data folder is never written through, and
    // nothing is left when it is closed.
    QTemporaryFile file(request.dataDir + QStringLiteral("ver-XXXXXX.ini"));
    if (!file.open())
        return failed(QStringLiteral("cannot create a file in %1: %2")
                          .arg(request.dataDir, file.errorString()));

    qint64 received = 0;
    bool oversized = false;
    // The reply's own status, kept from its header: a later failure replaces the client's.
    int status = 0;
    QString reason;
    THttpCli client;
    client.SetMultiThreaded(true);
    client.SetURL(request.url);
    client.SetTimeout(static_cast<unsigned>(std::max<long long>(1, request.idleTimeout.count())));
    client.SetRcvdStream(&file);
    // A deadline or a stop that came before the client was reachable ends it here.
    client.OnCommand = [&shared](THttpCli& c, QString&) {
        if (shared.deadlinePassed.load() || shared.stopped.load())
            c.Abort();
    };
    client.OnHeaderEnd = [&](THttpCli& c) {
        if (c.Relocating())
            return;
        status = c.StatusCode();
        reason = c.ReasonPhrase();
    };
    client.OnDocData = [&](THttpCli& c, const char*, int len) {
        received += len;
        if (received > kReplyCap && !oversized) {
            oversized = true;
            c.Abort();
        }
    };
    TRequestFailure failure;
    const bool returned = !shared.deadlinePassed.load() && !shared.stopped.load() &&
                          GuardedGet(shared.request, client, failure);
    client.SetRcvdStream(nullptr);
    const bool written = file.flush() && file.error() == QFileDevice::NoError;
    // The disk's fault shows as a failed request or at the last write-out.
    QString writeError;
    if (failure.code == httperrStreamWrite || !written)
        writeError = file.error() != QFileDevice::NoError ? file.errorString() : failure.message;

    TVersionOutcome outcome;
    if (shared.stopped.load()) {
        outcome = failed(QStringLiteral("the check was stopped"));
    } else if (shared.deadlinePassed.load()) {
        outcome = failed(QStringLiteral("no answer in time"));
    } else if (oversized) {
        outcome = failed(QStringLiteral("the reply is larger than %1 KiB").arg(kReplyCap / 1024));
    } else if (!writeError.isEmpty()) {
        // The disk's fault, not the server's: the client reports it as a failed request.
        outcome = failed(
            QStringLiteral("cannot save the reply in %1: %2").arg(request.dataDir, writeError));
    } else if (client.TooManyRelocations()) {
        outcome = failed(QStringLiteral("too many redirects (more than %1)")
                             .arg(client.LocationChangeMaxCount()));
    } else if (const QString error = client.ResponseError(); !error.isEmpty()) {
        outcome = failed(QStringLiteral("the reply cannot be read: %1").arg(error));
    } else if (status != 0 && status != 200) {
        outcome = failed(QStringLiteral("the server answered %1 %2").arg(status).arg(reason));
    } else if (!returned || status == 0) {
        outcome =
            failed(failure.message.isEmpty() ? QStringLiteral("no connection") : failure.message);
    } else if (client.Chunked()
                   ? !client.ResponseComplete()
                   : client.ContentLength() >= 0 && client.ContentLength() != received) {
        outcome = failed(QStringLiteral("the reply ended early"));
    } else {
        // Read back through the open file: it never needs a name in the folder.
        file.seek(0);
        const QString version = IniFile::parse(file.read(kReplyCap))
                                    .value(QStringLiteral("Quillbrook"), QStringLiteral("ver"));
        if (!IsVersionText(version))
            outcome = failed(QStringLiteral("the reply holds no valid version"));
        else if (CompareVersions(version, ProgramVersion()) > 0)
            outcome = {TVersionOutcome::Newer, version, {}};
        else
            outcome = {TVersionOutcome::Latest, version, {}};
    }
    return outcome;
}
