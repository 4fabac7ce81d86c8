// The archive engine against a small stand-in of the archive's API on loopback: rows in search
// order, paging, the request limit, the cache, Retry-After, bad answers and cancelling.
#include "core/gbk.h"
#include "search/archive_engine.h"
#include "search/archive_rows.h"
#include "search/archive_search.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace search::archive;
using namespace std::chrono_literals;

namespace {

// The stand-in: `items` audio items "item-K"; item K holds "K - song.mp3" and "K.ogg".
class FakeArchive {
public:
    std::atomic<int> items{120};
    std::atomic<int> searchStatus{200}; // the search page's status
    std::atomic<int> busyAnswers{0};    // this many 429/503 answers come first
    std::atomic<int> busyStatus{429};
    std::atomic<bool> brokenSearch{false};    // the search page is not JSON
    std::atomic<bool> brokenItemTwo{false};   // item 2's file list is not JSON
    std::atomic<bool> holdItems{false};       // file lists wait until released
    std::atomic<int> hugeItem{-1};            // this item's file list is 2 MiB long
    std::atomic<bool> hugeSearch{false};      // the search page is 2 MiB long
    std::atomic<bool> searchOffTheWeb{false}; // the search page redirects to a local file
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    std::atomic<int> searchRequests{0};
    std::atomic<int> itemRequests{0};
    std::string userAgent;

