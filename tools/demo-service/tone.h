#pragma once
// Short sample songs: a few seconds of melody encoded as MPEG-1 Layer III (CBR, no tag frame),
// so that copies of one can be joined back to back into a longer playable file.
#include <string>
#include <vector>

namespace demo {

inline constexpr int kToneVariants = 3;
inline constexpr int kMelodyNotes = 8;
inline constexpr double kNoteSeconds = 0.35;

// The melody of variant 0..kToneVariants-1 as mono 16-bit samples at the given rate:
// kMelodyNotes notes of kNoteSeconds each.
std::vector<short> melodyPcm(int variant, int rate);
// The encoded melody of variant 0..kToneVariants-1; encoded once, on first use.
const std::string& toneMp3(int variant);

} // namespace demo
