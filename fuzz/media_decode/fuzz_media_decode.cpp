// Feeds arbitrary bytes to the decoder side of the media component as a downloaded file:
// the decoder opens it, and a conversion task runs it through demuxing, decoding, resampling
// and encoding. Whatever the bytes, nothing may crash, and an output is left only when the
// task says it finished.
#include "media/MediaRecords.h"
#include "media/TAVLibrary.h"
#include "media/TConvertTask.h"
#include "media/TFFDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString Folder()
{
    static const QString folder = [] {
        const QString path =
            QDir::temp().filePath(QStringLiteral("fuzz_media_decode_%1").arg(::getpid()));
        QDir().mkpath(path);
        return path;
    }();
    return folder;
}

void RemoveFolder()
{
    QDir(Folder()).removeRecursively();
}

bool LoadLibraries()
{
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    QString error;
    if (!TAVLibrary::Load(QFileInfo(exe).absolutePath() + QStringLiteral("/LibAV"), error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        std::abort();
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool loaded = LoadLibraries();
    // The folder's name is made before the clean-up is registered, so it outlives it.
    const QString folder = Folder();
    static const bool cleanup = std::atexit(RemoveFolder) == 0;
    (void)loaded;
    (void)cleanup;

    const QString input = folder + QStringLiteral("/download");
    const QString output = folder + QStringLiteral("/download_(new).mp3");
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    TFFDecoder decoder;
    if (!decoder.LoadFile(input))
        return 0;
    decoder.CloseFile();

    std::atomic<bool> stop{false};
    std::string error;
    {
        TConvertTask task(stop);
        if (!task.OpenInput(QFile::encodeName(input).toStdString(), " -vn", true, error) ||
            !task.SetOutput(QFile::encodeName(output).toStdString(), " -b:a 128k -b:v 200k -sn",
                            true, error))
            return 0;
        // A few bytes can claim hours of audio; a minute of output is plenty to look at.
        const TConvertTask::TOutcome outcome = task.Run(
            [&](const TProgressInfo& progress) {
                if (progress.CurrentDuration > 60 * 1000000LL)
                    stop = true;
            },
            0);
        if (outcome.finished && outcome.exception) {
            std::fprintf(stderr, "finished and failed at once\n");
            std::abort();
        }
        if (!outcome.finished && !outcome.exception && !stop) {
            std::fprintf(stderr, "neither finished nor failed, yet not stopped\n");
            std::abort();
        }
        if (QFileInfo::exists(output) != outcome.finished) {
            std::fprintf(stderr, "output left behind by an unfinished task, or missing\n");
            std::abort();
        }
    }
    QFile::remove(output);
    return 0;
}
