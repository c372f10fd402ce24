#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>

// Request error numbers carried by EHttpException::ErrorCode when no HTTP status applies.
enum THttpRequestError : std::uint16_t
{
    httperrBusy = 1,
    httperrAborted = 3,
    httperrTimeout = 8,
    httperrNoStatusCode = 9,
    httperrStreamWrite = 10,
};

// Raised by THttpCli::Get: a message and either a request error number or an HTTP status.
class EHttpException : public std::exception
{
public:
    EHttpException(const QString& message, std::uint16_t errorCode);

    const QString& Message() const { return m_message; }
    std::uint16_t ErrorCode() const { return m_errorCode; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
    std::uint16_t m_errorCode;
};
