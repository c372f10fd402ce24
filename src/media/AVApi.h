#pragma once

// Internal to the media component: only its own .cpp files include this header. It is the one
// place that sees FFmpeg's headers; everything else talks to the component's classes.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

// The libraries, in the order they are loaded.
enum class TAVLib
{
    Codec,
    Device,
    Filter,
    Format,
    Util,
    Resample,
    Scale,
    Count
};

// Every FFmpeg function the component calls, with the library that exports it. Each one is
// reached through a pointer of the table below, typed from the header's own declaration.
#define QB_AV_FUNCTIONS(X)                                                                         \
    X(Codec, avcodec_version)                                                                      \
    X(Codec, avcodec_find_decoder)                                                                 \
    X(Codec, avcodec_find_encoder_by_name)                                                         \
    X(Codec, avcodec_alloc_context3)                                                               \
    X(Codec, avcodec_free_context)                                                                 \
    X(Codec, avcodec_parameters_to_context)                                                        \
    X(Codec, avcodec_parameters_from_context)                                                      \
    X(Codec, avcodec_open2)                                                                        \
    X(Codec, avcodec_send_packet)                                                                  \
    X(Codec, avcodec_receive_frame)                                                                \
    X(Codec, avcodec_send_frame)                                                                   \
    X(Codec, avcodec_receive_packet)                                                               \
    X(Codec, avcodec_get_name)                                                                     \
    X(Codec, av_packet_alloc)                                                                      \
    X(Codec, av_packet_free)                                                                       \
    X(Codec, av_packet_unref)                                                                      \
    X(Codec, av_packet_rescale_ts)                                                                 \
    X(Device, avdevice_version)                                                                    \
    X(Filter, avfilter_version)                                                                    \
    X(Filter, avfilter_get_by_name)                                                                \
    X(Format, avformat_version)                                                                    \
    X(Format, avformat_alloc_context)                                                              \
    X(Format, avformat_open_input)                                                                 \
    X(Format, avformat_close_input)                                                                \
    X(Format, avformat_find_stream_info)                                                           \
    X(Format, av_find_input_format)                                                                \
    X(Format, av_find_best_stream)                                                                 \
    X(Format, av_read_frame)                                                                       \
    X(Format, av_guess_format)                                                                     \
    X(Format, avformat_alloc_output_context2)                                                      \
    X(Format, avformat_free_context)                                                               \
    X(Format, avformat_new_stream)                                                                 \
    X(Format, avformat_write_header)                                                               \
    X(Format, av_write_frame)                                                                      \
    X(Format, av_write_trailer)                                                                    \
    X(Format, avio_alloc_context)                                                                  \
    X(Format, avio_context_free)                                                                   \
    X(Format, avio_flush)                                                                          \
    X(Util, avutil_version)                                                                        \
    X(Util, av_log_set_level)                                                                      \
    X(Util, av_strerror)                                                                           \
    X(Util, av_malloc)                                                                             \
    X(Util, av_freep)                                                                              \
    X(Util, av_dict_set)                                                                           \
    X(Util, av_dict_copy)                                                                          \
    X(Util, av_dict_free)                                                                          \
    X(Util, av_frame_alloc)                                                                        \
    X(Util, av_frame_free)                                                                         \
    X(Util, av_frame_unref)                                                                        \
    X(Util, av_frame_get_buffer)                                                                   \
    X(Util, av_frame_make_writable)                                                                \
    X(Util, av_audio_fifo_alloc)                                                                   \
    X(Util, av_audio_fifo_free)                                                                    \
    X(Util, av_audio_fifo_write)                                                                   \
    X(Util, av_audio_fifo_read)                                                                    \
    X(Util, av_audio_fifo_size)                                                                    \
    X(Util, av_channel_layout_default)                                                             \
    X(Util, av_channel_layout_copy)                                                                \
    X(Util, av_channel_layout_compare)                                                             \
    X(Util, av_channel_layout_uninit)                                                              \
    X(Util, av_get_planar_sample_fmt)                                                              \
    X(Util, av_get_sample_fmt_name)                                                                \
    X(Resample, swresample_version)                                                                \
    X(Resample, swr_alloc_set_opts2)                                                               \
    X(Resample, swr_init)                                                                          \
    X(Resample, swr_free)                                                                          \
    X(Resample, swr_convert)                                                                       \
    X(Resample, swr_get_out_samples)                                                               \
    X(Scale, swscale_version)

struct TAVApi
{
#define QB_AV_MEMBER(lib, name) decltype(&::name) name = nullptr;
    QB_AV_FUNCTIONS(QB_AV_MEMBER)
#undef QB_AV_MEMBER
};

// The table of the loaded libraries. Only valid once TAVLibrary::Loaded() is true.
const TAVApi& AV();

// FFmpeg's text for an error code.
std::string AVErrorText(int error);

// Owners of FFmpeg objects, freed through the table.
struct TInputCloser
{
    void operator()(AVFormatContext* context) const { AV().avformat_close_input(&context); }
};
struct TOutputContextFree
{
    void operator()(AVFormatContext* context) const { AV().avformat_free_context(context); }
};
struct TCodecContextFree
{
    void operator()(AVCodecContext* context) const { AV().avcodec_free_context(&context); }
};
struct TFrameFree
{
    void operator()(AVFrame* frame) const { AV().av_frame_free(&frame); }
};
struct TPacketFree
{
    void operator()(AVPacket* packet) const { AV().av_packet_free(&packet); }
};
struct TResamplerFree
{
    void operator()(SwrContext* context) const { AV().swr_free(&context); }
};
struct TAudioFifoFree
{
    void operator()(AVAudioFifo* fifo) const { AV().av_audio_fifo_free(fifo); }
};
struct TIOContextFree
{
    void operator()(AVIOContext* io) const
    {
        AV().av_freep(&io->buffer);
        AV().avio_context_free(&io);
    }
};

using TInputPtr = std::unique_ptr<AVFormatContext, TInputCloser>;
using TOutputContextPtr = std::unique_ptr<AVFormatContext, TOutputContextFree>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextFree>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;
using TResamplerPtr = std::unique_ptr<SwrContext, TResamplerFree>;
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, TAudioFifoFree>;
using TIOContextPtr = std::unique_ptr<AVIOContext, TIOContextFree>;

// Opens and probes a local media file. Only plain container formats are taken (no playlists
// or other formats that open further files and could wait forever for a live stream) and
// only the "file" protocol, so nothing in a downloaded file makes FFmpeg reach the network.
// An empty format name means "detect". On failure returns null and sets error.
TInputPtr OpenMediaInput(const std::string& path, const std::string& formatName,
                         const AVIOInterruptCB* interrupt, std::string& error);
