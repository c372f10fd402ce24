#include "TConvertTask.h"

#include "AVApi.h"
#include "MediaRecords.h"
#include "TFFOptionParser.h"
#include "base/FileCreation.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kDefaultAudioBitRate = 128000;
constexpr int kIoBufferSize = 64 * 1024;

int InterruptCallback(void* opaque)
{
    return static_cast<const std::atomic<bool>*>(opaque)->load(std::memory_order_relaxed) ? 1 : 0;
}

// An AVChannelLayout that releases what it holds.
struct TLayout
{
    AVChannelLayout value{};
    TLayout() = default;
    TLayout(const TLayout&) = delete;
    TLayout& operator=(const TLayout&) = delete;
    ~TLayout() { AV().av_channel_layout_uninit(&value); }
};

// A layout of unspecified order gets the default one of its channel count, so it can be
// compared and handed to the resampler.
void NormalisedLayout(const AVChannelLayout& in, TLayout& out)
{
    AV().av_channel_layout_uninit(&out.value);
    if (in.order == AV_CHANNEL_ORDER_UNSPEC || in.nb_channels == 0)
        AV().av_channel_layout_default(&out.value, in.nb_channels > 0 ? in.nb_channels : 2);
    else
        AV().av_channel_layout_copy(&out.value, &in);
}

AVSampleFormat ChooseSampleFormat(const AVCodec& codec, AVSampleFormat in)
{
    if (!codec.sample_fmts)
        return in;
    const AVSampleFormat planar = AV().av_get_planar_sample_fmt(in);
    for (const AVSampleFormat* f = codec.sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == in)
            return *f;
    }
    for (const AVSampleFormat* f = codec.sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == planar)
            return *f;
    }
    return codec.sample_fmts[0];
}

// Float samples out of all proportion (NaN, infinities, millions) come only from damaged
// input; they trip an assertion inside LAME that aborts the process. Loud but real audio
// stays far below this bound.
constexpr float kSampleLimit = 8.0f;

void BoundSamples(AVFrame& frame)
{
    const auto format = AVSampleFormat(frame.format);
    if (format != AV_SAMPLE_FMT_FLT && format != AV_SAMPLE_FMT_FLTP)
        return;
    const bool planar = format == AV_SAMPLE_FMT_FLTP;
    const int channels = frame.ch_layout.nb_channels;
    const int planes = planar ? channels : 1;
    const int count = planar ? frame.nb_samples : frame.nb_samples * channels;
    for (int p = 0; p < planes; ++p) {
        float* samples = reinterpret_cast<float*>(frame.extended_data[p]);
        for (int i = 0; i < count; ++i) {
            const float v = samples[i];
            if (!(v >= -kSampleLimit && v <= kSampleLimit)) // also NaN
                samples[i] = v > kSampleLimit    ? kSampleLimit
                             : v < -kSampleLimit ? -kSampleLimit
                                                 : 0;
        }
    }
}

// The encoder's rate nearest to the input's (the first of equally near ones).
int ChooseSampleRate(const AVCodec& codec, int in)
{
    if (!codec.supported_samplerates)
        return in;
    int best = codec.supported_samplerates[0];
    long bestDistance = LONG_MAX;
    for (const int* rate = codec.supported_samplerates; *rate != 0; ++rate) {
        const long distance = std::labs(long(*rate) - long(in));
        if (distance < bestDistance) {
            best = *rate;
            bestDistance = distance;
        }
    }
    return best;
}

// Gives the whole working file its own name, never over a file that took the name meanwhile.
bool PublishOutput(const std::string& working, const std::string& path, std::string& error)
{
    const int failure = RenameNoReplace(working.c_str(), path.c_str());
    if (failure == 0)
        return true;
    error = path + ": " + std::strerror(failure);
    return false;
}

