#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps two processes from changing "followuser.xml" at once: the window holds it for its
// whole run, a quillbrook-cli follow or check command while it works. It lives beside the
// file, so every process that uses the file meets it whatever its runtime folder. A lock
// left by a dead process counts as free.
class PeopleFileLock
{
public:
    explicit PeopleFileLock(const QString& peopleFile);
    ~PeopleFileLock();
    PeopleFileLock(const PeopleFileLock&) = delete;
    PeopleFileLock& operator=(const PeopleFileLock&) = delete;

    // True when this process now holds the lock. False when it could not be taken for any
    // reason: the change must not go on.
    bool tryLock();
    // After a failed tryLock: whether another process holds the lock, and which.
    bool HeldByOther() const { return m_heldByOther; }
    bool HeldByCli() const { return m_heldByOther && m_holderIsCli; }
    qint64 HolderPid() const { return m_holderPid; }
    // After a failed tryLock: why, as one sentence.
    const QString& Refusal() const { return m_refusal; }

    const QString& Path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_heldByOther = false;
    bool m_holderIsCli = false;
    qint64 m_holderPid = 0;
    QString m_refusal;
};

// Who holds a lock file, for messages: "quillbrook-cli (process 123)"; empty when unknown.
QString LockHolderText(const QLockFile& lock);
