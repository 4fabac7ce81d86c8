#include "archive_api.h"

#include "catalogue.h"
#include "media.h"
#include "search/archive_rows.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace demo {
namespace {

using nlohmann::json;

struct ArchiveFile {
    std::string name;  // as the item lists it
    std::string media; // the /media/ file behind it; empty for files that are only listed
    std::string format;
};

struct ArchiveItem {
    std::string id;
    std::string singer;
    std::string title;
    int index = 0; // in the search's results
    bool badMd5 = false;
    bool noAudio = false; // a scanned book: no audio file at all
    std::vector<ArchiveFile> files;
};

const char* const kFormats[] = {"VBR MP3", "Real Media", "Windows Media Audio",
                                "Advanced Systems Format", "Real Audio Metadata"};
const char* const kMimes[] = {"audio/mpeg", "application/vnd.rn-realmedia", "audio/x-ms-wma",
                              "video/x-ms-asf", "audio/x-pn-realaudio"};

// "(WORDS) AND mediatype:(audio)" gives WORDS; any other query is taken whole.
std::string wordsOfQuery(const std::string& q)
{
    const std::string tail = ") AND mediatype:(audio)";
    if (q.size() > tail.size() + 1 && q.front() == '(' &&
        q.compare(q.size() - tail.size(), tail.size(), tail) == 0)
        return q.substr(1, q.size() - tail.size() - 1);
    return q;
}

ArchiveItem itemFor(const Result& result, int index, bool badMd5, bool noAudio = false)
{
    ArchiveItem item;
    const std::string stem = result.fileName.substr(0, result.fileName.rfind('.'));
    item.id = std::string(badMd5    ? "corvale-badmd5-"
                          : noAudio ? "corvale-noaudio-"
                                    : "corvale-") +
              stem;
    item.index = index;
    item.badMd5 = badMd5;
    item.noAudio = noAudio;
    if (noAudio) {
        item.files = {{stem + ".pdf", "", "Text PDF"},
                      {stem + "_jp2.zip", "", "Single Page Processed JP2 ZIP"},
                      {item.id + "_files.xml", "", "Metadata"}};
        return item;
    }
    const size_t dash = result.name.find(" - ");
    item.singer = dash == std::string::npos ? std::string() : result.name.substr(0, dash);
    item.title = dash == std::string::npos ? result.name : result.name.substr(dash + 3);
    item.files.push_back({result.name + ".mp3", stem + ".mp3", kFormats[0]});
    // The other types come from a few files per search, so that listing items stays quick
    // (each new file of those types is encoded first).
    if (result.type != 0) {
        const std::string shared = stem.substr(0, stem.rfind('_')) + "_a" +
                                   std::to_string(index % 3) + "." + kTypes[result.type];
        item.files.push_back(
            {result.name + "." + kTypes[result.type], shared, kFormats[result.type]});
    }
    item.files.push_back({result.name + ".ogg", "", "Ogg Vorbis"});
    item.files.push_back({item.id + "_files.xml", "", "Metadata"});
    return item;
}

std::string md5Placeholder(const std::string& name)
{
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx",
                  static_cast<unsigned long long>(hash64(name)),
                  static_cast<unsigned long long>(hash64(name + "#")));
    return text;
}

std::string flipped(std::string md5)
{
    for (char& c : md5)
        c = c == '0' ? '1' : '0';
    return md5;
}

json metadataOf(const ArchiveItem& item, const std::string& host)
{
    json files = json::array();
    std::int64_t itemSize = 0;
    for (const ArchiveFile& file : item.files) {
        json entry = {{"name", file.name},
                      {"source", file.media.empty() ? "original" : "derivative"},
                      {"format", file.format},
                      {"mtime", "1733700000"}};
        if (file.media.empty()) {
            entry["size"] = std::to_string(1000 + hash64(file.name) % 9000);
            entry["md5"] = md5Placeholder(file.name);
        } else {
            const uint64_t size = mediaSize(file.media, host);
            itemSize += static_cast<std::int64_t>(size);
            const std::string md5 = mediaMd5(file.media, host);
            entry["size"] = std::to_string(size);
            entry["md5"] = item.badMd5 ? flipped(md5) : md5;
            entry["length"] = std::to_string(10 + hash64(file.media) % 300) + ".52";
            entry["track"] = std::to_string(item.index + 1);
            // Some files carry their own title and creator; the rest are named by the item.
            if (item.index % 3 != 2) {
                entry["title"] = item.title;
                entry["creator"] = item.singer;
                entry["album"] = item.singer + " (Corvale demo)";
            }
        }
        files.push_back(std::move(entry));
    }
    json creator = item.singer;
    if (item.index % 4 == 1)
        creator = json::array({item.singer, "群星"});
    return {{"created", 1733700000},
            {"d1", host},
            {"dir", "/items/" + item.id},
            {"files", files},
            {"files_count", item.files.size()},
            {"item_size", itemSize},
            {"metadata",
             {{"identifier", item.id},
              {"mediatype", "audio"},
              {"collection", json::array({"corvale-demo", "audio"})},
              {"title", item.title},
              {"creator", creator}}},
            {"server", host},
            {"workable_servers", json::array({host})}};
}