// The options of a task's input or output; with haltOnInvalid an unknown one is an error.
bool ParseOptions(const std::string& options, bool haltOnInvalid, TFFOptionSet& set,
                  std::string& error)
{
    if (!TFFOptionParser::Parse(options, set, error))
        return false;
    if (haltOnInvalid && !set.Unknown.empty()) {
        error = "Unrecognized option '" + set.Unknown.front() + "'";
        return false;
    }
    return true;
}

} // namespace

std::string TConvertTask::OutputWorkingName(const std::string& path)
{
    return path + ".part";
}

struct TConvertTask::TState
{
    explicit TState(const std::atomic<bool>& stopFlag) : stop(stopFlag)
    {
        interrupt.callback = InterruptCallback;
        interrupt.opaque = const_cast<std::atomic<bool>*>(&stop);
    }
    ~TState() { DiscardOutput(); }

    bool Stopped() const { return stop.load(std::memory_order_relaxed); }

    // Closes the output and, unless it was finished, removes the file we created.
    void DiscardOutput()
    {
        output.reset();
        io.reset();
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        if (outputCreated && !keepOutput)
            ::unlink(workingPath.c_str());
        outputCreated = false;
    }

    bool Fail(const std::string& what, int code, std::string& error) const
    {
        error = what + ": " + AVErrorText(code);
        return false;
    }

    // Output file I/O of the muxer, on our own descriptor.
    static int Write(void* opaque, std::uint8_t* data, int size)
    {
        auto* s = static_cast<TState*>(opaque);
        int done = 0;
        while (done < size) {
            const ssize_t n = ::write(s->fd, data + done, std::size_t(size - done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                s->writeError = errno;
                return AVERROR(errno);
            }
            done += int(n);
        }
        s->position += size;
        s->fileSize = std::max(s->fileSize, s->position);
        return size;
    }

    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence)
    {
        auto* s = static_cast<TState*>(opaque);
        if (whence == AVSEEK_SIZE)
            return s->fileSize;
        const off_t at = ::lseek(s->fd, off_t(offset), whence & ~AVSEEK_FORCE);
        if (at < 0)
            return AVERROR(errno);
        s->position = at;
        return at;
    }

    const std::atomic<bool>& stop;
    AVIOInterruptCB interrupt{};

    TInputPtr input;
    int audioIndex = -1;

    std::string outputPath;
    std::string workingPath; // the output while it is written
    TCodecContextPtr decoder;
    TCodecContextPtr encoder;
    TOutputContextPtr output;
    TIOContextPtr io;
    int fd = -1;
    bool outputCreated = false;
    bool keepOutput = false;
    std::int64_t position = 0;
    std::int64_t fileSize = 0;
    int writeError = 0;

    TResamplerPtr resampler;
    AVSampleFormat resamplerFormat = AV_SAMPLE_FMT_NONE;
    int resamplerRate = 0;
    TLayout resamplerLayout;
    TLayout frameLayout;
    TAudioFifoPtr fifo;
    TFramePtr decoded;
    TFramePtr converted;
    int convertedCapacity = 0;
    TFramePtr chunk;
    int chunkSize = 0;
    TPacketPtr packet;
    TPacketPtr encoded;

    std::int64_t samplesOut = 0;
    std::int32_t framesOut = 0;
    std::int64_t packetsIn = 0;
    std::int64_t decodeErrors = 0;
};

TConvertTask::TConvertTask(const std::atomic<bool>& stop) : m_state(std::make_unique<TState>(stop))
{
}

TConvertTask::~TConvertTask() = default;

bool TConvertTask::HasOutput() const
{
    return m_state->output != nullptr;
}

