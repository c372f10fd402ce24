#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The records that describe a conversion task and report on it.

using TPathFileName = QString;

// The input side of a task.
struct TInputOptions
{
    TPathFileName FileName;
    QByteArray Options; // command-line syntax, each option preceded by a blank
    QByteArray Presets;
    std::int32_t Tag = 0;
    void* Data = nullptr;
};

// The output side of a task.
struct TOutputOptions
{
    TPathFileName FileName;
    QByteArray Options;
    QByteArray Presets;
    bool AudioInputHook = false;
    bool AudioOutputHook = false;
    bool VideoInputHook = false;
    bool VideoOutputHook = false;
    std::int32_t VideoHookBitsPixel = 32;
    bool FrameInputHook = false;
    bool FrameOutputHook = false;
    bool Join = false;
    std::int32_t Tag = 0;
    void* Data = nullptr;
};

// Resets a record to empty texts, Tag 0 and Data null (and, for the output, no hooks and
// 32 bits per pixel).
void InitInputOptions(TInputOptions* options);
void InitOutputOptions(TOutputOptions* options);

struct TProgressInfo
{
    std::int32_t TaskIndex = 0;
    std::int32_t FileIndex = 0;
    std::int32_t FrameNumber = 0; // output frames encoded so far
    std::int32_t FPS = 0;         // output frames per second of wall time
    float Quality = 0;
    float BitRate = 0;                // kbit/s of the output so far
    std::int64_t CurrentSize = 0;     // bytes of output written so far
    std::int64_t CurrentDuration = 0; // output time reached, microseconds
    std::int64_t TotalDuration = 0;   // input length, microseconds; 0 when unknown
};
using PProgressInfo = TProgressInfo*;

struct TTerminateInfo
{
    std::int32_t TaskIndex = 0;
    bool Finished = false;
    bool Exception = false;
    QString ExceptionMsg;
};
