#pragma once
// The RealAudio (.rm), WMA (.wma) and ASF (.asf) songs: one round of the generated melodies
// encoded once per type, on first use, as a loop of packets; each file a run of 11 to 23
// seconds of that loop in its container, tagged with its name.
#include <cstdint>
#include <string>

namespace demo {

// type is the index into kTypes of rm, wma or asf. The same name gives the same bytes.
std::string encodedMedia(int type, const std::string& fileName);
// The size of encodedMedia(type, fileName), remembered once known.
uint64_t encodedMediaSize(int type, const std::string& fileName);

} // namespace demo
