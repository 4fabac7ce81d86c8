// corvale-parse-bench [LINKS] [--full]: builds a result page with LINKS result links (default
// 50000, about 8 MB of page text), times the result-page parser on it, and sets that time beside
// two references measured in the same run:
//  - one linear pass: joining the page's lines once, the least any line lookup has to read;
//  - the per-link lookup that rebuilds the page's joined text for every link (what a parser
//    whose cost grows with links x page size pays). It is timed on an evenly spread sample of
//    500 links and scaled to all of them, or on every link with --full (minutes at 50000).
// The goal, set for the default page, is a parse that costs no more than a fiftieth of the
// per-link lookup (small pages gain less); the program exits 1 when that is missed or when a
// timed row's size and type differ from the reference's.
#include "core/gbk.h"
#include "search/result_page_parser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string concat(std::initializer_list<std::string_view> parts)
{
    std::string text;
    for (std::string_view part : parts)
        text += part;
    return text;
}

// A page the way the service writes one, with many results: each result has its title line
// (number, artist - title, lyrics link text, size and type) and a line of album text.
search::ResultPage bigPage(int links, const search::ServiceHosts& hosts)
{
    const std::string lyrics = core::utf8ToGbk("歌词");
    const std::string album = core::utf8ToGbk(
        "专辑：精选集 发行时间：2004年 唱片公司：某某唱片 语种：国语 所属分类：流行音乐 "
        "试听 下载 收藏 分享到 推荐给好友");
    const std::string singer = core::utf8ToGbk("歌手");
    const std::string song = core::utf8ToGbk("歌曲第");
    const std::string head = core::utf8ToGbk("首");
    const char* const types[] = {"2.34Mmp3", "1234Kwma", "3.21Krm", "5.67Masf", "98.7Kram"};

    const std::string redirect = hosts.redirectPrefix();
    search::ResultPage page;
    page.lines.push_back(core::utf8ToGbk("MP3搜索  bench"));
    page.lines.push_back(search::totalMarker() + std::to_string(links) + search::totalEndMark());
    page.lines.reserve(static_cast<size_t>(links) * 2 + 2);
    page.links.reserve(static_cast<size_t>(links) * 2 + 1);
    for (int i = 0; i < links; ++i) {
        const std::string n = std::to_string(i + 1);
        const std::string title = concat({singer, std::to_string(i % 997), " - ", song, n, head});
        page.lines.push_back(concat({n, "  ", title, "  ", lyrics, "  ", types[i % 5]}));
        page.lines.push_back(concat({album, " ", n}));
        page.links.push_back({concat({redirect, "http://media.example/", n, ".mp3"}), title});
        page.links.push_back({concat({"http://", hosts.search, "/lrc?n=", n}), lyrics});
    }
    page.links.push_back(
        {"http://" + hosts.search + "/m?lm=0&word=bench&pn=30&ip=10.0.0.1&cl=3", "2"});
    page.labelCaption = search::initialLabel();
    page.windowCaption = "Corvale";
    page.words = "bench";
    return page;
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

// The reference lookup: the page's joined text is built anew for every text looked up.
std::string lineRebuildingTheText(const std::vector<std::string>& lines, std::string_view x)
{
    if (lines.empty())
        return {};
    if (x.empty())
        return lines.front();
    std::string text;
    std::vector<size_t> starts;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        starts.push_back(text.size());
        text += lines[i];
    }
    const size_t at = text.find(x);
    if (at == std::string::npos)
        return lines.front();
    const auto after = std::upper_bound(starts.begin(), starts.end(), at);
    return lines[static_cast<size_t>(after - starts.begin()) - 1];
}

} // namespace

int main(int argc, char** argv)
{
    int links = 50000;
    bool full = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--full") == 0)
            full = true;
        else
            links = std::max(1, std::atoi(argv[i]));
    }
    const search::ServiceHosts hosts;
    const search::ResultPage page = bigPage(links, hosts);
    size_t pageBytes = 0;
    for (const std::string& line : page.lines)
        pageBytes += line.size() + 2;

    auto start = Clock::now();
    const search::PageOutcome outcome = search::parseResultPage(page, hosts);
    const double parseSeconds = secondsSince(start);

    start = Clock::now();
    const size_t joinedSize = joined(page.lines).size();
    const double joinSeconds = secondsSince(start);

    std::vector<size_t> resultLinks; // indexes into page.links of the result links
    for (size_t i = 0; i < page.links.size(); ++i)
        if (page.links[i].href.starts_with(hosts.redirectPrefix()))
            resultLinks.push_back(i);
    const size_t sampleSize = full ? resultLinks.size() : std::min<size_t>(500, resultLinks.size());
    int mismatches = outcome.rows.size() == resultLinks.size() ? 0 : 1;
    start = Clock::now();
    for (size_t s = 0; s < sampleSize; ++s) {
        const size_t row = s * resultLinks.size() / sampleSize;
        const std::string line =
            lineRebuildingTheText(page.lines, page.links[resultLinks[row]].text);
        const search::SizeAndType want = search::sizeAndTypeOf(line);
        if (row >= outcome.rows.size() || outcome.rows[row].sub(2) != want.size ||
            outcome.rows[row].sub(3) != want.type)
            ++mismatches;
    }
    const double referenceSeconds = secondsSince(start) * static_cast<double>(resultLinks.size()) /
                                    static_cast<double>(sampleSize);

    const double ratio = referenceSeconds / parseSeconds;
    std::printf("page: %zu result links, %zu lines, %.1f MB\n", resultLinks.size(),
                page.lines.size(), static_cast<double>(pageBytes) / 1e6);
    std::printf("parser:                     %9.3f s (%zu rows)\n", parseSeconds,
                outcome.rows.size());
    std::printf("one join of the page:       %9.3f s (%zu bytes); parser = %.0f joins\n",
                joinSeconds, joinedSize, parseSeconds / joinSeconds);
    std::printf("per-link lookup, %s: %9.3f s (%zu of %zu links timed)\n",
                full ? "all links" : "scaled   ", referenceSeconds, sampleSize, resultLinks.size());
    std::printf("parser is %.0fx faster than the per-link lookup (goal: at least 50x)\n", ratio);
    if (mismatches > 0)
        std::printf("FAIL: %d rows differ from the reference lookup\n", mismatches);
    const bool met = ratio >= 50.0 && mismatches == 0;
    std::printf("%s\n", met ? "goal met" : "goal missed");
    return met ? 0 : 1;
}
