#include "player/playback/decode_session.h"

#include <cstring>

namespace playback {
namespace {

constexpr int kMaxListBytes = 64 * 1024;
constexpr double kQueueSeconds = 2.0;

// The text of a list address, or nothing when the bytes are media rather than text.
std::optional<std::string> readList(const std::string& address, const SourceOptions& options)
{
    try {
        std::unique_ptr<ByteSource> source = openByteSource(address, options);
        std::string text(kMaxListBytes, '\0');
        int filled = 0;
        while (filled < kMaxListBytes) {
            const int n = source->read(reinterpret_cast<std::uint8_t*>(text.data()) + filled,
                                       kMaxListBytes - filled);
            if (n <= 0)
                break;
            filled += n;
        }
        text.resize(static_cast<size_t>(filled));
        if (text.find('\0') != std::string::npos)
            return std::nullopt;
        return text;
    } catch (const SourceError& e) {
        throw player::RamFetchError{e.what(), e.userText()};
    }
}

} // namespace

DecodeSession::DecodeSession(std::string address, PcmFormat format, SourceOptions options,
                             SessionCallbacks callbacks, double startSeconds)
    : address_(std::move(address)), format_(format), options_(options),
      callbacks_(std::move(callbacks)), startSeconds_(startSeconds),
      queue_(static_cast<std::size_t>(kQueueSeconds * format.sampleRate * format.channels))
{
    options_.abort = &abort_;
    thread_ = std::thread([this] { run(); });
}

DecodeSession::~DecodeSession()
{
    abort();
    thread_.join();
}

void DecodeSession::abort()
{
    abort_.store(true);
    queue_.wake();
}

void DecodeSession::run()
{
    if (player::namesRamList(address_))
        openList();
    else
        decode();
    ended_.store(true);
}

void DecodeSession::openList()
{
    std::vector<player::RamItem> items = player::expandRamList(
        address_, [this](const std::string& address) { return readList(address, options_); });
    if (!abort_.load())
        callbacks_.listOpened(std::move(items));
}

void DecodeSession::decode()
{
    try {
        AudioDecoder decoder(openByteSource(address_, options_), address_, format_, &abort_);
        if (abort_.load())
            return;
        if (startSeconds_ > 0 && !decoder.seekTo(startSeconds_))
            throw SourceError("无法跳转到该位置", "seek failed");
        callbacks_.opened(decoder.durationSeconds(), decoder.seekable());
        std::vector<std::int16_t> pcm;
        std::int64_t total = 0;
        for (;;) {
            pcm.clear();
            const bool more = decoder.decodeMore(pcm);
            total += static_cast<std::int64_t>(pcm.size());
            if (!pcm.empty() && !queue_.push(pcm.data(), pcm.size(), abort_))
                return; // aborted
            if (!more)
                break;
        }
        if (total == 0 && startSeconds_ <= 0) { // a seek to the very end finds nothing left
            callbacks_.failed("没有可播放的声音", "no audio decoded");
            return;
        }
        queue_.finish();
    } catch (const SourceError& e) {
        if (!abort_.load())
            callbacks_.failed(e.userText(), e.what());
    }
}

} // namespace playback
