#pragma once

#include <QString>

class TFFDecoder;
struct TInputOptions;
struct TOutputOptions;

// The conversion settings and the option builder: turns them into the input and output
// records of one encoder task. The settings keep the values of every conversion; the driver
// sets the format, the audio bit rate and the output folder, attaches the decoder that has the
// file open, then calls BuildOutputOptions and BuildInputOptions. GUI thread only.
class TfrmOption
{
public:
    QString grpFormats = QStringLiteral("MP3");      // target format
    QString edtAudioBitRate = QStringLiteral("128"); // kbit/s
    QString edtVideoBitRate = QStringLiteral("200"); // kbit/s
    QString edtOutPath; // output folder ending in "/"; empty: the input's folder
    bool chkOverwrite = false;

    void AttachDecoder(TFFDecoder* decoder) { FDecoder = decoder; }

    // " -b:a <audio>k -b:v <video>k -sn" and the output file's name.
    void BuildOutputOptions(TOutputOptions* options) const;
    // The decoder's file and, for an audio target, " -vn".
    void BuildInputOptions(TInputOptions* options) const;

private:
    bool AudioTarget() const;

    TFFDecoder* FDecoder = nullptr; // not owned
};

// The program's one settings object, made on first use and kept until the end (GUI thread).
TfrmOption& frmOption();
