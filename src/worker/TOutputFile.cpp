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
        // close() keeps an error of its own write-out or of the system's close.
        m_file.close();
        return flushed && m_file.error() == QFileDevice::NoError;
    }

private:
    QFile m_file;
};

} // namespace

std::unique_ptr<TOutputFile> TOutputFile::Open(const QString& path)
{
    auto file = std::make_unique<TDiskFile>(path);
    if (!file->Open())
        return nullptr;
    return file;
}
