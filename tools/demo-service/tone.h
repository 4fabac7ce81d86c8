#pragma once
// Short sample songs: a few seconds of melody encoded as MPEG-1 Layer III (CBR, no tag frame),
// so that copies of one can be joined back to back into a longer playable file.
#include <string>

namespace demo {

inline constexpr int kToneVariants = 3;
// The encoded melody of variant 0..kToneVariants-1; encoded once, on first use.
const std::string& toneMp3(int variant);

} // namespace demo
