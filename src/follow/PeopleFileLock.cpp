#include "PeopleFileLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace {

const QString kCliName = QStringLiteral("quillbrook-cli");

} // namespace

QString LockHolderText(const QLockFile& lock)
{
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock.getLockInfo(&pid, &host, &app))
        return {};
    const QString name = app == kCliName ? kCliName : QStringLiteral("Quillbrook");
    return QStringLiteral("%1 (process %2)").arg(name).arg(pid);
}

PeopleFileLock::PeopleFileLock(const QString& peopleFile)
    : m_path(peopleFile + QStringLiteral(".lock"))
{
}

PeopleFileLock::~PeopleFileLock() = default;

bool PeopleFileLock::tryLock()
{
    m_heldByOther = false;
    m_holderIsCli = false;
    m_holderPid = 0;
    m_refusal.clear();
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_refusal = QStringLiteral("The followed users cannot be locked: cannot create the "
                                   "folder %1.")
                        .arg(folder);
        return false;
    }
    m_lock = std::make_unique<QLockFile>(m_path);
    // No age limit: only a lock whose owner has died is stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    // Something else in the lock's place (a folder, a link to one) is never a holder.
    const QFileInfo existing(m_path);
    const bool notALockFile = existing.exists() && (!existing.isFile() || existing.isSymLink());
    switch (notALockFile ? QLockFile::UnknownError : m_lock->error()) {
    case QLockFile::LockFailedError: {
        m_heldByOther = true;
        QString host;
        QString app;
        m_lock->getLockInfo(&m_holderPid, &host, &app);
        m_holderIsCli = app == kCliName;
        const QString holder = LockHolderText(*m_lock);
        m_refusal = QStringLiteral("The followed users are in use by %1.")
                        .arg(holder.isEmpty() ? QStringLiteral("another process") : holder);
        break;
    }
    case QLockFile::PermissionError:
        m_refusal = QStringLiteral("The followed users cannot be locked: no permission to "
                                   "create %1.")
                        .arg(m_path);
        break;
    default:
        m_refusal = QStringLiteral("The followed users cannot be locked: %1 cannot be created "
                                   "or read as a lock file.")
                        .arg(m_path);
        break;
    }
    return false;
}
