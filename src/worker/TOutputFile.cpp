#include "TOutputFile.h"

#include <QFile>

namespace {

class TDiskFile final : public TOutputFile
{
public:
    explicit TDiskFile(const QString& path) : m_file(path) {}

    bool Open() { return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate); }

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

std::unique_ptr<TOutputFile> TOutputFile::Open(const QString& path)
{
    QString error;
    return Open(path, error);
}

std::unique_ptr<TOutputFile> TOutputFile::Open(const QString& path, QString& error)
{
    auto file = std::make_unique<TDiskFile>(path);
    if (!file->Open()) {
        error = file->ErrorString();
        return nullptr;
    }
    return file;
}
