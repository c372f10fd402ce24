#include "FailDevice.h"

#include <algorithm>
#include <cstring>

FailDevice::FailDevice(qint64 writeLimit, qint64 readLimit, QByteArray readable)
    : m_writeLimit(writeLimit), m_readLimit(readLimit), m_readable(std::move(readable))
{
    open(m_readable.isEmpty() ? QIODevice::WriteOnly : QIODevice::ReadWrite);
}

qint64 FailDevice::readData(char* data, qint64 maxSize)
{
    if (m_readLimit >= 0 && m_readPos >= m_readLimit) {
        setErrorString(QStringLiteral("Input/output error"));
        return -1;
    }
    qint64 n = std::min<qint64>(maxSize, m_readable.size() - m_readPos);
    if (m_readLimit >= 0)
        n = std::min(n, m_readLimit - m_readPos);
    if (n <= 0)
        return m_readPos >= m_readable.size() ? -1 : 0;
    std::memcpy(data, m_readable.constData() + m_readPos, static_cast<size_t>(n));
    m_readPos += n;
    return n;
}

qint64 FailDevice::writeData(const char* data, qint64 len)
{
    if (m_writeLimit >= 0 && m_written.size() + len > m_writeLimit) {
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }
    m_written.append(data, len);
    return len;
}

void FailDevice::close()
{
    if (isOpen() && m_failAtClose) {
        m_closeFailed = true;
        setErrorString(QStringLiteral("No space left on device"));
    }
    QIODevice::close();
}
