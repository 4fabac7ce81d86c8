#pragma once
// The media files under /media/: their sizes are known without making them, and their bytes
// are the same on every request. MP3 files are real, playable audio; the other types are bytes
// of plausible form and size.
#include <cstdint>
#include <optional>
#include <string>

namespace demo {

// The type index (0 mp3 .. 4 ram) of a media file name, or nothing for an unknown extension or
// a name with anything but letters, digits, '_', '-' and one '.'.
std::optional<int> mediaType(const std::string& fileName);
uint64_t mediaSize(const std::string& fileName, const std::string& host);
std::string mediaContent(const std::string& fileName, const std::string& host);

// The size as the result pages write it: four characters and the unit, e.g. "2.34M", "48.5K".
std::string sizeText(uint64_t bytes);

} // namespace demo
