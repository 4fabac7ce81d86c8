#pragma once
// FFmpeg's RealMedia muxer takes a stream's frame length from a table that, in some versions,
// has none for RealAudio 1.0: it then writes every packet's timestamp and the durations as
// zero, and players show no position. This writes them into a finished .rm file in place.
#include <string>

namespace demo {

// rm: a RealMedia file of one audio stream whose packets each hold one frame of frameMs
// milliseconds. Returns false, leaving the file as it was, when its chunks do not read as such.
bool fillRealMediaTimes(std::string& rm, double frameMs);

} // namespace demo
