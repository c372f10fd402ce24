#pragma once

#include <QString>
#include <QTemporaryDir>

namespace qbtest {

// A small real tmpfs, for what a full disk does to our saves. Mounted on `at` (created when
// missing) or on a fresh temporary folder, and unmounted when the object goes. Mounting
// needs root (as in CI); without it isMounted() is false and reason() says why.
class SmallDisk
{
public:
    explicit SmallDisk(const QString& at = {}, qint64 bytes = 256 * 1024);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    const QString& reason() const { return m_reason; }
    const QString& path() const { return m_path; }

    // Fills the disk with a file of its own until at most keepFree bytes are free.
    bool fill(qint64 keepFree = 0);

private:
    QTemporaryDir m_fresh;
    QString m_path;
    bool m_mounted = false;
    QString m_reason;
};

} // namespace qbtest
