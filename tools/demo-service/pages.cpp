#include "pages.h"

#include "core/text_ops.h"

#include "catalogue.h"
#include "core/gbk.h"
#include "media.h"

#include <algorithm>
#include <cctype>

namespace demo {
namespace {

std::string head(const std::string& title)
{
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
           "<title>" +
           htmlEscape(title) + "</title></head><body>\n";
}

std::string navigation(const std::string& host)
{
    const std::string h = "http://" + host;
    return "<div><a href=\"" + h + "/\">百度首页</a> | <a href=\"" + h +
           "/mp3.html\">歌曲列表</a> | <a href=\"" + h + "/ngeshou.html\">男歌手</a> | <a href=\"" +
           h + "/ygeshou.html\">女歌手</a></div>\n";
}

std::string withThousands(size_t n)
{
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return digits;
}

std::string pagingLinks(const PageRequest& r, size_t total)
{
    std::string out = "<div>结果页:";
    const std::string base = "http://" + r.host + "/m?lm=" + std::to_string(r.lm) +
                             "&ct=134217728&tn=baidump3&word=" + percentGbk(r.words);
    const size_t pages = std::min<size_t>((total + kResultsPerPage - 1) / kResultsPerPage, 17);
    for (size_t p = 0; p < std::max<size_t>(pages, 1); ++p)
        out += " <a href=\"" +
               htmlEscape(base + "&pn=" + std::to_string(p * kResultsPerPage) +
                          "&ip=" + r.clientIp + "&cl=3") +
               "\">" + std::to_string(p + 1) + "</a>";
    out += " <a href=\"" +
           htmlEscape(base + "&pn=" + std::to_string(r.offset + kResultsPerPage) +
                      "&ip=" + r.clientIp + "&cl=3") +
           "\">下一页</a></div>\n";
    return out;
}

std::string albumLinks(const PageRequest& r, const std::vector<std::string>& albums)
{
    std::string out = "<div>相关专辑:";
    for (const std::string& album : albums)
        out += " <a href=\"" +
               htmlEscape("http://" + r.host +
                          "/m?tn=baidump3&ct=134217728&word=" + percentGbk(album) + "&f=al") +
               "\">" + htmlEscape(album) + "</a>";
    return out + "</div>\n";
}

} // namespace

std::string htmlEscape(const std::string& text)
{
    return core::xmlEscaped(text);
}

std::string percentGbk(const std::string& utf8)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : core::utf8ToGbk(utf8)) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string resultPage(const PageRequest& r)
{
    const bool noTotal = r.words == kBadPageNoTotal;
    const bool noPaging = r.words == kBadPageNoPaging;
    const bool emptyLinks = r.words == kBadPageEmptyLinks;
    const Found found = search(r.words, r.lm);
    const size_t total = found.results.size();

    std::string html = head("百度MP3搜索_" + r.words) + navigation(r.host);
    html += "<div>MP3搜索: " + htmlEscape(r.words) + "</div>\n";
    if (!noTotal)
        html += "<div>百度为您找到相关结果约" + withThousands(total) + "篇</div>\n";
    html += albumLinks(r, found.albums);

    const size_t first = r.offset < 0 ? 0 : static_cast<size_t>(r.offset);
    if (first >= total) {
        html += "<div>抱歉，没有找到与“" + htmlEscape(r.words) + "”相关的歌曲。</div>\n";
    } else {
        html += "<table border=\"1\">\n<tr><td>序号</td><td>歌曲名</td><td>大小格式</td></tr>\n";
        const size_t end = std::min(total, first + kResultsPerPage);
        for (size_t i = first; i < end; ++i) {
            const Result& result = found.results[i];
            const std::string media = "http://" + r.host + "/media/" + result.fileName;
            html += "<tr><td>" + std::to_string(i + 1) + "</td><td><a href=\"http://" + r.host +
                    "/r?url=" + media + "\">" + (emptyLinks ? "" : htmlEscape(result.name)) +
                    "</a></td><td>" + sizeText(mediaSize(result.fileName, r.host)) +
                    kTypes[result.type] + "</td></tr>\n";
        }
        html += "</table>\n";
    }
    if (!noPaging)
        html += pagingLinks(r, total);
    html += "</body></html>\n";
    return core::utf8ToGbk(html);
}

std::string chartPage(ChartKind kind, const std::string& host)
{
    const char* title = kind == ChartKind::Male     ? "男歌手列表"
                        : kind == ChartKind::Female ? "女歌手列表"
                                                    : "歌曲列表";
    std::string html = head(title) + navigation(host) + "<h3>" + title + "</h3>\n<ol>\n";
    auto entry = [&](const std::string& name, const std::string& about) {
        html += "<li><a href=\"" +
                htmlEscape("http://" + host +
                           "/m?rn=&tn=baidump3&ct=134217728&word=" + percentGbk(name) + "&lm=-1") +
                "\">" + htmlEscape(name) + "</a> <a href=\"http://" + host + "/about/" + about +
                ".html\">简介</a></li>\n";
    };
    if (kind == ChartKind::Songs) {
        for (const ChartSong& song : songChart())
            entry(song.title, song.singer->slug);
    } else {
        for (const Singer& singer : singers())
            if (singer.female == (kind == ChartKind::Female))
                entry(singer.name, singer.slug);
    }
    html += "</ol>\n</body></html>\n";
    return core::utf8ToGbk(html);
}

std::string indexPage(const std::string& host)
{
    std::string html = head("Corvale demo service") + navigation(host);
    html += "<p>本地演示服务: 搜索 /m?tn=baidump3&amp;ct=134217728&amp;rn=&amp;word=刘德华&amp;lm=0"
            "</p>\n</body></html>\n";
    return core::utf8ToGbk(html);
}

} // namespace demo
