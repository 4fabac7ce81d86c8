#include "search/archive_engine.h"

#include "http/http_client.h"
#include "http/redirect_policy.h"
#include "search/archive_rows.h"

#include <algorithm>
#include <charconv>

namespace search::archive {

std::chrono::seconds retryWait(std::string_view retryAfter, std::chrono::seconds longest)
{
    while (!retryAfter.empty() && (retryAfter.front() == ' ' || retryAfter.front() == '\t'))
        retryAfter.remove_prefix(1);
    while (!retryAfter.empty() && (retryAfter.back() == ' ' || retryAfter.back() == '\t'))
        retryAfter.remove_suffix(1);
    long long seconds = 0;
    const auto [end, error] =
        std::from_chars(retryAfter.data(), retryAfter.data() + retryAfter.size(), seconds);
    if (retryAfter.empty() || error == std::errc::invalid_argument ||
        end != retryAfter.data() + retryAfter.size() || seconds < 0)
        return std::chrono::seconds(1);
    if (error == std::errc::result_out_of_range || seconds > longest.count())
        return longest;
    return std::chrono::seconds(seconds);
}

const ItemAnswer* FileListCache::find(const std::string& identifier)
{
    const auto it = byIdentifier_.find(identifier);
    if (it == byIdentifier_.end())
        return nullptr;
    entries_.splice(entries_.begin(), entries_, it->second);
    return &it->second->answer;
}

void FileListCache::evict(std::list<Entry>::iterator entry)
{
    bytes_ -= entry->bytes;
    byIdentifier_.erase(entry->identifier);
    entries_.erase(entry);
}

void FileListCache::put(const std::string& identifier, ItemAnswer answer)
{
    if (const auto old = byIdentifier_.find(identifier); old != byIdentifier_.end())
        evict(old->second);
    const std::size_t bytes = estimatedBytes(identifier, answer);
    if (mostLists_ == 0 || bytes > mostBytes_)
        return;
    while (!entries_.empty() && (entries_.size() >= mostLists_ || bytes_ + bytes > mostBytes_))
        evict(std::prev(entries_.end()));
    entries_.push_front(Entry{identifier, std::move(answer), bytes});
    byIdentifier_.emplace(identifier, entries_.begin());
    bytes_ += bytes;
}

std::size_t FileListCache::estimatedBytes(const std::string& identifier, const ItemAnswer& answer)
{
    // Texts count their characters (a short text lives inside its string), records their size,
    // and each kept list its list and map nodes.
    constexpr std::size_t kNodes = 128;
    std::size_t bytes = sizeof(Entry) + kNodes + 2 * identifier.size() + answer.title.size() +
                        answer.creator.size() + answer.files.capacity() * sizeof(ItemFile);
    for (const ItemFile& f : answer.files)
        bytes += f.name.size() + f.format.size() + f.title.size() + f.creator.size() +
                 f.md5.size() + f.source.size() + f.original.size() + f.track.size();
    return bytes;
}

ArchiveEngine::ArchiveEngine(EngineSettings settings)
    : settings_(std::move(settings)),
      fileLists_(settings_.mostFileLists, settings_.mostFileListBytes)
{
    const int n = std::max(settings_.workers, 1);
    working_.assign(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        auto client = std::make_unique<http::HttpClient>();
        client->host.clear(); // every address names its own host
        client->userAgent = settings_.userAgent;
        client->accept = "application/json";
        client->stallTimeout = settings_.stallTimeout;
        clients_.push_back(std::move(client));
    }
    for (int i = 0; i < n; ++i)
        threads_.emplace_back([this, i] { work(i); });
}

ArchiveEngine::~ArchiveEngine()
{
    {
        std::lock_guard lock(mutex_);
        shutdown_ = true;
        cancelLocked();
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

std::uint64_t ArchiveEngine::startSearch(const std::string& words, int mediaType)
{
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        cancelLocked();
        current_ = Search{};
        current_.id = id = ++lastId_;
        current_.words = words;
        current_.mediaType = mediaType;
        askPageLocked(1);
    }
    wake_.notify_all();
    return id;
}

void ArchiveEngine::stopSearch()
{
    {
        std::lock_guard lock(mutex_);
        cancelLocked();
        current_ = Search{};
    }
    wake_.notify_all();
}

void ArchiveEngine::scrolledToEnd()
{
    {
        std::lock_guard lock(mutex_);
        if (!current_.id)
            return;
        current_.scrolledToEnd = true;
        if (current_.pending.empty() && !current_.pageInFlight &&
            wantNextPage(current_.itemsAsked, current_.numFound, current_.rowsListed, true))
            askPageLocked(current_.lastPage + 1);
    }
    wake_.notify_all();
}

void ArchiveEngine::cancelLocked()
{
    jobs_.clear();
    for (std::size_t w = 0; w < working_.size(); ++w)
        if (working_[w])
            clients_[w]->Disconnect();
}

void ArchiveEngine::askPageLocked(int page)
{
    current_.lastPage = page;
    current_.pageInFlight = true;
    current_.scrolledToEnd = false;
    jobs_.push_back(Job{current_.id, page, 0, {}});
}

void ArchiveEngine::work(int index)
{
    http::HttpClient& client = *clients_[static_cast<std::size_t>(index)];
    while (true) {
        Job job;
        std::string address;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return shutdown_ || !jobs_.empty(); });
            if (shutdown_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            if (cancelled(job.search))
                continue;
            working_[static_cast<std::size_t>(index)] = job.search;
            address = job.page > 0 ? searchAddress(settings_.base, current_.words, job.page)
                                   : itemAddress(settings_.base, job.identifier);
        }
        const Fetched fetched = fetch(client, address, job.search);
        {
            std::lock_guard lock(mutex_);
            working_[static_cast<std::size_t>(index)] = 0;
            if (fetched.kind == Fetched::Kind::Cancelled || cancelled(job.search))
                continue;
            if (job.page > 0)
                pageArrived(job, fetched);
            else
                itemArrived(job, fetched);
        }
        wake_.notify_all();
    }
}

