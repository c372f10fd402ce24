#pragma once

#include "TFFBaseComponent.h"

#include <QString>

#include <memory>

struct AVFormatContext;

// Opens one input file and describes it.
class TFFDecoder : public TFFBaseComponent
{
public:
    TFFDecoder();
    ~TFFDecoder() override;

    // Opens and probes the file (formatName empty: detect the format). False when the
    // libraries are not loaded or the file cannot be opened or read; LastErrMsg says why.
    bool LoadFile(const QString& fileName, const QString& formatName = {});
    void CloseFile();

    // The opened file's name; empty while closed.
    QString FileName() const { return m_fileName; }
    bool IsOpen() const { return m_input != nullptr; }
    // Length of the opened input in microseconds; 0 when it carries none.
    qint64 Duration() const;
    QString LastErrMsg() const { return m_lastError; }

private:
    struct TCloser
    {
        void operator()(AVFormatContext* context) const;
    };

    std::unique_ptr<AVFormatContext, TCloser> m_input;
    QString m_fileName;
    QString m_lastError;
};