    FakeArchive()
    {
        server_.Get("/advancedsearch.php", [this](const httplib::Request& req,
                                                  httplib::Response& res) {
            Counter c(*this);
            ++searchRequests;
            {
                std::lock_guard lock(mutex_);
                userAgent = req.get_header_value("User-Agent");
                query_ = req.get_param_value("q");
            }
            if (busy(res))
                return;
            if (searchStatus != 200) {
                res.status = searchStatus;
                res.set_content("<html>error</html>", "text/html");
                return;
            }
            if (brokenSearch) {
                res.set_content("<html><body>Service unavailable</body></html>", "text/html");
                return;
            }
            if (searchOffTheWeb) {
                res.set_redirect("file:///etc/passwd");
                return;
            }
            const int rows = std::stoi(req.get_param_value("rows"));
            const int page = std::stoi(req.get_param_value("page"));
            std::string docs;
            for (int k = (page - 1) * rows; k < page * rows && k < items; ++k)
                docs += std::string(docs.empty() ? "" : ",") + R"({"identifier":"item-)" +
                        std::to_string(k) + R"(","title":"Item )" + std::to_string(k) + "\"}";
            const std::string padding(hugeSearch ? 2 << 20 : 0, ' ');
            res.set_content(R"({"responseHeader":{"status":0},"response":{"numFound":)" + padding +
                                std::to_string(items.load()) + R"(,"start":)" +
                                std::to_string((page - 1) * rows) + R"(,"docs":[)" + docs + "]}}",
                            "application/json");
        });
        server_.Get(
            R"(/metadata/item-(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
                Counter c(*this);
                ++itemRequests;
                {
                    std::unique_lock lock(mutex_);
                    released_.wait(lock, [&] { return !holdItems || stopping_; });
                }
                const int k = std::stoi(req.matches[1]);
                // Every third list comes late, so later items are often read first.
                if (k % 3 == 0)
                    std::this_thread::sleep_for(5ms);
                if (brokenItemTwo && k == 2) {
                    res.set_content(R"({"files":[{"name":)", "application/json");
                    return;
                }
                const std::string n = std::to_string(k);
                const std::string padding(k == hugeItem ? 2 << 20 : 0, ' ');
                res.set_content(R"({"metadata":{"title":"Item )" + n + padding +
                                    R"(","creator":"Band"},"files":[)"
                                    R"({"name":")" +
                                    n +
                                    R"( - song.mp3","format":"VBR MP3","size":"2048",)"
                                    R"("md5":"0123456789abcdef0123456789abcdef","title":"Song )" +
                                    n +
                                    R"("},)"
                                    R"({"name":")" +
                                    n + R"(.ogg","format":"Ogg Vorbis","size":"1000"}]})",
                                "application/json");
            });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~FakeArchive()
    {
        release();
        server_.stop();
        thread_.join();
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string query()
    {
        std::lock_guard lock(mutex_);
        return query_;
    }
    // Waits (up to a minute) until n requests are being answered at once.
    bool waitInFlight(int n)
    {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (inFlight.load() < n && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        return inFlight.load() == n;
    }
    void release()
    {
        {
            std::lock_guard lock(mutex_);
            holdItems = false;
            stopping_ = true;
        }
        released_.notify_all();
    }

private:
    struct Counter {
        explicit Counter(FakeArchive& a) : a(a)
        {
            const int now = ++a.inFlight;
            for (int most = a.mostInFlight.load(); now > most;)
                a.mostInFlight.compare_exchange_weak(most, now);
        }
        ~Counter() { --a.inFlight; }
        FakeArchive& a;
    };
    bool busy(httplib::Response& res)
    {
        if (busyAnswers.load() <= 0)
            return false;
        --busyAnswers;
        res.status = busyStatus;
        res.set_header("Retry-After", "0");
        return true;
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable released_;
    bool stopping_ = false;
    std::string query_;
};

// Keeps what the engine tells, and lets a test wait for a condition on it.
class Recorder : public ArchiveObserver {
public:
    struct Event {
        std::uint64_t search;
        std::string what;
    };
    void searchAnswered(std::uint64_t search, std::int64_t numFound) override
    {
        add(search, "found " + std::to_string(numFound));
    }
    void rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows) override
    {
        std::lock_guard lock(mutex_);
        for (core::SongEntry& row : rows) {
            events_.push_back({search, "row " + row.sub(core::SubItem::Name)});
            rows_.push_back(std::move(row));
        }
        changed_.notify_all();
    }
    void searchFailed(std::uint64_t search, Trouble trouble, const std::string& detail) override
    {
        {
            std::lock_guard lock(mutex_);
            lastDetail_ = detail;
        }
        add(search, "failed " + std::to_string(static_cast<int>(trouble)));
    }
    std::string lastDetail()
    {
        std::lock_guard lock(mutex_);
        return lastDetail_;
    }
    void itemFailed(std::uint64_t search, const std::string& id, Trouble trouble) override
    {
        add(search, "item failed " + id + " " + std::to_string(static_cast<int>(trouble)));
    }
    void searchIdle(std::uint64_t search) override { add(search, "idle"); }

    // Waits until the search has gone idle; false when it did not within a generous minute.
    bool waitIdle(std::uint64_t search)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 60s, [&] { return countLocked(search, "idle") > 0; });
    }
    bool waitRows(std::size_t n)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 60s, [&] { return rows_.size() >= n; });
    }
    std::vector<Event> events()
    {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<core::SongEntry> rows()
    {
        std::lock_guard lock(mutex_);
        return rows_;
    }
    int count(std::uint64_t search, const std::string& what)
    {
        std::lock_guard lock(mutex_);
        return countLocked(search, what);
    }

private:
    void add(std::uint64_t search, std::string what)
    {
        std::lock_guard lock(mutex_);
        events_.push_back({search, std::move(what)});
        changed_.notify_all();
    }
    int countLocked(std::uint64_t search, const std::string& what) const
    {
        int n = 0;
        for (const Event& e : events_)
            n += e.search == search && e.what == what;
        return n;
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    std::vector<core::SongEntry> rows_;
    std::string lastDetail_;
};

EngineSettings settingsFor(const FakeArchive& archive)
{
    EngineSettings settings;
    settings.base = archive.base();
    settings.userAgent = "Corvale/9.8.7";
    settings.longestRetryWait = 1s;
    return settings;
}

std::vector<std::string> names(const std::vector<core::SongEntry>& rows)
{
    std::vector<std::string> out;
    for (const core::SongEntry& row : rows)
        out.push_back(row.sub(core::SubItem::Name));
    return out;
}

// A fake archive and an engine pointed at it, whose news a recorder keeps.
class ArchiveEngineTest : public ::testing::Test {
protected:
    ArchiveEngineTest() { engine.setObserver(&recorder); }
    FakeArchive archive;
    Recorder recorder;
    ArchiveEngine engine{settingsFor(archive)}; // ends first: its threads stop before the rest
};

} // namespace