class Registry {
public:
    void add(const ArchiveItem& item)
    {
        std::lock_guard lock(mutex_);
        items_[item.id] = item;
    }
    std::optional<ArchiveItem> find(const std::string& id)
    {
        std::lock_guard lock(mutex_);
        const auto it = items_.find(id);
        return it == items_.end() ? std::nullopt : std::optional(it->second);
    }
    // True the first time a query is seen.
    bool firstTime(const std::string& query)
    {
        std::lock_guard lock(mutex_);
        return seen_.insert(query).second;
    }

private:
    std::mutex mutex_;
    std::map<std::string, ArchiveItem> items_;
    std::set<std::string> seen_;
};

const ArchiveFile* fileNamed(const ArchiveItem& item, const std::string& name)
{
    for (const ArchiveFile& file : item.files)
        if (file.name == name)
            return &file;
    return nullptr;
}

int intParam(const httplib::Request& req, const char* key, int fallback, int low, int high)
{
    try {
        const int value = std::stoi(req.get_param_value(key));
        return value < low || value > high ? fallback : value;
    } catch (const std::exception&) {
        return fallback;
    }
}

} // namespace

void addArchiveRoutes(httplib::Server& server,
                      const std::function<std::string(const httplib::Request&)>& hostOf,
                      const ContentSource& content, const std::string& scheme)
{
    auto registry = std::make_shared<Registry>();

    server.Get("/advancedsearch.php", [registry](const httplib::Request& req,
                                                 httplib::Response& res) {
        const std::string query = req.get_param_value("q");
        const std::string words = wordsOfQuery(query);
        if (words == "archive-500") {
            res.status = 500;
            res.set_content("<html><body>Internal Server Error</body></html>", "text/html");
            return;
        }
        if (words == "archive-notjson") {
            res.set_content("<html><body>The search engine is down for maintenance</body></html>",
                            "text/html");
            return;
        }
        if (words == "archive-busy" && registry->firstTime(query + req.get_param_value("page"))) {
            res.status = 429;
            res.set_header("Retry-After", "1");
            return;
        }
        const bool badMd5 = words.rfind("archive-badmd5", 0) == 0;
        const bool noAudio = words == "archive-noaudio";
        const Found found = words == "archive-empty" ? Found{}
                                                     : search(badMd5    ? "archive badmd5"
                                                              : noAudio ? "songbooks"
                                                                        : words,
                                                              -1);
        const int rows = intParam(req, "rows", 50, 1, 10000);
        const int page = intParam(req, "page", 1, 1, 1000000);
        json docs = json::array();
        const size_t first = static_cast<size_t>(page - 1) * static_cast<size_t>(rows);
        for (size_t i = first; i < found.results.size() && i < first + static_cast<size_t>(rows);
             ++i) {
            const ArchiveItem item =
                itemFor(found.results[i], static_cast<int>(i), badMd5, noAudio);
            registry->add(item);
            json doc = {{"identifier", item.id}, {"title", item.title}};
            if (i % 5 != 4) // a field may be missing
                doc["creator"] =
                    i % 4 == 1 ? json::array({item.singer, "群星"}) : json(item.singer);
            docs.push_back(std::move(doc));
        }
        const json answer = {
            {"responseHeader",
             {{"status", 0},
              {"QTime", 3},
              {"params",
               {{"query", query},
                {"fields", "identifier,title,creator"},
                {"wt", "json"},
                {"rows", std::to_string(rows)},
                {"start", first}}}}},
            {"response", {{"numFound", found.results.size()}, {"start", first}, {"docs", docs}}}};
        res.set_content(answer.dump(), "application/json");
    });

    server.Get(R"(/metadata/([^/]+))", [registry, hostOf](const httplib::Request& req,
                                                          httplib::Response& res) {
        const std::optional<ArchiveItem> item = registry->find(req.matches[1]);
        res.set_content(item ? metadataOf(*item, hostOf(req)).dump() : "{}", "application/json");
    });

    server.Get(R"(/download/([^/]+)/(.+))",
               [registry, hostOf, scheme](const httplib::Request& req, httplib::Response& res) {
                   const std::optional<ArchiveItem> item = registry->find(req.matches[1]);
                   if (!item || !fileNamed(*item, req.matches[2])) {
                       res.status = 404;
                       return;
                   }
                   res.set_redirect(scheme + "://" + hostOf(req) + "/archive-data/" +
                                    search::archive::percentEncode(item->id) + "/" +
                                    search::archive::percentEncode(req.matches[2].str()));
               });

    server.Get(R"(/archive-data/([^/]+)/(.+))",
               [registry, hostOf, content](const httplib::Request& req, httplib::Response& res) {
                   const std::optional<ArchiveItem> item = registry->find(req.matches[1]);
                   const ArchiveFile* file = item ? fileNamed(*item, req.matches[2]) : nullptr;
                   const std::optional<int> type = file ? mediaType(file->media) : std::nullopt;
                   if (!type) {
                       res.status = 404;
                       return;
                   }
                   const std::string host = hostOf(req);
                   res.set_header("ETag", "\"" + mediaMd5(file->media, host) + "\"");
                   res.set_header("Accept-Ranges", "bytes");
                   res.set_content(*content(file->media, host), kMimes[*type]);
               });
}

} // namespace demo
