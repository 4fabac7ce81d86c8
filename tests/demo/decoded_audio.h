#pragma once
// Decodes a whole media file held in memory with FFmpeg's libraries, for checking what the demo
// service serves: the container and codec FFmpeg finds, how long the decoded audio runs and how
// loud it gets.
#include <string>

namespace demo_test {

struct DecodedAudio {
    std::string error; // empty when the file opened and decoded to its end
    std::string formatName;
    std::string codecName;
    int sampleRate = 0;
    double seconds = 0;   // decoded samples / sample rate
    double packetEnd = 0; // where the last packet ends by the container's timestamps, seconds
    double duration = 0;  // the container's own duration, seconds (0 when it gives none)
    double peak = 0;      // largest sample magnitude, 1.0 full scale
    int decodeErrors = 0; // packets the decoder refused
};

DecodedAudio decodeAudio(const std::string& bytes);

} // namespace demo_test