TEST_F(ArchiveEngineTest, RowsComeInSearchOrderPageAfterPageUntilTwoHundredThenOnScrolling)
{
    archive.items = 260;
    const std::uint64_t id = engine.startSearch("刘德华 & friends", 0);
    ASSERT_TRUE(recorder.waitIdle(id));

    EXPECT_EQ(archive.query(), "(刘德华 & friends) AND mediatype:(audio)");
    EXPECT_EQ(archive.userAgent, "Corvale/9.8.7");
    EXPECT_EQ(recorder.count(id, "found 260"), 1);
    // Four pages of 50 items, one .mp3 each: 200 rows, then the engine waits for the user.
    const auto rows = recorder.rows();
    ASSERT_EQ(rows.size(), 200u);
    for (std::size_t k = 0; k < rows.size(); ++k)
        ASSERT_EQ(rows[k].sub(core::SubItem::Name), "Band - Song " + std::to_string(k));
    EXPECT_EQ(rows[7].sub(core::SubItem::Address),
              archive.base() + "/download/item-7/7%20-%20song.mp3");
    EXPECT_EQ(rows[7].md5, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(rows[7].sizeBytes, 2048);
    EXPECT_EQ(archive.searchRequests.load(), 4);
    EXPECT_LE(archive.mostInFlight.load(), 6);
    EXPECT_LE(engine.mostInFlight(), 6);

    // Each scroll to the end asks for one more page; after the last the service has no more.
    engine.scrolledToEnd();
    ASSERT_TRUE(recorder.waitRows(250));
    ASSERT_TRUE(recorder.waitIdle(id));
    engine.scrolledToEnd();
    ASSERT_TRUE(recorder.waitRows(260));
    engine.scrolledToEnd();
    EXPECT_EQ(archive.searchRequests.load(), 6);
    EXPECT_EQ(names(recorder.rows()).back(), "Band - Song 259");
}

TEST_F(ArchiveEngineTest, FileListsAreKeptForTheSessionAndOtherTypesFindNoRow)
{
    archive.items = 30;
    const std::uint64_t first = engine.startSearch("x", 0);
    ASSERT_TRUE(recorder.waitIdle(first));
    EXPECT_EQ(archive.itemRequests.load(), 30);

    const std::uint64_t again = engine.startSearch("x", 0);
    ASSERT_TRUE(recorder.waitIdle(again));
    EXPECT_EQ(archive.itemRequests.load(), 30); // no file list asked again
    EXPECT_EQ(archive.searchRequests.load(), 2);
    EXPECT_EQ(recorder.rows().size(), 60u);

    const std::uint64_t wma = engine.startSearch("x", 2);
    ASSERT_TRUE(recorder.waitIdle(wma));
    EXPECT_EQ(recorder.rows().size(), 60u); // no item holds a .wma
}

TEST_F(ArchiveEngineTest, BusyAnswersWaitForRetryAfterAndTryAgainABoundedNumberOfTimes)
{
    archive.items = 5;
    archive.busyAnswers = 2;
    const std::uint64_t id = engine.startSearch("x", 0);
    ASSERT_TRUE(recorder.waitIdle(id));
    EXPECT_EQ(recorder.rows().size(), 5u);
    EXPECT_EQ(archive.searchRequests.load(), 3);

    archive.busyAnswers = 100;
    archive.busyStatus = 503;
    const std::uint64_t busy = engine.startSearch("y", 0);
    ASSERT_TRUE(recorder.waitIdle(busy));
    EXPECT_EQ(archive.searchRequests.load(), 3 + 4); // the first try and three more
    EXPECT_EQ(recorder.count(busy, "failed " + std::to_string(int(Trouble::ServerError))), 1);
}

TEST_F(ArchiveEngineTest, BadAnswersSayWhichAndMakeNoRow)
{
    archive.items = 4;
    auto failedWith = [&](std::uint64_t id, Trouble t) {
        return recorder.count(id, "failed " + std::to_string(static_cast<int>(t)));
    };

    archive.searchStatus = 500;
    const std::uint64_t serverError = engine.startSearch("a", 0);
    ASSERT_TRUE(recorder.waitIdle(serverError));
    EXPECT_EQ(failedWith(serverError, Trouble::ServerError), 1);

    archive.searchStatus = 200;
    archive.brokenSearch = true;
    const std::uint64_t broken = engine.startSearch("b", 0);
    ASSERT_TRUE(recorder.waitIdle(broken));
    EXPECT_EQ(failedWith(broken, Trouble::BadAnswer), 1);

    archive.brokenSearch = false;
    archive.items = 0;
    const std::uint64_t empty = engine.startSearch("c", 0);
    ASSERT_TRUE(recorder.waitIdle(empty));
    EXPECT_EQ(failedWith(empty, Trouble::NothingFound), 1);
    EXPECT_TRUE(recorder.rows().empty());

    archive.items = 4;
    archive.brokenItemTwo = true;
    const std::uint64_t oneBad = engine.startSearch("d", 0);
    ASSERT_TRUE(recorder.waitIdle(oneBad));
    EXPECT_EQ(
        recorder.count(oneBad, "item failed item-2 " + std::to_string(int(Trouble::BadAnswer))), 1);
    EXPECT_EQ(names(recorder.rows()),
              (std::vector<std::string>{"Band - Song 0", "Band - Song 1", "Band - Song 3"}));

    EngineSettings nowhere = settingsFor(archive);
    nowhere.base = "http://127.0.0.1:1";
    ArchiveEngine unreachable(nowhere);
    Recorder own; // search numbers count per engine
    unreachable.setObserver(&own);
    const std::uint64_t refused = unreachable.startSearch("e", 0);
    ASSERT_TRUE(own.waitIdle(refused));
    EXPECT_EQ(own.count(refused, "failed " + std::to_string(int(Trouble::Unreachable))), 1);
    EXPECT_TRUE(own.rows().empty());
}

TEST_F(ArchiveEngineTest, ANewSearchCancelsWhatIsInFlightAndNothingOfTheOldOneArrivesAfter)
{
    archive.items = 40;
    archive.holdItems = true;
    const std::uint64_t old = engine.startSearch("old", 0);
    ASSERT_TRUE(archive.waitInFlight(6)); // the held file lists fill every worker
    const std::size_t before = recorder.events().size();
    archive.items = 3;
    const std::uint64_t fresh = engine.startSearch("new", 0);
    archive.release();
    ASSERT_TRUE(recorder.waitIdle(fresh));
    const auto events = recorder.events();
    for (std::size_t i = before; i < events.size(); ++i)
        EXPECT_NE(events[i].search, old) << events[i].what;
    EXPECT_EQ(recorder.count(fresh, "found 3"), 1);
    EXPECT_EQ(recorder.rows().size(), 3u);
}

TEST_F(ArchiveEngineTest, AStopKeepsTheRowsAndEndsTheSearch)
{
    archive.items = 3;
    const std::uint64_t first = engine.startSearch("a", 0);
    ASSERT_TRUE(recorder.waitIdle(first));
    archive.items = 40;
    archive.holdItems = true;
    const std::uint64_t stopped = engine.startSearch("b", 0);
    ASSERT_TRUE(archive.waitInFlight(6));
    engine.stopSearch();
    const std::size_t atStop = recorder.events().size();
    archive.release();
    // A search after the stop runs to its end; the stopped one told nothing more meanwhile.
    const std::uint64_t next = engine.startSearch("c", 0);
    ASSERT_TRUE(recorder.waitIdle(next));
    const auto events = recorder.events();
    for (std::size_t i = atStop; i < events.size(); ++i)
        EXPECT_NE(events[i].search, stopped) << events[i].what;
    EXPECT_GE(recorder.rows().size(), 3u);
}

TEST_F(ArchiveEngineTest, AnswersPastTheLimitAndRedirectsOffTheWebAreRefused)
{
    EngineSettings small = settingsFor(archive);
    small.largestAnswer = 1 << 20;
    ArchiveEngine limited(small);
    Recorder own;
    limited.setObserver(&own);
    const auto failed = [&](std::uint64_t id, Trouble t) {
        return own.count(id, "failed " + std::to_string(static_cast<int>(t)));
    };

    archive.items = 4;
    archive.hugeItem = 1;
    const std::uint64_t oneHuge = limited.startSearch("a", 0);
    ASSERT_TRUE(own.waitIdle(oneHuge));
    EXPECT_EQ(own.count(oneHuge, "item failed item-1 " + std::to_string(int(Trouble::TooLarge))),
              1);
    EXPECT_EQ(names(own.rows()),
              (std::vector<std::string>{"Band - Song 0", "Band - Song 2", "Band - Song 3"}));

    archive.hugeSearch = true;
    const std::uint64_t hugePage = limited.startSearch("b", 0);
    ASSERT_TRUE(own.waitIdle(hugePage));
    EXPECT_EQ(failed(hugePage, Trouble::TooLarge), 1);
    archive.hugeSearch = false;

    archive.searchOffTheWeb = true;
    const std::uint64_t offTheWeb = limited.startSearch("c", 0);
    ASSERT_TRUE(own.waitIdle(offTheWeb));
    EXPECT_EQ(failed(offTheWeb, Trouble::ServerError), 1);
    EXPECT_EQ(own.lastDetail(), core::utf8ToGbk("不支持的地址：file:///etc/passwd"));
    EXPECT_EQ(own.rows().size(), 3u);
}

TEST_F(ArchiveEngineTest, TheFileListsKeptAreTheLatestAndBounded)
{
    EngineSettings few = settingsFor(archive);
    few.mostFileLists = 10;
    ArchiveEngine bounded(few);
    Recorder own;
    bounded.setObserver(&own);
    archive.items = 30;
    const std::uint64_t first = bounded.startSearch("x", 0);
    ASSERT_TRUE(own.waitIdle(first));
    EXPECT_EQ(bounded.fileListsKept(), 10u);
    EXPECT_EQ(archive.itemRequests.load(), 30);
    const std::uint64_t again = bounded.startSearch("x", 0);
    ASSERT_TRUE(own.waitIdle(again));
    EXPECT_EQ(archive.itemRequests.load(), 30 + 20); // ten lists were kept
    EXPECT_EQ(own.rows().size(), 60u);
    EXPECT_EQ(bounded.fileListsKept(), 10u);
}

TEST(FileListCache, KeepsTheMostRecentlyUsedWithinCountAndMemory)
{
    const auto list = [](const std::string& name, std::size_t textBytes) {
        ItemAnswer answer;
        answer.readable = true;
        ItemFile file;
        file.name = name + ".mp3";
        file.title = std::string(textBytes, 't');
        answer.files.push_back(file);
        return answer;
    };
    const std::size_t one = FileListCache::estimatedBytes("a", list("a", 1000));
    EXPECT_GT(one, 1000u);
    struct Step {
        char op; // 'p' put, 'f' find
        std::string id;
        std::size_t text;
        bool found; // for finds
    };
    // Three lists at most, and room for about three and a half of the 1000-byte ones.
    FileListCache cache(3, one * 7 / 2);
    const std::vector<Step> steps = {
        {'p', "a", 1000, false},
        {'p', "b", 1000, false},
        {'p', "c", 1000, false},
        {'f', "a", 0, true},     // a is now the most recent
        {'p', "d", 1000, false}, // three at most: b goes
        {'f', "b", 0, false},
        {'f', "c", 0, true},
        {'f', "a", 0, true},
        // A list twice the size: d goes for the count, then c for the memory.
        {'p', "e", one + 1000, false},
        {'f', "d", 0, false},
        {'f', "c", 0, false},
        {'f', "a", 0, true},
        {'f', "e", 0, true},
        {'p', "huge", 100000, false}, // larger than the bound alone: not kept, nothing lost
        {'f', "huge", 0, false},
        {'f', "a", 0, true},
        {'f', "e", 0, true},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        if (s.op == 'p') {
            cache.put(s.id, list(s.id, s.text));
        } else {
            const ItemAnswer* got = cache.find(s.id);
            EXPECT_EQ(got != nullptr, s.found) << "step " << i << " " << s.id;
            if (got) {
                EXPECT_EQ(got->files.at(0).name, s.id + ".mp3");
            }
        }
        EXPECT_LE(cache.size(), 3u) << i;
        EXPECT_LE(cache.bytes(), one * 7 / 2) << i;
    }
    cache.put("a", list("a", 10)); // put again: replaced, counted once
    EXPECT_EQ(cache.find("a")->files.at(0).title.size(), 10u);
    EXPECT_EQ(cache.size(), 2u);
}

TEST(ArchiveEngine, RetryAfterIsReadAsBoundedSeconds)
{
    EXPECT_EQ(retryWait("5", 30s), 5s);
    EXPECT_EQ(retryWait(" 0 ", 30s), 0s);
    EXPECT_EQ(retryWait("120", 30s), 30s);
    EXPECT_EQ(retryWait("99999999999999999999999", 30s), 30s);
    EXPECT_EQ(retryWait("", 30s), 1s);
    EXPECT_EQ(retryWait("Wed, 21 Oct 2015 07:28:00 GMT", 30s), 1s);
    EXPECT_EQ(retryWait("-3", 30s), 1s);
}

namespace {

// What the archive tells through the search seam, kept in order.
class SeamRecorder : public search::SearchObserver {
public:
    void rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows) override
    {
        std::lock_guard lock(mutex_);
        for (const core::SongEntry& row : rows)
            events_.push_back({search, "row " + row.caption + " " + row.sub(core::SubItem::Name)});
    }
    void progressChanged(std::uint64_t search, int value, int maximum) override
    {
        add(search, "progress " + std::to_string(value) + "/" + std::to_string(maximum));
    }
    void captionChanged(std::uint64_t search, std::string caption) override
    {
        add(search, "caption " + core::gbkToUtf8(caption));
    }
    void windowCaptionChanged(std::uint64_t search, std::string caption) override
    {
        add(search, "title " + caption);
    }
    void troubleReported(std::uint64_t search, std::string message) override
    {
        add(search, "trouble " + message);
    }
    void searchIdle(std::uint64_t search) override { add(search, "idle"); }

    bool waitFor(std::uint64_t search, const std::string& what)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 60s, [&] {
            return std::any_of(events_.begin(), events_.end(), [&](const Recorder::Event& e) {
                return e.search == search && e.what == what;
            });
        });
    }
    std::vector<Recorder::Event> events()
    {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    void add(std::uint64_t search, std::string what)
    {
        std::lock_guard lock(mutex_);
        events_.push_back({search, std::move(what)});
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Recorder::Event> events_;
};

class ArchiveSearchTest : public ::testing::Test {
protected:
    ArchiveSearchTest() { seam.setObserver(&recorder); }
    FakeArchive archive;
    SeamRecorder recorder;
    search::ArchiveSearch seam{settingsFor(archive)}; // ends first
};

} // namespace

