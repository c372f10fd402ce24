#include "TOutputFile.h"

#include "base/FileCreation.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

class TDiskFile final : public TOutputFile
{
public:
    bool Open(int fd)
    {
        return m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    }

    QIODevice& Device() override { return m_file; }

    bool Finish() override
    {
        const bool flushed = m_file.flush();
        if (!flushed)
            m_error = m_file.errorString();
        // close() keeps an error of its own write-out or of the system's close.
        m_file.close();
        const bool ok = flushed && m_file.error() == QFileDevice::NoError;
        if (!ok && m_error.isEmpty())
            m_error = m_file.errorString();
        return ok;
    }

    QString ErrorString() override { return m_error.isEmpty() ? m_file.errorString() : m_error; }

private:
    QFile m_file;
    QString m_error;
};

} // namespace

QString TOutputFile::ErrorString()
{
    return Device().errorString();
}

std::unique_ptr<TOutputFile> TOutputFile::OnDescriptor(int fd)
{
    auto file = std::make_unique<TDiskFile>();
    if (!file->Open(fd)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

std::unique_ptr<TOutputFile> TOutputFile::Create(const QString& path, QString& error, bool* taken)
{
    // A NUL would end the name early, and the file would be another one.
    const int fd = path.contains(QChar(0)) ? (errno = EINVAL, -1)
                                           : CreateExclusive(QFile::encodeName(path).constData());
    const int cause = errno;
    if (taken)
        *taken = fd < 0 && cause == EEXIST;
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(cause));
        return nullptr;
    }
    auto file = OnDescriptor(fd);
    if (!file) {
        ::unlink(QFile::encodeName(path).constData());
        error = QStringLiteral("cannot write the file");
    }
    return file;
}
