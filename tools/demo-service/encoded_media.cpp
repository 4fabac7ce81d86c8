#include "encoded_media.h"

#include "audio_encoder.h"
#include "catalogue.h"
#include "container_writer.h"
#include "realmedia_times.h"
#include "tone.h"

#include <array>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace demo {
namespace {

constexpr int kRm = 1;
constexpr int kWma = 2;
constexpr int kAsf = 3;

// A song is a run of whole notes of a loop of the three melodies, starting on a melody's first
// note: 32 to 64 notes, 11.2 s to 22.4 s.
constexpr int kShortestNotes = 32;
constexpr int kNoteChoices = 33;
// Packets encoded ahead of the loop, from its end, and after it, from its start, so that the
// encoder sees what surrounds each end as it is played in a loop: the loop joins without a seam.
constexpr int kLeadPackets = 4;

struct TypeFormat {
    AudioFormat audio;
    const char* muxer;
};

// .wma: WMA 2 at CD rate in stereo; .asf: WMA 1, mono at half rate; .rm: RealAudio 1.0
// (14.4K), which is 8 kHz mono only.
TypeFormat formatOf(int type)
{
    switch (type) {
    case kRm:
        return {{"real_144", 8000, 1, 0}, "rm"};
    case kWma:
        return {{"wmav2", 44100, 2, 128000}, "asf"};
    default:
        return {{"wmav1", 22050, 1, 48000}, "asf"};
    }
}

// The melodies of every variant in turn, with silence to a whole number of packets.
std::vector<short> melodyRound(int sampleRate, int frameSamples)
{
    std::vector<short> round;
    for (int v = 0; v < kToneVariants; ++v) {
        const std::vector<short> melody = melodyPcm(v, sampleRate);
        round.insert(round.end(), melody.begin(), melody.end());
    }
    const size_t frame = static_cast<size_t>(frameSamples);
    round.resize((round.size() + frame - 1) / frame * frame, 0);
    return round;
}

// The packets of one round of the melodies, which can be played in a loop.
struct Loop {
    EncodedAudio audio; // its packets are the loop's, in order
    double packetSeconds = 0;
    int melodyPackets = 0; // packets from one melody's start to the next one's (rounded down)
};

Loop encodeLoop(const AudioFormat& format)
{
    int64_t leadIn = 0;
    int64_t roundSamples = 0;
    EncodedAudio audio = encodeAudio(format, [&](int frameSamples) {
        const std::vector<short> round = melodyRound(format.sampleRate, frameSamples);
        leadIn = static_cast<int64_t>(kLeadPackets) * frameSamples;
        roundSamples = static_cast<int64_t>(round.size());
        std::vector<short> samples(round.end() - leadIn, round.end());
        samples.insert(samples.end(), round.begin(), round.end());
        samples.insert(samples.end(), round.begin(), round.begin() + leadIn);
        return samples;
    });
    // Keep the packets that hold the round itself.
    std::vector<AudioPacket> round;
    for (AudioPacket& p : audio.packets)
        if (p.pts >= leadIn && p.pts < leadIn + roundSamples)
            round.push_back(std::move(p));
    audio.packets = std::move(round);
    Loop loop;
    loop.packetSeconds = static_cast<double>(audio.frameSamples) / format.sampleRate;
    loop.melodyPackets = static_cast<int>(kMelodyNotes * kNoteSeconds / loop.packetSeconds);
    loop.audio = std::move(audio);
    return loop;
}

const Loop& loopOf(int type)
{
    static std::array<std::once_flag, 5> once;
    static std::array<Loop, 5> loops;
    const auto index = static_cast<size_t>(type);
    std::call_once(once[index], [&] { loops[index] = encodeLoop(formatOf(type).audio); });
    return loops[index];
}

std::string stemOf(const std::string& fileName)
{
    return fileName.substr(0, fileName.find('.'));
}

} // namespace

std::string encodedMedia(int type, const std::string& fileName)
{
    const Loop& loop = loopOf(type);
    const uint64_t h = hash64(fileName);
    const auto startMelody = static_cast<size_t>(h % kToneVariants);
    const double seconds =
        (kShortestNotes + static_cast<double>((h >> 8) % kNoteChoices)) * kNoteSeconds;
    const auto count = static_cast<size_t>(std::ceil(seconds / loop.packetSeconds));

    EncodedAudio song;
    song.parameters = loop.audio.parameters;
    song.timeBase = loop.audio.timeBase;
    song.frameSamples = loop.audio.frameSamples;
    const std::vector<AudioPacket>& packets = loop.audio.packets;
    if (packets.empty())
        throw std::runtime_error("no encoded packets for " + fileName);
    song.packets.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at =
            (startMelody * static_cast<size_t>(loop.melodyPackets) + i) % packets.size();
        song.packets.push_back(
            {packets[at].data, static_cast<int64_t>(i) * song.frameSamples, song.frameSamples});
    }
    const TypeFormat format = formatOf(type);
    std::string bytes =
        writeContainer(format.muxer, song, 0, count,
                       {{"title", stemOf(fileName)}, {"author", "Corvale demo service"}});
    if (type == kRm) // the muxer cannot time RealAudio 1.0 frames itself
        fillRealMediaTimes(bytes, loop.packetSeconds * 1000.0);
    return bytes;
}

uint64_t encodedMediaSize(int type, const std::string& fileName)
{
    static std::mutex mutex;
    static std::unordered_map<std::string, uint64_t> sizes;
    {
        std::lock_guard lock(mutex);
        const auto it = sizes.find(fileName);
        if (it != sizes.end())
            return it->second;
    }
    const uint64_t size = encodedMedia(type, fileName).size();
    std::lock_guard lock(mutex);
    if (sizes.size() > 100000)
        sizes.clear();
    sizes.emplace(fileName, size);
    return size;
}

} // namespace demo
