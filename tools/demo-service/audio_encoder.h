#pragma once
// Encodes mono 16-bit samples with one of FFmpeg's audio encoders into a list of packets, kept
// in memory so that any run of them can be written into a container later.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/rational.h>
}

namespace demo {

struct AudioFormat {
    const char* encoder; // FFmpeg encoder name, e.g. "wmav2", "real_144"
    int sampleRate;
    int channels;    // the mono input is copied to each channel
    int64_t bitRate; // 0: the encoder's own
};

struct AudioPacket {
    std::string data;
    int64_t pts = 0;
    int64_t duration = 0;
};

struct EncodedAudio {
    std::shared_ptr<const AVCodecParameters> parameters;
    AVRational timeBase{1, 1};
    int frameSamples = 0; // input samples per packet
    std::vector<AudioPacket> packets;
};

// samplesFor(frameSamples) gives the samples, at format.sampleRate, once the encoder has told
// how many samples each packet holds. Throws std::runtime_error when the encoder is missing or
// refuses the format.
EncodedAudio encodeAudio(const AudioFormat& format,
                         const std::function<std::vector<short>(int)>& samplesFor);

} // namespace demo
