#pragma once

#include <QByteArray>
#include <QIODevice>

// A device that fails as a full disk or a broken medium does: writes beyond writeLimit
// bytes fail ("No space left on device"), reads beyond readLimit bytes of the given data
// fail ("Input/output error"). A limit below zero never fails.
class FailDevice : public QIODevice
{
public:
    explicit FailDevice(qint64 writeLimit, qint64 readLimit = -1, QByteArray readable = {});

    // What was written so far.
    const QByteArray& written() const { return m_written; }

    // Makes close() fail as a file does when its buffered bytes cannot be written out at
    // the end (a full disk): every write succeeds, the close reports "No space left on
    // device" through closeFailed() and errorString().
    void setFailAtClose(bool fail) { m_failAtClose = fail; }
    bool closeFailed() const { return m_closeFailed; }
    void close() override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 len) override;

private:
    qint64 m_writeLimit;
    qint64 m_readLimit;
    QByteArray m_readable;
    qint64 m_readPos = 0;
    QByteArray m_written;
    bool m_failAtClose = false;
    bool m_closeFailed = false;
};
