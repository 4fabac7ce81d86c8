#include "audio_encoder.h"

#include <algorithm>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

namespace demo {
namespace {

struct ContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ParametersFree {
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};

void fail(const std::string& what)
{
    throw std::runtime_error("audio encoder: " + what);
}

// Copies samples[from, from + frame->nb_samples) into every channel of the frame, zeros past
// the end.
void fill(AVFrame* frame, const std::vector<short>& samples, size_t from)
{
    const int channels = frame->ch_layout.nb_channels;
    for (int i = 0; i < frame->nb_samples; ++i) {
        const size_t at = from + static_cast<size_t>(i);
        const short s = at < samples.size() ? samples[at] : short{0};
        for (int ch = 0; ch < channels; ++ch) {
            switch (frame->format) {
            case AV_SAMPLE_FMT_S16:
                reinterpret_cast<int16_t*>(frame->data[0])[i * channels + ch] = s;
                break;
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<int16_t*>(frame->data[ch])[i] = s;
                break;
            case AV_SAMPLE_FMT_FLT:
                reinterpret_cast<float*>(frame->data[0])[i * channels + ch] =
                    static_cast<float>(s) / 32768.0f;
                break;
            case AV_SAMPLE_FMT_FLTP:
                reinterpret_cast<float*>(frame->data[ch])[i] = static_cast<float>(s) / 32768.0f;
                break;
            default:
                fail("unsupported sample format");
            }
        }
    }
}

void drain(AVCodecContext* context, AVPacket* packet, EncodedAudio& out)
{
    for (;;) {
        const int r = avcodec_receive_packet(context, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        if (r < 0)
            fail("receiving a packet failed");
        out.packets.push_back({std::string(reinterpret_cast<const char*>(packet->data),
                                           static_cast<size_t>(packet->size)),
                               packet->pts, packet->duration});
        av_packet_unref(packet);
    }
}

} // namespace

EncodedAudio encodeAudio(const AudioFormat& format,
                         const std::function<std::vector<short>(int)>& samplesFor)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(format.encoder);
    if (!codec)
        fail(std::string("no encoder ") + format.encoder);
    std::unique_ptr<AVCodecContext, ContextFree> context(avcodec_alloc_context3(codec));
    if (!context)
        fail("out of memory");
    AVCodecContext* c = context.get();
    c->sample_rate = format.sampleRate;
    av_channel_layout_default(&c->ch_layout, format.channels);
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    if (format.bitRate > 0)
        c->bit_rate = format.bitRate;
    c->time_base = AVRational{1, format.sampleRate};
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (avcodec_open2(c, codec, nullptr) < 0)
        fail(std::string("cannot open ") + format.encoder);

    EncodedAudio out;
    std::unique_ptr<AVCodecParameters, ParametersFree> parameters(avcodec_parameters_alloc());
    if (!parameters || avcodec_parameters_from_context(parameters.get(), c) < 0)
        fail("cannot copy the codec parameters");
    out.parameters =
        std::shared_ptr<const AVCodecParameters>(parameters.release(), ParametersFree{});
    out.timeBase = c->time_base;
    out.frameSamples = c->frame_size > 0 ? c->frame_size : 1024;

    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!frame || !packet)
        fail("out of memory");
    frame->format = c->sample_fmt;
    frame->sample_rate = c->sample_rate;
    frame->nb_samples = out.frameSamples;
    if (av_channel_layout_copy(&frame->ch_layout, &c->ch_layout) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0)
        fail("cannot allocate a frame");

    const std::vector<short> monoSamples = samplesFor(out.frameSamples);
    for (size_t from = 0; from < monoSamples.size();
         from += static_cast<size_t>(out.frameSamples)) {
        if (av_frame_make_writable(frame.get()) < 0)
            fail("cannot write a frame");
        fill(frame.get(), monoSamples, from);
        frame->pts = static_cast<int64_t>(from);
        if (avcodec_send_frame(c, frame.get()) < 0)
            fail("sending a frame failed");
        drain(c, packet.get(), out);
    }
    if (avcodec_send_frame(c, nullptr) < 0)
        fail("flushing failed");
    drain(c, packet.get(), out);
    return out;
}

} // namespace demo
