#include "search/chart_reader.h"

#include "core/text_ops.h"
#include "search/search_request.h"

namespace search {

std::string chartAddress(const ServiceHosts& hosts, Chart chart)
{
    const char* page = chart == Chart::MaleSingers     ? "/ngeshou.html"
                       : chart == Chart::FemaleSingers ? "/ygeshou.html"
                                                       : "/mp3.html";
    return "http://" + hosts.chart + page;
}

std::string albumAddress(const ServiceHosts& hosts, const std::string& words, int mediaType)
{
    return firstRequestAddress(hosts, words, mediaType);
}

std::string chartEntryText(const ServiceHosts& hosts)
{
    return "http://" + hosts.webSearch + "/m?rn=&tn=baidump3&ct=";
}

std::string albumText(const ServiceHosts& hosts)
{
    return "http://" + hosts.search + "/m?tn=baidump3&ct=134217728&word=";
}

std::vector<core::SongEntry> readChartPage(const std::vector<PageLink>& links, int listRowCount,
                                           const ServiceHosts& hosts)
{
    const std::string entry = chartEntryText(hosts);
    const std::string album = albumText(hosts);
    std::vector<core::SongEntry> rows;
    int n = listRowCount;
    auto add = [&](const PageLink& link) {
        core::SongEntry row;
        row.caption = std::to_string(++n);
        row.imageIndex = 0;
        row.subItems = {link.text, withoutRedirectPrefix(link.href, hosts)};
        rows.push_back(std::move(row));
    };
    for (const PageLink& link : links) {
        if (core::contains(link.href, entry))
            add(link);
        if (core::contains(link.href, album) && core::contains(link.href, "&f=al"))
            add(link);
    }
    return rows;
}

} // namespace search
