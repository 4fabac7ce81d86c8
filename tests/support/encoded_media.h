#pragma once
// Real encoded songs for player tests, made here with FFmpeg's own encoders: a tone as WMA 2 in
// ASF, RealAudio 1.0 in RealMedia, or MP3 (LAME). Nothing is taken from elsewhere.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace testsupport {

enum class Tone { Wma, Rm, Mp3 };

inline void fillTone(AVFrame* frame, std::int64_t first, int rate)
{
    const int channels = frame->ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    for (int i = 0; i < frame->nb_samples; ++i) {
        const double v = 0.3 * std::sin(2 * M_PI * 440.0 * double(first + i) / rate);
        for (int c = 0; c < channels; ++c) {
            const int plane = planar ? c : 0;
            const int at = planar ? i : i * channels + c;
            switch (av_get_packed_sample_fmt(format)) {
            case AV_SAMPLE_FMT_S16:
                reinterpret_cast<int16_t*>(frame->data[plane])[at] = int16_t(v * 32767);
                break;
            case AV_SAMPLE_FMT_S32:
                reinterpret_cast<int32_t*>(frame->data[plane])[at] = int32_t(v * 2147483647.0);
                break;
            case AV_SAMPLE_FMT_FLT:
                reinterpret_cast<float*>(frame->data[plane])[at] = float(v);
                break;
            default:
                throw std::runtime_error("sample format not handled");
            }
        }
    }
}

// seconds of a 440 Hz tone in the given form, as the bytes of a file.
inline std::string encodedTone(Tone tone, double seconds)
{
    const char* container = tone == Tone::Wma ? "asf" : tone == Tone::Rm ? "rm" : "mp3";
    const char* encoderName = tone == Tone::Wma  ? "wmav2"
                              : tone == Tone::Rm ? "real_144"
                                                 : "libmp3lame";
    const int rate = tone == Tone::Rm ? 8000 : 44100;
    const int channels = tone == Tone::Rm ? 1 : 2;
    char path[] = "/tmp/corvale-tone-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        throw std::runtime_error("no temporary file");
    close(fd);

    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    AVFormatContext* out = nullptr;
    if (!codec || avformat_alloc_output_context2(&out, nullptr, container, path) < 0)
        throw std::runtime_error(std::string("cannot encode ") + encoderName);
    AVStream* stream = avformat_new_stream(out, nullptr);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_fmt = codec->sample_fmts[0];
    ctx->sample_rate = rate;
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->bit_rate = tone == Tone::Rm ? 8000 : 64000;
    ctx->time_base = {1, rate};
    if (out->oformat->flags & AVFMT_GLOBALHEADER)
        ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        throw std::runtime_error(std::string("cannot open ") + encoderName);
    avcodec_parameters_from_context(stream->codecpar, ctx);
    stream->time_base = ctx->time_base;
    if (avio_open(&out->pb, path, AVIO_FLAG_WRITE) < 0 || avformat_write_header(out, nullptr) < 0)
        throw std::runtime_error("cannot write the header");

    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto drain = [&] {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            av_packet_rescale_ts(packet, ctx->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(out, packet);
        }
    };
    const std::int64_t total = std::int64_t(seconds * rate);
    const int frameSize = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    for (std::int64_t done = 0; done < total; done += frameSize) {
        frame->format = ctx->sample_fmt;
        frame->sample_rate = rate;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        frame->nb_samples = frameSize;
        av_frame_get_buffer(frame, 0);
        fillTone(frame, done, rate);
        frame->pts = done;
        avcodec_send_frame(ctx, frame);
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    av_write_trailer(out);
    avio_closep(&out->pb);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    avformat_free_context(out);

    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path);
    return bytes;
}

} // namespace testsupport
