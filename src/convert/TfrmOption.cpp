#include "TfrmOption.h"

#include "ConvertNaming.h"
#include "media/MediaRecords.h"
#include "media/TConvertTask.h"
#include "media/TFFDecoder.h"

#include <QFileInfo>
#include <QStringList>

namespace {

void Append(QByteArray& options, const QString& option)
{
    options += ' ';
    options += option.toUtf8();
}

} // namespace

bool TfrmOption::AudioTarget() const
{
    static const QStringList audio{QStringLiteral("aac"), QStringLiteral("ac3"),
                                   QStringLiteral("mp2"), QStringLiteral("mp3"),
                                   QStringLiteral("wav"), QStringLiteral("wma")};
    return audio.contains(grpFormats.toLower());
}

void TfrmOption::BuildOutputOptions(TOutputOptions* options) const
{
    InitOutputOptions(options);
    Append(options->Options, QStringLiteral("-b:a %1k").arg(edtAudioBitRate));
    Append(options->Options, QStringLiteral("-b:v %1k").arg(edtVideoBitRate));
    Append(options->Options, QStringLiteral("-sn"));

    const QString input = FDecoder ? FDecoder->FileName() : QString();
    QString folder = edtOutPath;
    if (folder.isEmpty())
        folder = QFileInfo(input).absolutePath() + QLatin1Char('/');
    options->FileName = ConvertedFileName(
        folder, input, QLatin1Char('.') + grpFormats.toLower(), chkOverwrite,
        [](const QString& path) {
            // A link holds its name even when it leads nowhere, and a
            // conversion of the same name still writing holds it too.
            const auto taken = [](const QString& name) {
                const QFileInfo info(name);
                return info.exists() || info.isSymLink();
            };
            return taken(path) || taken(QString::fromStdString(
                                      TConvertTask::OutputWorkingName(path.toStdString())));
        });
}

void TfrmOption::BuildInputOptions(TInputOptions* options) const
{
    InitInputOptions(options);
    options->FileName = FDecoder ? FDecoder->FileName() : QString();
    if (AudioTarget())
        Append(options->Options, QStringLiteral("-vn"));
}

TfrmOption& frmOption()
{
    static TfrmOption settings;
    return settings;
}
