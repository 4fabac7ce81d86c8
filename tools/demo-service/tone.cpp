#include "tone.h"

#include <lame/lame.h>

#include <array>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace demo {
namespace {

constexpr int kRate = 44100;

} // namespace

std::vector<short> melodyPcm(int variant, int rate)
{
    // Pentatonic steps above A3; each variant walks them in its own order.
    static const double steps[] = {0, 2, 4, 7, 9, 12, 14, 16};
    static const int orders[kToneVariants][kMelodyNotes] = {
        {0, 2, 4, 5, 4, 2, 3, 0}, {5, 4, 3, 2, 1, 2, 4, 5}, {0, 3, 1, 4, 2, 5, 3, 7}};
    const int noteSamples = static_cast<int>(kNoteSeconds * rate);
    std::vector<short> pcm;
    pcm.reserve(static_cast<size_t>(noteSamples) * kMelodyNotes);
    for (int n = 0; n < kMelodyNotes; ++n) {
        const double f = 220.0 * std::pow(2.0, steps[orders[variant % kToneVariants][n]] / 12.0);
        for (int i = 0; i < noteSamples; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double attack = std::min(1.0, t / 0.01);
            const double decay = std::exp(-3.0 * t);
            const double wave = std::sin(2 * M_PI * f * t) + 0.3 * std::sin(4 * M_PI * f * t);
            pcm.push_back(static_cast<short>(9000.0 * attack * decay * wave));
        }
    }
    return pcm;
}

namespace {

std::string encode(const std::vector<short>& pcm)
{
    lame_global_flags* lame = lame_init();
    if (!lame)
        throw std::runtime_error("lame_init failed");
    lame_set_in_samplerate(lame, kRate);
    lame_set_out_samplerate(lame, kRate);
    lame_set_num_channels(lame, 1);
    lame_set_mode(lame, MONO);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 0); // plain frames only: copies join into one stream
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw std::runtime_error("lame_init_params failed");
    }
    std::vector<unsigned char> out(pcm.size() * 5 / 4 + 7200 + 7200);
    int n = lame_encode_buffer(lame, pcm.data(), pcm.data(), static_cast<int>(pcm.size()),
                               out.data(), static_cast<int>(out.size()));
    if (n < 0) {
        lame_close(lame);
        throw std::runtime_error("lame_encode_buffer failed");
    }
    const int tail = lame_encode_flush(lame, out.data() + n, static_cast<int>(out.size()) - n);
    lame_close(lame);
    if (tail < 0)
        throw std::runtime_error("lame_encode_flush failed");
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n + tail));
}

} // namespace

const std::string& toneMp3(int variant)
{
    static std::once_flag once;
    static std::array<std::string, kToneVariants> tones;
    std::call_once(once, [] {
        for (int v = 0; v < kToneVariants; ++v)
            tones[static_cast<size_t>(v)] = encode(melodyPcm(v, kRate));
    });
    return tones[static_cast<size_t>(variant % kToneVariants)];
}

} // namespace demo
