#include "AVApi.h"

std::string AVErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (AV().av_strerror(error, text, sizeof text) < 0)
        return "error " + std::to_string(error);
    return text;
}

namespace {

// Demuxers of the files the program converts (MP4/3GP, WebM/Matroska, FLV) and of common
// audio files.
const char* const kContainers = "mov,matroska,flv,mp3,aac,ogg,wav,flac,asf,avi,mpegts,mpeg";

} // namespace

TInputPtr OpenMediaInput(const std::string& path, const std::string& formatName,
                         const AVIOInterruptCB* interrupt, std::string& error)
{
    const TAVApi& av = AV();
    const AVInputFormat* format = nullptr;
    if (!formatName.empty()) {
        format = av.av_find_input_format(formatName.c_str());
        if (!format) {
            error = "Unknown input format '" + formatName + "'";
            return nullptr;
        }
    }
    AVFormatContext* raw = av.avformat_alloc_context();
    if (!raw) {
        error = AVErrorText(AVERROR(ENOMEM));
        return nullptr;
    }
    if (interrupt)
        raw->interrupt_callback = *interrupt;
    AVDictionary* options = nullptr;
    av.av_dict_set(&options, "protocol_whitelist", "file", 0);
    av.av_dict_set(&options, "format_whitelist", kContainers, 0);
    // On failure avformat_open_input frees the context itself.
    const int opened = av.avformat_open_input(&raw, ("file:" + path).c_str(), format, &options);
    av.av_dict_free(&options);
    if (opened == AVERROR(EINVAL)) {
        error = path + ": not a media file of a supported format";
        return nullptr;
    }
    if (opened < 0) {
        error = path + ": " + AVErrorText(opened);
        return nullptr;
    }
    TInputPtr input(raw);
    const int probed = av.avformat_find_stream_info(input.get(), nullptr);
    if (probed < 0) {
        error = path + ": " + AVErrorText(probed);
        return nullptr;
    }
    return input;
}