TEST_F(ArchiveSearchTest, WordsGoAsUtf8AndTheRowsComeNumberedWithTheCaption)
{
    archive.items = 3;
    // Letters GBK lacks, one of them beyond the basic plane.
    const std::uint64_t id = seam.start(u"Ǿ 𠀀 刘德华", 1);
    ASSERT_TRUE(recorder.waitFor(id, "idle"));
    EXPECT_EQ(archive.query(), "(\xC7\xBE \xF0\xA0\x80\x80 刘德华) AND mediatype:(audio)");
    const std::vector<Recorder::Event> events = recorder.events();
    std::vector<std::string> told;
    for (const Recorder::Event& e : events) {
        EXPECT_EQ(e.search, id) << e.what;
        told.push_back(e.what);
    }
    // Type 1 (RM): the items hold no such file.
    EXPECT_EQ(told,
              (std::vector<std::string>{"caption 正在搜索互联网档案馆…", "progress 0/0",
                                        "caption  搜索结果  3 个条目", "progress 1/1",
                                        "caption  搜索结果  3 个条目，没有 RM 文件", "idle"}));

    const std::uint64_t mp3 = seam.start(u"刘德华", 0);
    EXPECT_NE(mp3, id);
    ASSERT_TRUE(recorder.waitFor(mp3, "idle"));
    std::vector<std::string> rows;
    for (const Recorder::Event& e : recorder.events())
        if (e.search == mp3 && e.what.rfind("row ", 0) == 0)
            rows.push_back(e.what.substr(0, 6));
    EXPECT_EQ(rows, (std::vector<std::string>{"row 1 ", "row 2 ", "row 3 "}));
}

