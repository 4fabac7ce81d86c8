#include "search/archive_search.h"

#include "core/gbk.h"

#include <algorithm>
#include <utility>

namespace search {

namespace {

std::string g(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

std::string trimmed(const std::string& text)
{
    const char* const space = " \t\r\n\f\v";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// The HTTP layer's lines for the user are in the program's code page; its socket lines name the
// system's error, which says nothing more than "check the network" to a user.
std::string causeOf(const std::string& detail)
{
    const std::string cause = trimmed(detail);
    return cause.rfind("Socket Error", 0) == 0 ? std::string() : cause;
}

} // namespace

std::string ArchiveSearch::troubleText(archive::Trouble trouble, const std::string& detail)
{
    using archive::Trouble;
    switch (trouble) {
    case Trouble::Unreachable:
        if (const std::string cause = causeOf(detail); !cause.empty())
            return g("无法连接互联网档案馆：") + cause;
        return g("无法连接互联网档案馆，请检查网络连接");
    case Trouble::ServerError:
        return g("互联网档案馆出错：") + trimmed(detail);
    case Trouble::TooLarge:
        return g("互联网档案馆的回答过大，未读取");
    case Trouble::BadAnswer:
        return g("互联网档案馆的回答无法识别");
    case Trouble::NothingFound:
        return g("互联网档案馆没有找到相关条目");
    }
    return {};
}

std::string ArchiveSearch::searchingCaption()
{
    return g("正在搜索互联网档案馆…");
}

ArchiveSearch::ArchiveSearch(archive::EngineSettings settings) : settings_(std::move(settings)) {}

// The engine's threads end before the state they report to goes.
ArchiveSearch::~ArchiveSearch()
{
    engine_.reset();
}

archive::ArchiveEngine& ArchiveSearch::engine()
{
    if (!engine_) {
        engine_ = std::make_unique<archive::ArchiveEngine>(settings_);
        engine_->setObserver(this);
    }
    return *engine_;
}

std::uint64_t ArchiveSearch::start(std::u16string_view words, int mediaType)
{
    const std::uint64_t id = newSearchId();
    archive::ArchiveEngine& archive = engine();
    {
        std::lock_guard lock(mutex_);
        current_ = id;
        engineSearch_ = 0; // the engine's number is learnt from startSearch or its first news
        idle_ = false;
        numFound_ = -1;
        failedItems_ = 0;
        rows_ = 0;
        mediaType_ = mediaType;
        stopped_ = false;
        failed_ = false;
    }
    if (SearchObserver* o = observer()) {
        o->captionChanged(id, searchingCaption());
        o->progressChanged(id, 0, 0);
    }
    // The archive takes the words as UTF-8.
    const std::string utf8 = core::gbkToUtf8(core::utf16ToGbk(words));
    const std::uint64_t engineSearch = archive.startSearch(utf8, mediaType);
    {
        std::lock_guard lock(mutex_);
        if (current_ == id && engineSearch_ == 0)
            engineSearch_ = engineSearch;
        lastEngineSearch_ = std::max(lastEngineSearch_, engineSearch);
    }
    tell("archive search " + std::to_string(id) + " started for type " + std::to_string(mediaType));
    return id;
}

void ArchiveSearch::nextPage()
{
    bool running = false;
    {
        std::lock_guard lock(mutex_);
        running = current_ != 0;
    }
    if (engine_ && running)
        engine_->scrolledToEnd();
}

void ArchiveSearch::stop()
{
    if (!engine_)
        return;
    {
        std::lock_guard lock(mutex_);
        if (!current_)
            return;
    }
    engine_->stopSearch();
    std::uint64_t id = 0;
    std::string caption;
    bool running = false;
    int rows = 0;
    {
        std::lock_guard lock(mutex_);
        id = current_;
        running = !idle_;
        rows = rows_;
        if (running) {
            stopped_ = true;
            caption = captionLocked();
        }
        current_ = 0;
        engineSearch_ = 0;
        idle_ = true;
    }
    tell("archive search " + std::to_string(id) + " stopped: " + std::to_string(rows) +
         " rows found");
    if (SearchObserver* o = observer()) {
        if (running)
            o->captionChanged(id, caption);
        o->progressChanged(id, 1, 1);
    }
}

std::string ArchiveSearch::captionLocked() const
{
    static const char* const typeNames[] = {"MP3", "RM", "WMA", "ASF", "RAM"};
    std::string caption;
    if (numFound_ >= 0) {
        caption = g(" 搜索结果  ") + std::to_string(numFound_) + g(" 个条目");
        if (idle_ && !stopped_ && rows_ == 0 && numFound_ > 0 && mediaType_ >= 0 && mediaType_ < 5)
            caption += g("，没有 ") + typeNames[mediaType_] + g(" 文件");
        if (failedItems_ > 0)
            caption += g("，") + std::to_string(failedItems_) + g(" 个条目的文件列表未能读取");
    }
    if (stopped_)
        caption += caption.empty() ? g("已停止") : g("，已停止");
    return caption;
}

void ArchiveSearch::tell(const std::string& line) const
{
    if (log)
        log(line);
}

// The engine's news comes under its lock, in order. While startSearch runs, the first news of
// an engine search newer than every one known is the new search's. Returns the seam's number of
// the search the news belongs to, 0 when it is not the current one.
std::uint64_t ArchiveSearch::currentLocked(std::uint64_t search)
{
    if (current_ != 0 && engineSearch_ == 0 && search > lastEngineSearch_)
        engineSearch_ = lastEngineSearch_ = search;
    return current_ != 0 && search == engineSearch_ ? current_ : 0;
}

void ArchiveSearch::searchAnswered(std::uint64_t search, std::int64_t numFound)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t id = currentLocked(search);
    if (!id)
        return;
    numFound_ = numFound;
    const std::string caption = captionLocked();
    lock.unlock();
    if (SearchObserver* o = observer())
        o->captionChanged(id, caption);
}

void ArchiveSearch::rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t id = currentLocked(search);
    if (!id || rows.empty())
        return;
    for (core::SongEntry& row : rows)
        row.caption = std::to_string(++rows_);
    lock.unlock();
    if (SearchObserver* o = observer())
        o->rowsArrived(id, std::move(rows));
}

void ArchiveSearch::searchFailed(std::uint64_t search, archive::Trouble trouble,
                                 const std::string& detail)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t id = currentLocked(search);
    if (!id)
        return;
    failed_ = true;
    lock.unlock();
    const std::string text = troubleText(trouble, detail);
    tell("archive search " + std::to_string(id) + ": " + core::gbkToUtf8(text));
    if (SearchObserver* o = observer())
        o->captionChanged(id, text);
}

void ArchiveSearch::itemFailed(std::uint64_t search, const std::string& identifier,
                               archive::Trouble trouble)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t id = currentLocked(search);
    if (!id)
        return;
    ++failedItems_;
    // Now it is known whether any file was of the type.
    const bool show = numFound_ >= 0 && !failed_;
    const std::string caption = show ? captionLocked() : std::string();
    lock.unlock();
    tell("archive item " + identifier + ": " + core::gbkToUtf8(troubleText(trouble, {})));
    if (SearchObserver* o = observer(); o && show)
        o->captionChanged(id, caption);
}

void ArchiveSearch::searchIdle(std::uint64_t search)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t id = currentLocked(search);
    if (!id)
        return;
    idle_ = true;
    const bool show = numFound_ >= 0;
    const std::string caption = show ? captionLocked() : std::string();
    const int rows = rows_;
    lock.unlock();
    tell("archive search " + std::to_string(id) + " idle: " + std::to_string(rows) + " rows found");
    if (SearchObserver* o = observer()) {
        o->progressChanged(id, 1, 1);
        if (show)
            o->captionChanged(id, caption);
        o->searchIdle(id);
    }
}

} // namespace search
