#pragma once
// One entry being decoded on a thread of its own: the address is opened (a file or HTTP in
// byte ranges), decoded, and the samples queued for the output. A .ram address is read as a
// list instead, and its entries are reported back. The session reports through callbacks that
// run on its thread; abort() ends it promptly, whatever it is waiting for.
#include "player/playback/audio_decoder.h"
#include "player/playback/pcm_queue.h"
#include "player/ram_list.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace playback {

struct SessionCallbacks {
    // durationSeconds: 0 when unknown; seekable: the entry can be moved to another time.
    std::function<void(double durationSeconds, bool seekable)> opened;
    std::function<void(const std::string& userText, const std::string& logText)> failed;
    std::function<void(std::vector<player::RamItem> items)> listOpened;
};

class DecodeSession {
public:
    // startSeconds: where decoding begins (a seek is a new session from there).
    DecodeSession(std::string address, PcmFormat format, SourceOptions options,
                  SessionCallbacks callbacks, double startSeconds = 0);
    ~DecodeSession(); // aborts and joins
    DecodeSession(const DecodeSession&) = delete;
    DecodeSession& operator=(const DecodeSession&) = delete;

    void abort();
    bool ended() const { return ended_.load(); }
    PcmQueue& queue() { return queue_; }

private:
    void run();
    void decode();
    void openList();

    std::string address_;
    PcmFormat format_;
    SourceOptions options_;
    SessionCallbacks callbacks_;
    double startSeconds_;
    std::atomic<bool> abort_{false};
    std::atomic<bool> ended_{false};
    PcmQueue queue_;
    std::thread thread_; // last: starts when everything else is ready
};

} // namespace playback