TEST_F(ArchiveSearchTest, AReplacedSearchIsNotHeardAndAStopSaysSo)
{
    archive.holdItems = true;
    const std::uint64_t first = seam.start(u"a", 0);
    ASSERT_TRUE(recorder.waitFor(first, "caption  搜索结果  120 个条目"));
    const std::uint64_t second = seam.start(u"b", 0);
    ASSERT_TRUE(recorder.waitFor(second, "caption  搜索结果  120 个条目"));
    seam.stop();
    // The stop's own words come at once.
    std::vector<Recorder::Event> events = recorder.events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2].search, second);
    EXPECT_EQ(events[events.size() - 2].what, "caption  搜索结果  120 个条目，已停止");
    EXPECT_EQ(events.back().what, "progress 1/1");
    const auto toldOfOld = [&] {
        return std::count_if(events.begin(), events.end(), [&](const Recorder::Event& e) {
            return e.search == first || e.search == second;
        });
    };
    const auto afterStop = toldOfOld();
    seam.nextPage(); // nothing runs to page

    // The held file lists come now; a new search runs to its end, and of the old ones nothing
    // more was told.
    archive.release();
    const std::uint64_t third = seam.start(u"c", 0);
    ASSERT_TRUE(recorder.waitFor(third, "idle"));
    events = recorder.events();
    EXPECT_EQ(toldOfOld(), afterStop);
}
