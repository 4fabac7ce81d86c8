#include "decoded_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace demo_test {
namespace {

struct MemoryInput {
    const std::string* bytes;
    int64_t position = 0;
};

int readBytes(void* opaque, uint8_t* out, int size)
{
    auto* in = static_cast<MemoryInput*>(opaque);
    const int64_t left = static_cast<int64_t>(in->bytes->size()) - in->position;
    if (left <= 0)
        return AVERROR_EOF;
    const int n = static_cast<int>(std::min<int64_t>(left, size));
    std::memcpy(out, in->bytes->data() + in->position, static_cast<size_t>(n));
    in->position += n;
    return n;
}

int64_t seekBytes(void* opaque, int64_t offset, int whence)
{
    auto* in = static_cast<MemoryInput*>(opaque);
    const auto size = static_cast<int64_t>(in->bytes->size());
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += in->position;
        break;
    case SEEK_END:
        offset += size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0 || offset > size)
        return AVERROR(EINVAL);
    return in->position = offset;
}

double samplePeak(const AVFrame* frame)
{
    const int channels = frame->ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int planes = planar ? channels : 1;
    const int perPlane = planar ? frame->nb_samples : frame->nb_samples * channels;
    double peak = 0;
    for (int p = 0; p < planes; ++p)
        for (int i = 0; i < perPlane; ++i) {
            double v = 0;
            switch (av_get_packed_sample_fmt(format)) {
            case AV_SAMPLE_FMT_S16:
                v = reinterpret_cast<const int16_t*>(frame->extended_data[p])[i] / 32768.0;
                break;
            case AV_SAMPLE_FMT_S32:
                v = reinterpret_cast<const int32_t*>(frame->extended_data[p])[i] / 2147483648.0;
                break;
            case AV_SAMPLE_FMT_FLT:
                v = reinterpret_cast<const float*>(frame->extended_data[p])[i];
                break;
            case AV_SAMPLE_FMT_DBL:
                v = reinterpret_cast<const double*>(frame->extended_data[p])[i];
                break;
            default:
                break;
            }
            peak = std::max(peak, std::fabs(v));
        }
    return peak;
}

struct InputClose {
    void operator()(AVFormatContext* c) const
    {
        AVIOContext* io = c->pb;
        avformat_close_input(&c);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
};
struct ContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};

} // namespace

DecodedAudio decodeAudio(const std::string& bytes)
{
    DecodedAudio out;
    MemoryInput input{&bytes};
    constexpr int kBufferSize = 8192;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    AVIOContext* io =
        avio_alloc_context(buffer, kBufferSize, 0, &input, readBytes, nullptr, seekBytes);
    AVFormatContext* raw = avformat_alloc_context();
    raw->pb = io;
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&raw, nullptr, nullptr, nullptr) < 0) {
        // avformat_open_input frees the context on failure, not the custom input.
        av_freep(&io->buffer);
        avio_context_free(&io);
        out.error = "not a media file FFmpeg opens";
        return out;
    }
    std::unique_ptr<AVFormatContext, InputClose> context(raw);
    out.formatName = context->iformat->name;
    if (avformat_find_stream_info(context.get(), nullptr) < 0) {
        out.error = "no stream information";
        return out;
    }
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || !codec) {
        out.error = "no audio stream with a decoder";
        return out;
    }
    out.codecName = codec->name;
    std::unique_ptr<AVCodecContext, ContextFree> decoder(avcodec_alloc_context3(codec));
    if (avcodec_parameters_to_context(decoder.get(), context->streams[stream]->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        out.error = "the decoder does not open";
        return out;
    }
    out.sampleRate = decoder->sample_rate;
    if (context->duration > 0)
        out.duration = static_cast<double>(context->duration) / AV_TIME_BASE;

    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t samples = 0;
    auto receive = [&] {
        while (avcodec_receive_frame(decoder.get(), frame) >= 0) {
            samples += frame->nb_samples;
            out.peak = std::max(out.peak, samplePeak(frame));
            av_frame_unref(frame);
        }
    };
    int r = 0;
    while ((r = av_read_frame(context.get(), packet)) >= 0) {
        if (packet->stream_index == stream) {
            if (packet->pts != AV_NOPTS_VALUE)
                out.packetEnd =
                    std::max(out.packetEnd, static_cast<double>(packet->pts + packet->duration) *
                                                av_q2d(context->streams[stream]->time_base));
            if (avcodec_send_packet(decoder.get(), packet) < 0)
                ++out.decodeErrors;
            receive();
        }
        av_packet_unref(packet);
    }
    if (r != AVERROR_EOF)
        out.error = "reading stopped before the end";
    avcodec_send_packet(decoder.get(), nullptr);
    receive();
    av_frame_free(&frame);
    av_packet_free(&packet);
    if (out.sampleRate > 0)
        out.seconds = static_cast<double>(samples) / out.sampleRate;
    return out;
}

} // namespace demo_test
