// corvale-archive-memory HOST:PORT: the archive engine's memory over a session of searches.
// Twenty different searches against a running demo service, then twenty against a stand-in
// whose file list is 200 MB long; after each set, and after the first search of each, the
// resident size is read once malloc_trim(0) has given back what the heap holds free. The goals:
// after twenty searches the program takes at most 50 MiB more than after the first, and than
// before any search (a huge answer kept would pass the first goal), in both sets. The program exits
// 1 when a set misses it. tools/bench/archive-memory starts the service.
#include "search/archive_engine.h"

#include <httplib.h>
#include <malloc.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace search::archive;

// Resident set size in bytes, from /proc/self/statm, after the heap's free memory went back.
long long residentBytes()
{
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long long pages = 0;
    long long resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

class Waiter : public ArchiveObserver {
public:
    void searchAnswered(std::uint64_t, std::int64_t) override {}
    void rowsArrived(std::uint64_t, std::vector<core::SongEntry> rows) override
    {
        std::lock_guard lock(mutex_);
        rows_ += rows.size();
    }
    void searchFailed(std::uint64_t, Trouble trouble, const std::string&) override
    {
        std::lock_guard lock(mutex_);
        ++troubles_[static_cast<int>(trouble)];
    }
    void itemFailed(std::uint64_t, const std::string&, Trouble trouble) override
    {
        std::lock_guard lock(mutex_);
        ++troubles_[static_cast<int>(trouble)];
    }
    void searchIdle(std::uint64_t search) override
    {
        std::lock_guard lock(mutex_);
        idle_ = search;
        changed_.notify_all();
    }
    bool waitIdle(std::uint64_t search)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(2), [&] { return idle_ == search; });
    }
    std::size_t rows()
    {
        std::lock_guard lock(mutex_);
        return rows_;
    }
    int troubles(Trouble t)
    {
        std::lock_guard lock(mutex_);
        return troubles_[static_cast<int>(t)];
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t idle_ = 0;
    std::size_t rows_ = 0;
    int troubles_[8] = {};
};

// Runs the searches one after the other; false when a search does not end.
bool runSet(const std::string& base, const std::vector<std::string>& words, const char* name)
{
    EngineSettings settings;
    settings.base = base;
    Waiter waiter;
    ArchiveEngine engine(settings);
    engine.setObserver(&waiter);
    const long long before = residentBytes();
    long long afterFirst = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::uint64_t id = engine.startSearch(words[i], 0);
        if (!waiter.waitIdle(id)) {
            std::printf("%s: search %zu did not end\n", name, i + 1);
            return false;
        }
        if (i == 0)
            afterFirst = residentBytes();
    }
    const long long afterAll = residentBytes();
    const double grown = double(afterAll - afterFirst) / (1 << 20);
    const double session = double(afterAll - before) / (1 << 20);
    std::printf("%s: resident %.1f MiB before, %.1f MiB after the first search, %.1f MiB after "
                "%zu (%+.1f MiB since the first, %+.1f MiB since before); %zu rows, %zu file "
                "lists kept (%.1f MiB), %d answers refused as too large\n",
                name, double(before) / (1 << 20), double(afterFirst) / (1 << 20),
                double(afterAll) / (1 << 20), words.size(), grown, session, waiter.rows(),
                engine.fileListsKept(), double(engine.fileListBytesKept()) / (1 << 20),
                waiter.troubles(Trouble::TooLarge));
    const bool met = grown <= 50 && session <= 50;
    std::printf("%s: %s\n", name, met ? "within 50 MiB" : "MORE THAN 50 MiB");
    return met;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: corvale-archive-memory HOST:PORT\n");
        return 2;
    }
    const std::vector<std::string> singers = {
        "刘德华", "张学友", "周杰伦", "陈奕迅", "黎明",   "Beyond",      "Michael Jackson",
        "王菲",   "那英",   "孙燕姿", "梁静茹", "莫文蔚", "Celine Dion", "Madonna",
        "征服",   "十年",   "晴天",   "吻别",   "红豆",   "勇气"};
    bool met = runSet("http://" + std::string(argv[1]), singers, "demo service");

    // The stand-in: every search finds two items, one of which lists 200 MB of files.
    httplib::Server server;
    server.Get("/advancedsearch.php", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"response":{"numFound":2,"start":0,"docs":[)"
                        R"({"identifier":"huge","title":"Huge"},)"
                        R"({"identifier":"small","title":"Small"}]}})",
                        "application/json");
    });
    server.Get("/metadata/small", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"metadata":{"title":"Small"},"files":[)"
                        R"({"name":"a.mp3","format":"VBR MP3","size":"1000"}]})",
                        "application/json");
    });
    server.Get("/metadata/huge", [](const httplib::Request&, httplib::Response& res) {
        constexpr std::size_t kTotal = 200u << 20;
        res.set_content_provider(
            kTotal, "application/json",
            [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                static const std::string head = R"({"files":[)";
                static const std::string entry =
                    R"({"name":"scan_0000.jp2","format":"JPEG 2000"},)";
                std::string chunk;
                const std::size_t n = std::min<std::size_t>(length, 1 << 16);
                while (chunk.size() < n)
                    chunk += offset == 0 && chunk.empty() ? head : entry;
                chunk.resize(n);
                return sink.write(chunk.data(), chunk.size());
            });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    std::vector<std::string> words;
    words.reserve(20);
    for (int i = 0; i < 20; ++i)
        words.push_back("scan " + std::to_string(i));
    met = runSet("http://127.0.0.1:" + std::to_string(port), words, "200 MB file list") && met;
    server.stop();
    listener.join();
    return met ? 0 : 1;
}
