#pragma once
// The media files under /media/: their sizes are known without making them, and their bytes
// are the same on every request. Every file is real, playable audio: MP3 (LAME), RealAudio 1.0
// in RealMedia (.rm), WMA 2 (.wma) and WMA 1 (.asf) in ASF; a .ram lists the http:// addresses
// of .rm files on the host the request came to, one a line.
#include <cstdint>
#include <optional>
#include <string>

namespace demo {

// The type index (0 mp3 .. 4 ram) of a media file name, or nothing for an unknown extension or
// a name with anything but letters, digits, '_', '-' and one '.'.
std::optional<int> mediaType(const std::string& fileName);
uint64_t mediaSize(const std::string& fileName, const std::string& host);
std::string mediaContent(const std::string& fileName, const std::string& host);
// The MD5 of the file's content as 32 lower-case hex digits. MP3 sums come from sums kept per
// melody and number of copies, so listing many files does not read them all.
std::string mediaMd5(const std::string& fileName, const std::string& host);
// Makes the MP3 sums ahead of the first request.
void prepareMp3Sums();

// The size as the result pages write it: four characters and the unit, e.g. "2.34M", "48.5K".
std::string sizeText(uint64_t bytes);

} // namespace demo
