#pragma once
// Decodes the first audio stream of a byte source with FFmpeg (libavformat demuxes MP3, ASF /
// WMA, RealMedia and the rest; libavcodec decodes; libswresample converts) into interleaved
// signed 16-bit samples at the rate and channel count the output asks for.
#include "player/playback/byte_source.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace playback {

struct PcmFormat {
    int sampleRate = 44100;
    int channels = 2;
    bool operator==(const PcmFormat&) const = default;
};

class AudioDecoder {
public:
    // Opens the source and its audio stream. addressHint (the address, for its file name
    // extension) helps the format probe. Throws SourceError when nothing playable is found.
    AudioDecoder(std::unique_ptr<ByteSource> source, const std::string& addressHint,
                 PcmFormat output, const std::atomic<bool>* abort);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Appends the next decoded samples (interleaved, output format) to pcm; false at the end of
    // the stream. Throws SourceError for a source that fails or a stream that is broken beyond
    // what skipping a damaged packet mends.
    bool decodeMore(std::vector<std::int16_t>& pcm);

    double durationSeconds() const { return duration_; } // 0 when not known
    // Whether the stream can be moved to another time: a known length over a seekable source.
    bool seekable() const { return duration_ > 0 && source_->canSeek(); }
    // Moves to seconds from the start (the frame at or before it); false when it cannot.
    bool seekTo(double seconds);
    const std::string& codecName() const { return codec_; }

private:
    struct Av;
    std::unique_ptr<Av> av_;
    std::unique_ptr<ByteSource> source_;
    PcmFormat output_;
    const std::atomic<bool>* abort_;
    double duration_ = 0;
    std::string codec_;
    int damagedInARow_ = 0;
    bool flushed_ = false;

    static int readPacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seekSource(void* opaque, std::int64_t offset, int whence);
    static int interrupted(void* opaque);
    void convert(std::vector<std::int16_t>& pcm);
    std::string lastSourceFailure_; // what the source threw inside a callback
    std::string lastSourceFailureText_;
};

} // namespace playback
