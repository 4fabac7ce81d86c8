#pragma once
// Where decoded samples go: the sound device through Qt Multimedia, or, on a machine without
// one, a silent output that takes the samples at playback speed so that time goes on as if
// they were heard.
#include "player/playback/audio_decoder.h"
#include "player/playback/pcm_queue.h"

#include <cstdint>
#include <memory>

namespace playback {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    virtual PcmFormat format() const = 0;
    virtual bool silent() const = 0; // no sound device: nothing is heard
    // A new entry begins: whatever the output still holds of the last one is dropped and the
    // played count starts again at zero.
    virtual void restart() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Moves as many samples from the queue as the output takes now. Called every few tens of
    // milliseconds while playing.
    virtual void feed(PcmQueue& queue) = 0;
    virtual std::int64_t framesPlayed() const = 0; // since restart
    virtual bool holdsNothing() const = 0;         // everything handed over has been played
    virtual void setVolume(double volume) = 0;     // 0 (silent) to 1 (as decoded)
};

// The default sound device, or the silent output when there is none (or silent is asked for).
std::unique_ptr<AudioOutput> makeAudioOutput(bool forceSilent);

} // namespace playback
