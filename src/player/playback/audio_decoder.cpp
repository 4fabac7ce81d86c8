#include "player/playback/audio_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <cstring>
#include <mutex>

namespace playback {

namespace {

constexpr int kIoBufferBytes = 32 * 1024;
constexpr int kMaxDamagedPackets = 50; // in a row: the stream is broken, not just scratched

std::string averror(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

struct AudioDecoder::Av {
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* swr = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;

    ~Av()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&swr);
        avcodec_free_context(&codec);
        if (format)
            avformat_close_input(&format); // frees the context; the I/O context is ours
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
};

int AudioDecoder::readPacket(void* opaque, std::uint8_t* buffer, int size)
{
    auto* self = static_cast<AudioDecoder*>(opaque);
    try {
        const int n = self->source_->read(buffer, size);
        return n > 0 ? n : AVERROR_EOF;
    } catch (const SourceError& e) {
        self->lastSourceFailure_ = e.what();
        self->lastSourceFailureText_ = e.userText();
        return AVERROR(EIO);
    }
}

std::int64_t AudioDecoder::seekSource(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<AudioDecoder*>(opaque);
    const std::int64_t size = self->source_->size();
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size >= 0 ? size : AVERROR(ENOSYS);
    case SEEK_SET:
        break;
    case SEEK_END:
        if (size < 0)
            return AVERROR(ENOSYS);
        offset += size;
        break;
    default: // SEEK_CUR is turned into SEEK_SET by libavformat
        return AVERROR(EINVAL);
    }
    return self->source_->seek(offset) ? offset : AVERROR(EIO);
}

int AudioDecoder::interrupted(void* opaque)
{
    const auto* self = static_cast<const AudioDecoder*>(opaque);
    return self->abort_ && self->abort_->load() ? 1 : 0;
}

AudioDecoder::AudioDecoder(std::unique_ptr<ByteSource> source, const std::string& addressHint,
                           PcmFormat output, const std::atomic<bool>* abort)
    : av_(std::make_unique<Av>()), source_(std::move(source)), output_(output), abort_(abort)
{
    // Damaged songs are told on the player's status line; FFmpeg's own notes stay quiet.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    auto fail = [this](const std::string& userText, const std::string& logText) {
        if (!lastSourceFailure_.empty())
            throw SourceError(lastSourceFailureText_, lastSourceFailure_);
        throw SourceError(userText, logText);
    };
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
    av_->io = avio_alloc_context(buffer, kIoBufferBytes, 0, this, &AudioDecoder::readPacket,
                                 nullptr, &AudioDecoder::seekSource);
    if (!av_->io) {
        av_free(buffer);
        throw SourceError("内存不足", "out of memory");
    }
    av_->format = avformat_alloc_context();
    av_->format->pb = av_->io;
    av_->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    av_->format->interrupt_callback = {&AudioDecoder::interrupted, this};
    av_->format->probesize = 1 << 20;
    // The address's file name helps the probe; the path part alone, without the query.
    const std::string hint = addressHint.substr(0, addressHint.find_first_of("?#"));
    int rc = avformat_open_input(&av_->format, hint.c_str(), nullptr, nullptr);
    if (rc < 0) {
        av_->format = nullptr; // freed by the failed open
        fail("无法识别的媒体格式", "not a media file (" + averror(rc) + ")");
    }
    rc = avformat_find_stream_info(av_->format, nullptr);
    if (rc < 0)
        fail("无法识别的媒体格式", "no stream information (" + averror(rc) + ")");
    const AVCodec* decoder = nullptr;
    av_->stream = av_find_best_stream(av_->format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (av_->stream < 0 || !decoder)
        fail("此格式无法在本机播放", av_->stream == AVERROR_DECODER_NOT_FOUND
                                         ? "no decoder for the audio stream"
                                         : "no audio stream");
    AVStream* stream = av_->format->streams[av_->stream];
    codec_ = decoder->name;
    av_->codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(av_->codec, stream->codecpar);
    rc = avcodec_open2(av_->codec, decoder, nullptr);
    if (rc < 0)
        fail("此格式无法在本机播放",
             "cannot open the " + codec_ + " decoder (" + averror(rc) + ")");
    if (av_->format->duration > 0)
        duration_ = static_cast<double>(av_->format->duration) / AV_TIME_BASE;

    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, output_.channels);
    AVChannelLayout inLayout{}; // zeroed: copying into it first frees what it holds
    if (av_->codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
        av_->codec->ch_layout.nb_channels == 0)
        av_channel_layout_default(&inLayout, std::max(1, av_->codec->ch_layout.nb_channels));
    else
        av_channel_layout_copy(&inLayout, &av_->codec->ch_layout);
    rc =
        swr_alloc_set_opts2(&av_->swr, &outLayout, AV_SAMPLE_FMT_S16, output_.sampleRate, &inLayout,
                            av_->codec->sample_fmt, av_->codec->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (rc < 0 || swr_init(av_->swr) < 0)
        fail("此格式无法在本机播放", "cannot convert " + codec_ + " samples");
    av_->packet = av_packet_alloc();
    av_->frame = av_frame_alloc();
}

AudioDecoder::~AudioDecoder() = default;

bool AudioDecoder::seekTo(double seconds)
{
    if (!seekable())
        return false;
    const AVStream* stream = av_->format->streams[av_->stream];
    const std::int64_t target = av_rescale_q(static_cast<std::int64_t>(seconds * AV_TIME_BASE),
                                             AV_TIME_BASE_Q, stream->time_base);
    if (av_seek_frame(av_->format, av_->stream, target, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(av_->codec);
    flushed_ = false;
    damagedInARow_ = 0;
    return true;
}

void AudioDecoder::convert(std::vector<std::int16_t>& pcm)
{
    AVFrame* frame = av_->frame;
    const int room = swr_get_out_samples(av_->swr, frame->nb_samples);
    if (room <= 0)
        return;
    const size_t old = pcm.size();
    pcm.resize(old + static_cast<size_t>(room) * static_cast<size_t>(output_.channels));
    std::uint8_t* out[] = {reinterpret_cast<std::uint8_t*>(pcm.data() + old)};
    const int n =
        swr_convert(av_->swr, out, room, const_cast<const std::uint8_t**>(frame->extended_data),
                    frame->nb_samples);
    pcm.resize(old + static_cast<size_t>(std::max(n, 0)) * static_cast<size_t>(output_.channels));
}

bool AudioDecoder::decodeMore(std::vector<std::int16_t>& pcm)
{
    const size_t before = pcm.size();
    while (pcm.size() == before) {
        // Frames already decoded come first.
        const int got = avcodec_receive_frame(av_->codec, av_->frame);
        if (got == 0) {
            convert(pcm);
            av_frame_unref(av_->frame);
            continue;
        }
        if (got == AVERROR_EOF)
            return false;
        if (got != AVERROR(EAGAIN)) { // a damaged frame: skipped, unless they keep coming
            if (++damagedInARow_ > kMaxDamagedPackets)
                throw SourceError("媒体数据已损坏", "decoder failed (" + averror(got) + ")");
            continue;
        }
        if (flushed_)
            return false;
        const int rc = av_read_frame(av_->format, av_->packet);
        if (rc < 0) {
            if (!lastSourceFailure_.empty())
                throw SourceError(lastSourceFailureText_, lastSourceFailure_);
            if (abort_ && abort_->load())
                throw SourceError("已停止", "aborted");
            // The end of the file, or a file cut short: whatever is decoded is played.
            avcodec_send_packet(av_->codec, nullptr);
            flushed_ = true;
            continue;
        }
        if (av_->packet->stream_index == av_->stream) {
            const int sent = avcodec_send_packet(av_->codec, av_->packet);
            if (sent < 0 && sent != AVERROR(EAGAIN)) {
                if (++damagedInARow_ > kMaxDamagedPackets) {
                    av_packet_unref(av_->packet);
                    throw SourceError("媒体数据已损坏",
                                      "too many damaged packets (" + averror(sent) + ")");
                }
            } else {
                damagedInARow_ = 0;
            }
        }
        av_packet_unref(av_->packet);
    }
    return true;
}

} // namespace playback