bool TConvertTask::OpenInput(const std::string& path, const std::string& options,
                             bool haltOnInvalid, std::string& error)
{
    TState& s = *m_state;
    TFFOptionSet set;
    if (!ParseOptions(options, haltOnInvalid, set, error))
        return false;
    s.input = OpenMediaInput(path, {}, &s.interrupt, error);
    if (!s.input)
        return false;
    // A missing audio stream is the output's problem: it then has nothing to carry.
    s.audioIndex = AV().av_find_best_stream(s.input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    return true;
}

bool TConvertTask::SetOutput(const std::string& path, const std::string& options,
                             bool haltOnInvalid, std::string& error)
{
    TState& s = *m_state;
    const TAVApi& av = AV();
    if (!s.input) {
        error = "The task has no input";
        return false;
    }
    if (s.output) {
        error = "The task has an output already";
        return false;
    }
    TFFOptionSet set;
    if (!ParseOptions(options, haltOnInvalid, set, error))
        return false;
    // The output carries the input's audio only: video and subtitles are dropped ("-vn",
    // "-sn"), so a video bit rate has no stream to apply to and is ignored.
    const AVOutputFormat* format = av.av_guess_format(nullptr, path.c_str(), nullptr);
    if (!format) {
        error = "Unable to find a suitable output format for '" + path + "'";
        return false;
    }
    if (format->audio_codec != AV_CODEC_ID_MP3) {
        error = "Output format '" + std::string(format->name) + "' is not supported";
        return false;
    }
    if (s.audioIndex < 0) {
        error = "Output file does not contain any stream: the input has no audio";
        return false;
    }

    // Decoder of the input's audio.
    const AVStream* inStream = s.input->streams[s.audioIndex];
    const AVCodec* decoderCodec = av.avcodec_find_decoder(inStream->codecpar->codec_id);
    if (!decoderCodec) {
        error = std::string("No decoder for the input's audio (") +
                av.avcodec_get_name(inStream->codecpar->codec_id) + ")";
        return false;
    }
    TCodecContextPtr decoder(av.avcodec_alloc_context3(decoderCodec));
    if (!decoder)
        return s.Fail("Decoder", AVERROR(ENOMEM), error);
    int r = av.avcodec_parameters_to_context(decoder.get(), inStream->codecpar);
    if (r < 0)
        return s.Fail("Decoder", r, error);
    decoder->pkt_timebase = inStream->time_base;
    decoder->thread_count = 1;
    r = av.avcodec_open2(decoder.get(), decoderCodec, nullptr);
    if (r < 0)
        return s.Fail("Cannot open the audio decoder", r, error);

    // MP3 through LAME with its defaults: the input's rate when LAME takes it (the nearest
    // one otherwise), mono or stereo.
    const AVCodec* lame = av.avcodec_find_encoder_by_name("libmp3lame");
    if (!lame) {
        error = "The MP3 encoder (libmp3lame) is not available";
        return false;
    }
    TCodecContextPtr encoder(av.avcodec_alloc_context3(lame));
    if (!encoder)
        return s.Fail("Encoder", AVERROR(ENOMEM), error);
    const int inRate = decoder->sample_rate > 0 ? decoder->sample_rate : 44100;
    const int inChannels = decoder->ch_layout.nb_channels;
    encoder->sample_fmt = ChooseSampleFormat(*lame, decoder->sample_fmt);
    encoder->sample_rate = ChooseSampleRate(*lame, inRate);
    av.av_channel_layout_default(&encoder->ch_layout, inChannels == 1 ? 1 : 2);
    encoder->bit_rate = set.AudioBitRate > 0 ? set.AudioBitRate : kDefaultAudioBitRate;
    encoder->time_base = AVRational{1, encoder->sample_rate};
    encoder->thread_count = 1;
    r = av.avcodec_open2(encoder.get(), lame, nullptr);
    if (r < 0)
        return s.Fail("Cannot open the MP3 encoder", r, error);

    // Muxer.
    AVFormatContext* rawOutput = nullptr;
    r = av.avformat_alloc_output_context2(&rawOutput, format, nullptr, path.c_str());
    if (r < 0)
        return s.Fail("Output", r, error);
    TOutputContextPtr output(rawOutput);
    output->interrupt_callback = s.interrupt;
    AVStream* outStream = av.avformat_new_stream(output.get(), nullptr);
    if (!outStream)
        return s.Fail("Output", AVERROR(ENOMEM), error);
    r = av.avcodec_parameters_from_context(outStream->codecpar, encoder.get());
    if (r < 0)
        return s.Fail("Output", r, error);
    outStream->time_base = encoder->time_base;
    av.av_dict_copy(&output->metadata, s.input->metadata, 0);

    // Buffers of the run.
    const int chunkSize = encoder->frame_size > 0 ? encoder->frame_size : 1152;
    TAudioFifoPtr fifo(
        av.av_audio_fifo_alloc(encoder->sample_fmt, encoder->ch_layout.nb_channels, chunkSize * 4));
    TFramePtr decoded(av.av_frame_alloc());
    TFramePtr converted(av.av_frame_alloc());
    TFramePtr chunk(av.av_frame_alloc());
    TPacketPtr packet(av.av_packet_alloc());
    TPacketPtr encoded(av.av_packet_alloc());
    if (!fifo || !decoded || !converted || !chunk || !packet || !encoded)
        return s.Fail("Output", AVERROR(ENOMEM), error);
    chunk->format = encoder->sample_fmt;
    chunk->sample_rate = encoder->sample_rate;
    chunk->nb_samples = chunkSize;
    av.av_channel_layout_copy(&chunk->ch_layout, &encoder->ch_layout);
    r = av.av_frame_get_buffer(chunk.get(), 0);
    if (r < 0)
        return s.Fail("Output", r, error);

    // The file last: created here and only here, never over an existing one (neither the
    // output nor a working file of another conversion of the same name).
    struct stat existing;
    if (::lstat(path.c_str(), &existing) == 0) {
        error = path + ": " + std::strerror(EEXIST);
        return false;
    }
    const std::string working = OutputWorkingName(path);
    const int fd = CreateExclusive(working.c_str());
    if (fd < 0) {
        error = (errno == EEXIST ? path : working) + ": " + std::strerror(errno);
        return false;
    }
    s.fd = fd;
    s.outputPath = path;
    s.workingPath = working;
    s.outputCreated = true;
    s.keepOutput = false;
    auto* buffer = static_cast<unsigned char*>(av.av_malloc(kIoBufferSize));
    AVIOContext* io = buffer ? av.avio_alloc_context(buffer, kIoBufferSize, 1, &s, nullptr,
                                                     &TState::Write, &TState::Seek)
                             : nullptr;
    if (!io) {
        av.av_freep(&buffer);
        s.DiscardOutput();
        return s.Fail("Output", AVERROR(ENOMEM), error);
    }
    s.io.reset(io);
    output->pb = io;
    output->flags |= AVFMT_FLAG_CUSTOM_IO;

    // Only the audio stream is read.
    for (unsigned i = 0; i < s.input->nb_streams; ++i) {
        if (int(i) != s.audioIndex)
            s.input->streams[i]->discard = AVDISCARD_ALL;
    }

    s.decoder = std::move(decoder);
    s.encoder = std::move(encoder);
    s.output = std::move(output);
    s.fifo = std::move(fifo);
    s.decoded = std::move(decoded);
    s.converted = std::move(converted);
    s.chunk = std::move(chunk);
    s.chunkSize = chunkSize;
    s.packet = std::move(packet);
    s.encoded = std::move(encoded);
    return true;
}

namespace {

enum class TEnd
{
    Finished,
    Stopped,
    Failed
};

// The steps of a run, over the task's state.
class TRunner
{
public:
    TRunner(TConvertTask::TState& s, const TConvertTask::TProgress& progress, int intervalMs)
        : s(s), av(AV()), m_progress(progress), m_interval(std::chrono::milliseconds(intervalMs))
    {
    }

    TEnd Run(std::string& error);

private:
    // Marks the run failed (or stopped, when a stop caused the error) and returns false.
    bool Abort(const std::string& what, int code, std::string& error)
    {
        m_failed = Failed(what, code, error) == TEnd::Failed;
        return false;
    }

    TEnd Failed(const std::string& what, int code, std::string& error) const
    {
        if (s.Stopped())
            return TEnd::Stopped;
        // A failed write says more in the system's words than in FFmpeg's.
        const int cause = s.writeError ? AVERROR(s.writeError) : code;
        error = what + ": " + AVErrorText(cause);
        return TEnd::Failed;
    }

    bool ReceiveFrames(std::string& error);
    bool TakeFrame(AVFrame& frame, std::string& error);
    bool ConfigureResampler(const AVFrame& frame, std::string& error);
    bool FlushResampler(std::string& error);
    bool EncodeChunks(bool final, std::string& error);
    bool DrainEncoder(std::string& error);
    void Report(bool force);

    TConvertTask::TState& s;
    const TAVApi& av;
    const TConvertTask::TProgress& m_progress;
    const TClock::duration m_interval;
    TClock::time_point m_start = TClock::now();
    TClock::time_point m_lastReport = m_start;
    bool m_failed = false;
    std::string m_failure;
};

TEnd TRunner::Run(std::string& error)
{
    if (s.Stopped())
        return TEnd::Stopped;
    int r = av.avformat_write_header(s.output.get(), nullptr);
    if (r < 0)
        return Failed("Cannot write the output header", r, error);

    AVPacket* packet = s.packet.get();
    for (;;) {
        if (s.Stopped())
            return TEnd::Stopped;
        r = av.av_read_frame(s.input.get(), packet);
        if (r == AVERROR_EOF)
            break;
        if (r == AVERROR(EAGAIN))
            continue;
        if (r < 0)
            return Failed("Error reading the input", r, error);
        if (packet->stream_index != s.audioIndex) {
            av.av_packet_unref(packet);
            continue;
        }
        ++s.packetsIn;
        r = av.avcodec_send_packet(s.decoder.get(), packet);
        av.av_packet_unref(packet);
        if (r < 0) {
            // A damaged packet is skipped, as the ffmpeg command does; many of them fail the
            // task below.
            ++s.decodeErrors;
            continue;
        }
        if (!ReceiveFrames(error))
            return m_failed ? TEnd::Failed : TEnd::Stopped;
        Report(false);
    }

    // End of input: flush the decoder, the resampler, the FIFO and the encoder.
    av.avcodec_send_packet(s.decoder.get(), nullptr);
    if (!ReceiveFrames(error) || !FlushResampler(error) || !EncodeChunks(true, error))
        return m_failed ? TEnd::Failed : TEnd::Stopped;
    r = av.avcodec_send_frame(s.encoder.get(), nullptr);
    if (r < 0)
        return Failed("Error flushing the encoder", r, error);
    if (!DrainEncoder(error))
        return m_failed ? TEnd::Failed : TEnd::Stopped;

    if (s.packetsIn > 0 && s.decodeErrors * 3 > s.packetsIn * 2) {
        error = "Too many errors decoding the input's audio (" + std::to_string(s.decodeErrors) +
                " of " + std::to_string(s.packetsIn) + " packets)";
        return TEnd::Failed;
    }
    if (s.samplesOut == 0) {
        error = "Output file is empty, nothing was encoded";
        return TEnd::Failed;
    }
    if (s.Stopped())
        return TEnd::Stopped;

    // Finished only when the trailer is written, every byte is out and the file is closed.
    r = av.av_write_trailer(s.output.get());
    if (r < 0)
        return Failed("Cannot write the output trailer", r, error);
    av.avio_flush(s.io.get());
    if (s.io->error < 0)
        return Failed("Error writing the output", s.io->error, error);
    const int fd = s.fd;
    s.fd = -1;
    if (::close(fd) != 0) {
        error = s.outputPath + ": " + std::strerror(errno);
        return TEnd::Failed;
    }
    if (!PublishOutput(s.workingPath, s.outputPath, error))
        return TEnd::Failed;
    Report(true);
    return TEnd::Finished;
}

bool TRunner::ReceiveFrames(std::string& error)
{
    AVFrame* frame = s.decoded.get();
    for (;;) {
        const int r = av.avcodec_receive_frame(s.decoder.get(), frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0) {
            ++s.decodeErrors;
            return true;
        }
        const bool taken = TakeFrame(*frame, error);
        av.av_frame_unref(frame);
        if (!taken)
            return false;
    }
}

// Puts a decoded frame into the FIFO in the encoder's format, through the resampler only
// when the frame's format, rate or channel layout differ from the encoder's.
bool TRunner::TakeFrame(AVFrame& frame, std::string& error)
{
    AVCodecContext& enc = *s.encoder;
    NormalisedLayout(frame.ch_layout, s.frameLayout);
    const bool direct = frame.format == enc.sample_fmt && frame.sample_rate == enc.sample_rate &&
                        av.av_channel_layout_compare(&s.frameLayout.value, &enc.ch_layout) == 0;
    if (direct) {
        if (av.av_audio_fifo_write(s.fifo.get(), reinterpret_cast<void**>(frame.extended_data),
                                   frame.nb_samples) < frame.nb_samples) {
            return Abort("Audio buffer", AVERROR(ENOMEM), error);
        }
        return EncodeChunks(false, error);
    }
    if (!ConfigureResampler(frame, error))
        return false;
    const int capacity = av.swr_get_out_samples(s.resampler.get(), frame.nb_samples);
    if (capacity > s.convertedCapacity) {
        AVFrame* out = s.converted.get();
        av.av_frame_unref(out);
        out->format = enc.sample_fmt;
        out->sample_rate = enc.sample_rate;
        out->nb_samples = capacity;
        av.av_channel_layout_copy(&out->ch_layout, &enc.ch_layout);
        const int r = av.av_frame_get_buffer(out, 0);
        if (r < 0) {
            s.convertedCapacity = 0;
            return Abort("Audio buffer", r, error);
        }
        s.convertedCapacity = capacity;
    }
    const int n =
        av.swr_convert(s.resampler.get(), s.converted->extended_data, capacity,
                       const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    if (n < 0) {
        return Abort("Error converting the audio", n, error);
    }
    if (n > 0 && av.av_audio_fifo_write(
                     s.fifo.get(), reinterpret_cast<void**>(s.converted->extended_data), n) < n) {
        return Abort("Audio buffer", AVERROR(ENOMEM), error);
    }
    return EncodeChunks(false, error);
}

bool TRunner::ConfigureResampler(const AVFrame& frame, std::string& error)
{
    if (s.resampler && frame.format == s.resamplerFormat && frame.sample_rate == s.resamplerRate &&
        av.av_channel_layout_compare(&s.frameLayout.value, &s.resamplerLayout.value) == 0)
        return true;
    AVCodecContext& enc = *s.encoder;
    SwrContext* raw = nullptr;
    int r = av.swr_alloc_set_opts2(&raw, &enc.ch_layout, enc.sample_fmt, enc.sample_rate,
                                   &s.frameLayout.value, AVSampleFormat(frame.format),
                                   frame.sample_rate, 0, nullptr);
    s.resampler.reset(raw);
    if (r >= 0)
        r = av.swr_init(raw);
    if (r < 0) {
        s.resampler.reset();
        return Abort("Cannot convert the input's audio", r, error);
    }
    s.resamplerFormat = AVSampleFormat(frame.format);
    s.resamplerRate = frame.sample_rate;
    av.av_channel_layout_uninit(&s.resamplerLayout.value);
    av.av_channel_layout_copy(&s.resamplerLayout.value, &s.frameLayout.value);
    return true;
}

bool TRunner::FlushResampler(std::string& error)
{
    if (!s.resampler || s.convertedCapacity == 0)
        return true;
    for (;;) {
        const int n = av.swr_convert(s.resampler.get(), s.converted->extended_data,
                                     s.convertedCapacity, nullptr, 0);
        if (n < 0) {
            return Abort("Error converting the audio", n, error);
        }
        if (n == 0)
            return true;
        if (av.av_audio_fifo_write(s.fifo.get(),
                                   reinterpret_cast<void**>(s.converted->extended_data), n) < n) {
            return Abort("Audio buffer", AVERROR(ENOMEM), error);
        }
    }
}

// Feeds the encoder whole frames from the FIFO; at the end also the last, shorter one.
bool TRunner::EncodeChunks(bool final, std::string& error)
{
    for (;;) {
        const int available = av.av_audio_fifo_size(s.fifo.get());
        if (available == 0 || (available < s.chunkSize && !final))
            return true;
        const int n = std::min(available, s.chunkSize);
        AVFrame* chunk = s.chunk.get();
        chunk->nb_samples = s.chunkSize;
        int r = av.av_frame_make_writable(chunk);
        if (r < 0) {
            return Abort("Audio buffer", r, error);
        }
        av.av_audio_fifo_read(s.fifo.get(), reinterpret_cast<void**>(chunk->extended_data), n);
        chunk->nb_samples = n;
        BoundSamples(*chunk);
        chunk->pts = s.samplesOut;
        s.samplesOut += n;
        r = av.avcodec_send_frame(s.encoder.get(), chunk);
        if (r < 0) {
            return Abort("Error encoding the audio", r, error);
        }
        if (!DrainEncoder(error))
            return false;
    }
}

bool TRunner::DrainEncoder(std::string& error)
{
    AVPacket* packet = s.encoded.get();
    const AVRational streamBase = s.output->streams[0]->time_base;
    for (;;) {
        int r = av.avcodec_receive_packet(s.encoder.get(), packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0) {
            return Abort("Error encoding the audio", r, error);
        }
        av.av_packet_rescale_ts(packet, s.encoder->time_base, streamBase);
        packet->stream_index = 0;
        r = av.av_write_frame(s.output.get(), packet);
        av.av_packet_unref(packet);
        if (r < 0)
            return Abort("Error writing the output", r, error);
        ++s.framesOut;
    }
}

void TRunner::Report(bool force)
{
    if (!m_progress)
        return;
    const TClock::time_point now = TClock::now();
    if (!force && now - m_lastReport < m_interval)
        return;
    m_lastReport = now;
    TProgressInfo info;
    info.FrameNumber = s.framesOut;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    info.FPS = seconds > 0 ? std::int32_t(s.framesOut / seconds) : 0;
    info.CurrentSize = s.fileSize;
    info.CurrentDuration = s.samplesOut * AV_TIME_BASE / s.encoder->sample_rate;
    info.TotalDuration = s.input->duration > 0 ? s.input->duration : 0;
    info.BitRate = info.CurrentDuration > 0
                       ? float(double(info.CurrentSize) * 8 * 1000 / double(info.CurrentDuration))
                       : 0;
    m_progress(info);
}

} // namespace

TConvertTask::TOutcome TConvertTask::Run(const TProgress& progress, int intervalMs)
{
    TOutcome outcome;
    TState& s = *m_state;
    if (!s.output) {
        outcome.exception = true;
        outcome.message = "The task has no output";
        return outcome;
    }
    std::string error;
    TRunner runner(s, progress, intervalMs);
    const TEnd end = runner.Run(error);
    if (end == TEnd::Finished) {
        s.keepOutput = true;
        outcome.finished = true;
    } else if (end == TEnd::Failed) {
        outcome.exception = true;
        outcome.message = error.empty() ? std::string("Conversion failed") : error;
    }
    s.DiscardOutput();
    // The input and codecs are not needed any more.
    s.input.reset();
    s.decoder.reset();
    s.encoder.reset();
    s.resampler.reset();
    return outcome;
}
