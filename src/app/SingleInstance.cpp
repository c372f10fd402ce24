#include "SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockFilePath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/Quillbrook.lock");
}

bool SingleInstance::tryAcquire()
{
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // No age limit: only a lock whose owner has died is stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    // Anything but "another copy holds it" lets start-up go on, as an abandoned lock does.
    return m_lock->error() != QLockFile::LockFailedError;
}
