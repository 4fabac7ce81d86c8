#include "player/playback/playback_engine.h"

#include "player/playback/player_log.h"
#include "player/ram_list.h"

#include <algorithm>

namespace playback {
namespace {

const QString kCannotPlayHere = QStringLiteral("此格式无法在本机播放");

} // namespace

PlaybackEngine::PlaybackEngine(EngineOptions options, QObject* parent)
    : QObject(parent), options_(options), output_(makeAudioOutput(options.forceSilent))
{
    output_->setVolume(volume_);
    ticker_.setInterval(options_.tickMs);
    ticker_.setTimerType(Qt::CoarseTimer);
    connect(&ticker_, &QTimer::timeout, this, &PlaybackEngine::tick);
}

PlaybackEngine::~PlaybackEngine()
{
    ticker_.stop();
    if (session_)
        session_->abort();
    for (auto& s : retiring_)
        s->abort();
    session_.reset(); // joins: the threads end before the engine they report to
    retiring_.clear();
}

void PlaybackEngine::setEntries(std::vector<Entry> entries)
{
    retireSession();
    entries_ = std::move(entries);
    index_ = -1;
    notice_.clear();
    setState(State::Idle);
}

void PlaybackEngine::play()
{
    switch (state_) {
    case State::Paused:
        output_->resume();
        setState(opened_ ? State::Playing : State::Connecting);
        break;
    case State::Stopped:
        startEntry(index_ < 0 ? 0 : index_);
        break;
    case State::Idle:
    case State::Ended:
        startEntry(0);
        break;
    case State::Connecting:
    case State::Playing:
        break;
    }
}

void PlaybackEngine::pause()
{
    if (state_ != State::Playing && state_ != State::Connecting)
        return;
    output_->pause();
    setState(State::Paused);
}

void PlaybackEngine::stop()
{
    if (state_ == State::Idle || state_ == State::Ended || state_ == State::Stopped)
        return;
    retireSession();
    output_->restart();
    duration_ = 0;
    setState(State::Stopped);
}

void PlaybackEngine::next()
{
    if (entries_.empty())
        return;
    if (state_ == State::Paused) // the next song is to be heard, not waiting paused
        state_ = State::Connecting;
    startEntry(index_ + 1);
}

void PlaybackEngine::previous()
{
    if (index_ <= 0)
        return;
    if (state_ == State::Paused)
        state_ = State::Connecting;
    startEntry(std::min(index_, static_cast<int>(entries_.size())) - 1);
}

double PlaybackEngine::position() const
{
    if (!session_)
        return 0;
    return startSeconds_ +
           static_cast<double>(output_->framesPlayed()) / output_->format().sampleRate;
}

bool PlaybackEngine::seek(double seconds)
{
    if (!canSeek() || index_ < 0 || index_ >= static_cast<int>(entries_.size()))
        return false;
    const double to = std::clamp(seconds, 0.0, duration_);
    const double duration = duration_;
    startEntry(index_, to);
    // The length and seekability stay known while the entry opens again at its new place.
    duration_ = duration;
    seekable_ = true;
    emit seeked(to);
    emit changed();
    return true;
}

void PlaybackEngine::setVolume(double volume)
{
    const double v = std::clamp(volume, 0.0, 1.0);
    if (v == volume_)
        return;
    volume_ = v;
    output_->setVolume(v);
    emit changed();
}

QString PlaybackEngine::statusText() const
{
    return statusTextFor(state_, entries_.empty(), output_->silent());
}

QString PlaybackEngine::statusTextFor(State state, bool emptyList, bool silent)
{
    QString text;
    switch (state) {
    case State::Idle:
    case State::Stopped:
        text = emptyList ? QStringLiteral("播放列表中没有歌曲") : QStringLiteral("已停止");
        break;
    case State::Connecting:
        text = QStringLiteral("正在连接…");
        break;
    case State::Playing:
        text = QStringLiteral("正在播放");
        break;
    case State::Paused:
        text = QStringLiteral("已暂停");
        break;
    case State::Ended:
        text = QStringLiteral("播放完毕");
        break;
    }
    if (silent && (state == State::Playing || state == State::Paused))
        text += QStringLiteral(" · 无音频设备");
    return text;
}

void PlaybackEngine::retireSession()
{
    ++generation_;
    ticker_.stop();
    if (session_) {
        session_->abort();
        retiring_.push_back(std::move(session_));
    }
    // Sessions that have ended are joined now; the others end in the background.
    std::erase_if(retiring_, [](const std::unique_ptr<DecodeSession>& s) { return s->ended(); });
    opened_ = false;
    seekable_ = false;
    startSeconds_ = 0;
    audioStartedSent_ = false;
    lastWholeSecond_ = -1;
}

void PlaybackEngine::startEntry(int index, double fromSeconds)
{
    retireSession();
    startSeconds_ = fromSeconds;
    duration_ = 0;
    output_->restart();
    if (index >= static_cast<int>(entries_.size())) {
        index_ = static_cast<int>(entries_.size());
        setState(State::Ended);
        return;
    }
    index_ = index;
    Entry& entry = entries_[static_cast<size_t>(index)];
    if (!entry.failure.isEmpty()) { // already known not to play (a list that could not be read)
        failEntry(index, entry.failure, entry.failure);
        return;
    }
    const std::string address = entry.address.toStdString();
    switch (player::addressKind(address)) {
    case player::AddressKind::Streaming:
        failEntry(index, kCannotPlayHere, QStringLiteral("streaming protocol not served here"));
        return;
    case player::AddressKind::Unknown:
        failEntry(index, QStringLiteral("无法识别的地址"),
                  QStringLiteral("unknown address scheme"));
        return;
    default:
        break;
    }
    const quint64 generation = generation_;
    SessionCallbacks callbacks;
    callbacks.opened = [this, generation](double duration, bool seekable) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, duration, seekable] { onOpened(generation, duration, seekable); },
            Qt::QueuedConnection);
    };
    callbacks.failed = [this, generation](const std::string& user, const std::string& log) {
        const QString userText = QString::fromStdString(user);
        const QString logText = QString::fromStdString(log);
        QMetaObject::invokeMethod(
            this,
            [this, generation, userText, logText] { onFailed(generation, userText, logText); },
            Qt::QueuedConnection);
    };
    callbacks.listOpened = [this, generation](std::vector<player::RamItem> items) {
        QMetaObject::invokeMethod(
            this, [this, generation, items = std::move(items)] { onListOpened(generation, items); },
            Qt::QueuedConnection);
    };
    session_ = std::make_unique<DecodeSession>(address, output_->format(), options_.source,
                                               std::move(callbacks), fromSeconds);
    if (state_ == State::Paused) {
        output_->pause();
        setState(State::Paused);
    } else {
        output_->resume();
        setState(State::Connecting);
    }
}

