#include "player/playback/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>
#include <vector>

namespace playback {
namespace {

class SilentOutput : public AudioOutput {
public:
    PcmFormat format() const override { return {}; }
    bool silent() const override { return true; }
    void restart() override
    {
        played_ = 0;
        carryMicros_ = 0;
        clock_.restart();
    }
    void pause() override { paused_ = true; }
    void resume() override
    {
        paused_ = false;
        clock_.restart();
    }
    void feed(PcmQueue& queue) override
    {
        if (paused_)
            return;
        // The time since the last feed, at most a quarter second: a window thread that was busy
        // for longer loses that time instead of racing through the song.
        const qint64 micros = std::min<qint64>(clock_.nsecsElapsed() / 1000, 250000);
        clock_.restart();
        const PcmFormat f = format();
        const qint64 total = micros * f.sampleRate + carryMicros_;
        const qint64 frames = total / 1000000;
        carryMicros_ = total % 1000000;
        const std::size_t taken = queue.take(nullptr, static_cast<std::size_t>(frames) *
                                                          static_cast<std::size_t>(f.channels));
        played_ += static_cast<std::int64_t>(taken) / f.channels;
    }
    std::int64_t framesPlayed() const override { return played_; }
    bool holdsNothing() const override { return true; }
    void setVolume(double) override {} // nothing is heard

private:
    QElapsedTimer clock_;
    std::int64_t played_ = 0;
    qint64 carryMicros_ = 0;
    bool paused_ = false;
};

class DeviceOutput : public AudioOutput {
public:
    explicit DeviceOutput(const QAudioDevice& device)
    {
        QAudioFormat f = device.preferredFormat();
        f.setSampleFormat(QAudioFormat::Int16);
        if (f.sampleRate() <= 0)
            f.setSampleRate(44100);
        f.setChannelCount(std::clamp(f.channelCount(), 1, 2));
        if (!device.isFormatSupported(f)) {
            f.setSampleRate(44100);
            f.setChannelCount(2);
        }
        format_ = {f.sampleRate(), f.channelCount()};
        sink_ = std::make_unique<QAudioSink>(device, f);
        sink_->setBufferSize(f.bytesForDuration(300000));
    }
    PcmFormat format() const override { return format_; }
    bool silent() const override { return false; }
    void restart() override
    {
        sink_->reset();
        io_ = sink_->start();
        written_ = 0;
        if (paused_)
            sink_->suspend();
    }
    void pause() override
    {
        paused_ = true;
        sink_->suspend();
    }
    void resume() override
    {
        paused_ = false;
        sink_->resume();
    }
    void feed(PcmQueue& queue) override
    {
        if (!io_ || paused_)
            return;
        const qsizetype frameBytes = qsizetype{2} * format_.channels;
        const qsizetype frames = sink_->bytesFree() / frameBytes;
        if (frames <= 0)
            return;
        buffer_.resize(static_cast<std::size_t>(frames * format_.channels));
        const std::size_t taken = queue.take(buffer_.data(), buffer_.size());
        if (taken == 0)
            return;
        io_->write(reinterpret_cast<const char*>(buffer_.data()),
                   static_cast<qint64>(taken) * static_cast<qint64>(sizeof(std::int16_t)));
        written_ += static_cast<std::int64_t>(taken) / format_.channels;
    }
    std::int64_t framesPlayed() const override
    {
        const qsizetype frameBytes = qsizetype{2} * format_.channels;
        const std::int64_t queued = (sink_->bufferSize() - sink_->bytesFree()) / frameBytes;
        return std::max<std::int64_t>(0, written_ - queued);
    }
    bool holdsNothing() const override { return sink_->bytesFree() >= sink_->bufferSize(); }
    void setVolume(double volume) override { sink_->setVolume(volume); }

private:
    PcmFormat format_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    std::vector<std::int16_t> buffer_;
    std::int64_t written_ = 0;
    bool paused_ = false;
};

} // namespace

std::unique_ptr<AudioOutput> makeAudioOutput(bool forceSilent)
{
    if (!forceSilent && !QMediaDevices::audioOutputs().isEmpty()) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (!device.isNull())
            return std::make_unique<DeviceOutput>(device);
    }
    return std::make_unique<SilentOutput>();
}

} // namespace playback
