#include "EHttpException.h"

EHttpException::EHttpException(const QString& message, std::uint16_t errorCode)
    : m_message(message), m_what(message.toUtf8()), m_errorCode(errorCode)
{
}
