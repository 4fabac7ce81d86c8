#include "container_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace demo {
namespace {

void fail(const std::string& what)
{
    throw std::runtime_error("container writer: " + what);
}

// A seekable output into a string: the muxers go back to complete their headers.
struct MemoryFile {
    std::string bytes;
    int64_t position = 0;
};

// A template: the libraries' versions differ on whether the written bytes are const.
template <typename Byte> int writeBytes(void* opaque, Byte* data, int size)
{
    auto* file = static_cast<MemoryFile*>(opaque);
    const size_t end = static_cast<size_t>(file->position) + static_cast<size_t>(size);
    if (file->bytes.size() < end)
        file->bytes.resize(end);
    std::memcpy(file->bytes.data() + file->position, data, static_cast<size_t>(size));
    file->position = static_cast<int64_t>(end);
    return size;
}

int64_t seekTo(void* opaque, int64_t offset, int whence)
{
    auto* file = static_cast<MemoryFile*>(opaque);
    const auto size = static_cast<int64_t>(file->bytes.size());
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += file->position;
        break;
    case SEEK_END:
        offset += size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    file->position = offset;
    return offset;
}

struct OutputFree {
    void operator()(AVFormatContext* context) const
    {
        if (context->pb) {
            av_freep(&context->pb->buffer);
            avio_context_free(&context->pb);
        }
        avformat_free_context(context);
    }
};

} // namespace

std::string writeContainer(const char* muxer, const EncodedAudio& audio, size_t first, size_t end,
                           const std::vector<std::pair<std::string, std::string>>& tags)
{
    end = std::min(end, audio.packets.size());
    if (first >= end)
        fail("no packets");
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, muxer, nullptr) < 0 || !raw)
        fail(std::string("no muxer ") + muxer);
    std::unique_ptr<AVFormatContext, OutputFree> context(raw);
    context->flags |= AVFMT_FLAG_BITEXACT; // no library version in the file

    MemoryFile file;
    constexpr int kBufferSize = 32768;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer)
        fail("out of memory");
    context->pb = avio_alloc_context(buffer, kBufferSize, 1, &file, nullptr, writeBytes, seekTo);
    if (!context->pb) {
        av_free(buffer);
        fail("out of memory");
    }
    context->flags |= AVFMT_FLAG_CUSTOM_IO;

    AVStream* stream = avformat_new_stream(context.get(), nullptr);
    if (!stream || avcodec_parameters_copy(stream->codecpar, audio.parameters.get()) < 0)
        fail("cannot add the audio stream");
    stream->time_base = audio.timeBase;
    for (const auto& [key, value] : tags)
        av_dict_set(&context->metadata, key.c_str(), value.c_str(), 0);
    if (avformat_write_header(context.get(), nullptr) < 0)
        fail(std::string("cannot write the header of ") + muxer);

    AVPacket* packet = av_packet_alloc();
    if (!packet)
        fail("out of memory");
    const int64_t zero = audio.packets[first].pts;
    int result = 0;
    for (size_t i = first; i < end && result >= 0; ++i) {
        const AudioPacket& p = audio.packets[i];
        result = av_new_packet(packet, static_cast<int>(p.data.size()));
        if (result < 0)
            break;
        std::memcpy(packet->data, p.data.data(), p.data.size());
        packet->pts = packet->dts = p.pts - zero;
        packet->duration = p.duration;
        packet->flags = AV_PKT_FLAG_KEY;
        packet->stream_index = 0;
        av_packet_rescale_ts(packet, audio.timeBase, stream->time_base);
        result = av_write_frame(context.get(), packet);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (result < 0)
        fail(std::string("cannot write a packet into ") + muxer);
    if (av_write_trailer(context.get()) < 0)
        fail(std::string("cannot finish ") + muxer);
    avio_flush(context->pb);
    return std::move(file.bytes);
}

} // namespace demo
