// Converts one file to MP3 the way the program does: libraries from LibAV, the option
// builder's records, one task started on the encoder's thread.
//   bench_convert_task LIBAV_FOLDER INPUT SAVE_FOLDER
// Prints the output file's path; exit code 0 only when the task finished.
#include "base/TMessageQueue.h"
#include "convert/TfrmOption.h"
#include "media/NativeFilters.h"
#include "media/TFFEncoder.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LIBAV_FOLDER INPUT SAVE_FOLDER\n", argv[0]);
        return 2;
    }
    const QString libraries = QString::fromLocal8Bit(argv[1]);
    const QString input = QString::fromLocal8Bit(argv[2]);
    QString saveFolder = QString::fromLocal8Bit(argv[3]);
    if (!saveFolder.endsWith(QLatin1Char('/')))
        saveFolder += QLatin1Char('/');

    TMessageQueue queue;
    TFFEncoder encoder(queue);
    if (!TFFEncoder::AVLibLoaded()) {
        if (!encoder.LoadAVLib(libraries)) {
            std::fprintf(stderr, "%s\n", qPrintable(encoder.LastErrMsg()));
            return 2;
        }
        RegisterNativeEqFilter(false);
        RegisterNativeHueFilter(false);
    }
    if (!encoder.Decoder().LoadFile(input)) {
        std::fprintf(stderr, "%s\n", qPrintable(encoder.Decoder().LastErrMsg()));
        return 2;
    }
    TfrmOption& options = frmOption();
    options.AttachDecoder(&encoder.Decoder());
    options.grpFormats = QStringLiteral("MP3");
    options.edtAudioBitRate = QStringLiteral("128");
    options.edtOutPath = saveFolder;
    TOutputOptions out;
    options.BuildOutputOptions(&out);
    TInputOptions in;
    options.BuildInputOptions(&in);
    const int task = encoder.AddTask(in.FileName, &in);
    if (task < 0 || encoder.SetOutput(task, out.FileName, &out) < 0) {
        std::fprintf(stderr, "%s\n", qPrintable(encoder.LastErrMsg()));
        return 2;
    }
    encoder.Decoder().CloseFile();

    int result = 1;
    encoder.OnTerminate = [&](TFFEncoder*, const TTerminateInfo& info) {
        if (info.TaskIndex >= 0) {
            result = info.Finished ? 0 : 1;
            if (info.Exception)
                std::fprintf(stderr, "%s\n", qPrintable(info.ExceptionMsg));
        } else {
            QCoreApplication::quit();
        }
    };
    encoder.Start(1);
    QCoreApplication::exec();
    std::printf("%s\n", qPrintable(out.FileName));
    return result;
}
