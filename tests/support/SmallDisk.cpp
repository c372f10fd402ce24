#include "SmallDisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace qbtest {

SmallDisk::SmallDisk(const QString& at, qint64 bytes) : m_path(at.isEmpty() ? m_fresh.path() : at)
{
    QDir().mkpath(m_path);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.constData()) != 0) {
        m_reason = QStringLiteral("cannot mount a tmpfs on %1: %2")
                       .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted && ::umount2(QFile::encodeName(m_path).constData(), 0) != 0)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
}

bool SmallDisk::fill(qint64 keepFree)
{
    struct statvfs disk = {};
    if (!m_mounted || ::statvfs(QFile::encodeName(m_path).constData(), &disk) != 0)
        return false;
    const qint64 free = qint64(disk.f_bavail) * qint64(disk.f_frsize);
    QFile filler(m_path + QStringLiteral("/.filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray block(int(disk.f_frsize), 'x');
    for (qint64 left = free - keepFree; left > 0; left -= block.size())
        if (filler.write(block) != block.size())
            break;
    filler.close();
    return ::statvfs(QFile::encodeName(m_path).constData(), &disk) == 0 &&
           qint64(disk.f_bavail) * qint64(disk.f_frsize) <= keepFree;
}

} // namespace qbtest
