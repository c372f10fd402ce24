#include "TFFDecoder.h"

#include "AVApi.h"
#include "TAVLibrary.h"

#include <QFile>

void TFFDecoder::TCloser::operator()(AVFormatContext* context) const
{
    TInputCloser()(context);
}

TFFDecoder::TFFDecoder() = default;

TFFDecoder::~TFFDecoder() = default;

bool TFFDecoder::LoadFile(const QString& fileName, const QString& formatName)
{
    CloseFile();
    if (!TAVLibrary::Loaded()) {
        m_lastError = QStringLiteral("The FFmpeg libraries are not loaded");
        return false;
    }
    std::string error;
    TInputPtr input = OpenMediaInput(QFile::encodeName(fileName).toStdString(),
                                     formatName.toStdString(), nullptr, error);
    if (!input) {
        m_lastError = QString::fromStdString(error);
        return false;
    }
    m_input.reset(input.release());
    m_fileName = fileName;
    m_lastError.clear();
    return true;
}

void TFFDecoder::CloseFile()
{
    m_input.reset();
    m_fileName.clear();
}

qint64 TFFDecoder::Duration() const
{
    return m_input && m_input->duration > 0 ? m_input->duration : 0;
}
