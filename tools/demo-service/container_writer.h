#pragma once
// Writes encoded audio packets into a container file held in memory, with FFmpeg's muxers.
#include "audio_encoder.h"

#include <string>
#include <utility>
#include <vector>

namespace demo {

// The packets [first, end) of audio, their times moved to start at zero, in the muxer's format
// ("asf", "rm"), with tags such as {"title", ...}. The same input gives the same bytes.
// Throws std::runtime_error when the muxer refuses.
std::string writeContainer(const char* muxer, const EncodedAudio& audio, size_t first, size_t end,
                           const std::vector<std::pair<std::string, std::string>>& tags);

} // namespace demo