void PlaybackEngine::failEntry(int index, const QString& userText, const QString& logText)
{
    const QString address = entries_[static_cast<size_t>(index)].address;
    entries_[static_cast<size_t>(index)].failure = userText;
    qCDebug(lcPlayer).noquote() << QStringLiteral("cannot play %1: %2").arg(address, logText);
    notice_ = userText + QStringLiteral("：") + address;
    if (state_ != State::Paused)
        state_ = State::Connecting; // on the way to the next entry
    emit entryFailed(index, address, userText);
    // On to the next entry, from the event loop: a long list of bad entries never recurses.
    const quint64 generation = ++generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation, index] {
            if (generation == generation_ && index == index_)
                startEntry(index + 1);
        },
        Qt::QueuedConnection);
    emit changed();
}

void PlaybackEngine::onOpened(quint64 generation, double duration, bool seekable)
{
    if (generation != generation_)
        return;
    opened_ = true;
    duration_ = duration;
    seekable_ = seekable;
    if (state_ == State::Connecting)
        setState(State::Playing);
    else
        emit changed();
}

void PlaybackEngine::onFailed(quint64 generation, const QString& userText, const QString& logText)
{
    if (generation != generation_)
        return;
    failEntry(index_, userText, logText);
}

void PlaybackEngine::onListOpened(quint64 generation, const std::vector<player::RamItem>& items)
{
    if (generation != generation_ || items.empty())
        return;
    const Entry list = entries_[static_cast<size_t>(index_)];
    std::vector<Entry> opened;
    opened.reserve(items.size());
    for (const player::RamItem& item : items)
        opened.push_back({QString::fromStdString(item.address), list.title,
                          QString::fromStdString(item.userFailure)});
    // The list's entries take its place; one that could not be opened keeps its reason and is
    // told (and logged) when its turn comes.
    entries_.erase(entries_.begin() + index_);
    entries_.insert(entries_.begin() + index_, opened.begin(), opened.end());
    startEntry(index_);
}

void PlaybackEngine::tick()
{
    if (!session_)
        return;
    if (state_ == State::Playing)
        output_->feed(session_->queue());
    const std::int64_t frames = output_->framesPlayed();
    if (frames > 0 && !audioStartedSent_) {
        audioStartedSent_ = true;
        emit audioStarted(index_);
    }
    const qint64 second = frames / output_->format().sampleRate;
    if (state_ == State::Playing && second != lastWholeSecond_) {
        lastWholeSecond_ = second;
        qCDebug(lcPlayer).noquote() << QStringLiteral("position %1 s of %2")
                                           .arg(second)
                                           .arg(entries_[static_cast<size_t>(index_)].address);
        emit changed();
    }
    if (state_ == State::Playing && session_->queue().drained() && output_->holdsNothing())
        startEntry(index_ + 1);
}

void PlaybackEngine::setState(State state)
{
    state_ = state;
    // The output is fed only while something is to be heard.
    const bool running = session_ && (state == State::Connecting || state == State::Playing);
    if (!running) {
        ticker_.stop();
    } else if (!ticker_.isActive()) {
        ticker_.start();
    }
    emit changed();
}

} // namespace playback
