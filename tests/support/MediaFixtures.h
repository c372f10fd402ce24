#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qbtest {

// The LibAV folder the build puts next to the test executables.
QString libAVFolder();

// Runs the ffmpeg command (quiet, never asking) with args; with stdoutFile set its standard
// output goes there. False when it fails; its error output is shown.
bool runFfmpeg(const QStringList& args, const QString& stdoutFile = {});

// Makes a small media file with the ffmpeg command in folder and returns its path (empty on
// failure). Kinds:
//   "mp4"       3 s, H.264 + AAC stereo at 44.1 kHz
//   "webm"      3 s, VP8 + Vorbis stereo at 48 kHz, written as a stream: no duration
//   "mono"      3 s, 16-bit PCM mono at 22.05 kHz in WAV
//   "surround"  3 s, FLAC 5.1 at 96 kHz in Matroska
//   "loud"      2 s, 32-bit float PCM mono at 44.1 kHz in WAV, noise of absurd amplitude as
//               damaged input decodes to
//   "video"     2 s, H.264 without audio
//   "html"      an HTML page named like a video
//   "playlist"  a live HLS playlist pointing at the network, named like a video
//   "long"      5 min, 16-bit PCM mono at 44.1 kHz in WAV
QString makeMedia(const QString& folder, const QString& kind);

// What the ffmpeg tools say about the first audio stream of a file, and how long it is when
// decoded to the end.
struct AudioProbe
{
    QString codec;
    int sampleRate = 0;
    int channels = 0;
    qint64 bitRate = 0;
    double decodedSeconds = -1;
    bool containerHasDuration = false;
};
AudioProbe probeAudio(const QString& path);

} // namespace qbtest