ArchiveEngine::Fetched ArchiveEngine::fetch(http::HttpClient& client, std::string address,
                                            std::uint64_t search)
{
    Fetched fetched;
    int retries = 0;
    int redirects = 0;
    while (true) {
        const int now = ++inFlight_;
        for (int most = mostInFlight_.load(); now > most;)
            mostInFlight_.compare_exchange_weak(most, now);
        ++requestsSent_;
        try {
            fetched.body = client.Get(address, settings_.largestAnswer);
            --inFlight_;
            fetched.kind = Fetched::Kind::Body;
            return fetched;
        } catch (const http::AnswerTooLarge& e) {
            --inFlight_;
            fetched.kind = Fetched::Kind::TooLarge;
            fetched.detail = e.what();
            return fetched;
        } catch (const std::exception& e) {
            --inFlight_;
            fetched.detail = e.what();
        }
        std::unique_lock lock(mutex_);
        if (cancelled(search))
            return Fetched{};
        const long status = client.response().status;
        if ((status == 429 || status == 503) && retries < settings_.retries) {
            ++retries;
            const auto wait =
                retryWait(client.responseHeader("Retry-After"), settings_.longestRetryWait);
            if (wake_.wait_for(lock, wait, [&] { return cancelled(search); }))
                return Fetched{};
            continue;
        }
        const http::Redirect redirect = http::nextRedirect(address, client.response(), redirects);
        if (redirect.kind == http::Redirect::Kind::Follow) {
            ++redirects;
            address = redirect.address;
            continue;
        }
        if (redirect.kind != http::Redirect::Kind::None)
            fetched.detail = http::redirectFailureLine(redirect);
        fetched.kind = status == 0 ? Fetched::Kind::Unreachable : Fetched::Kind::Status;
        return fetched;
    }
}

void ArchiveEngine::pageArrived(const Job& job, const Fetched& fetched)
{
    current_.pageInFlight = false;
    const bool first = job.page == 1;
    if (fetched.kind != Fetched::Kind::Body) {
        observer_->searchFailed(current_.id, troubleOf(fetched), fetched.detail);
        current_.numFound = current_.itemsAsked; // no further page
        flushLocked();
        return;
    }
    const SearchAnswer answer = parseSearchAnswer(fetched.body);
    if (!answer.readable) {
        observer_->searchFailed(current_.id, Trouble::BadAnswer, {});
        current_.numFound = current_.itemsAsked;
        flushLocked();
        return;
    }
    current_.itemsAsked = static_cast<std::int64_t>(job.page) * kItemsPerPage;
    // A page past the end, or a total that shrank, ends the paging.
    current_.numFound = answer.items.empty() ? current_.itemsAsked : answer.numFound;
    if (first) {
        if (answer.items.empty() || answer.numFound == 0) {
            observer_->searchFailed(current_.id, Trouble::NothingFound, {});
            flushLocked();
            return;
        }
        observer_->searchAnswered(current_.id, answer.numFound);
    }
    for (const FoundItem& found : answer.items) {
        const std::size_t slot = current_.firstSlot + current_.pending.size();
        Slot entry{found, false, std::nullopt};
        if (const ItemAnswer* known = fileLists_.find(found.identifier)) {
            entry.done = true;
            entry.answer = *known;
        } else {
            jobs_.push_back(Job{current_.id, 0, slot, found.identifier});
        }
        current_.pending.push_back(std::move(entry));
    }
    flushLocked();
}

void ArchiveEngine::itemArrived(const Job& job, const Fetched& fetched)
{
    if (job.slot < current_.firstSlot || job.slot - current_.firstSlot >= current_.pending.size())
        return;
    Slot& slot = current_.pending[job.slot - current_.firstSlot];
    slot.done = true;
    if (fetched.kind != Fetched::Kind::Body) {
        observer_->itemFailed(current_.id, job.identifier, troubleOf(fetched));
    } else if (ItemAnswer answer = parseItemAnswer(fetched.body); !answer.readable) {
        observer_->itemFailed(current_.id, job.identifier, Trouble::BadAnswer);
    } else {
        fileLists_.put(job.identifier, answer);
        slot.answer = std::move(answer);
    }
    flushLocked();
}

void ArchiveEngine::flushLocked()
{
    while (!current_.pending.empty() && current_.pending.front().done) {
        const Slot& slot = current_.pending.front();
        if (slot.answer) {
            std::vector<core::SongEntry> rows =
                rowsForItem(settings_.base, slot.found, *slot.answer, current_.mediaType);
            if (!rows.empty()) {
                current_.rowsListed += static_cast<int>(rows.size());
                observer_->rowsArrived(current_.id, std::move(rows));
            }
        }
        current_.pending.pop_front();
        ++current_.firstSlot;
    }
    if (!current_.pending.empty() || current_.pageInFlight)
        return;
    if (wantNextPage(current_.itemsAsked, current_.numFound, current_.rowsListed,
                     current_.scrolledToEnd))
        askPageLocked(current_.lastPage + 1);
    else
        observer_->searchIdle(current_.id);
}

} // namespace search::archive
