#pragma once
// Chart and album pages: every link that leads to a search becomes a short row of the result
// list (name and the rest of the link target). Pure functions over GBK text.
#include "core/song_entry.h"
#include "search/result_page_parser.h"
#include "search/service_hosts.h"

#include <string>
#include <vector>

namespace search {

enum class Chart { MaleSingers, FemaleSingers, Songs };

// The chart page of the chart host: ngeshou.html, ygeshou.html or mp3.html.
std::string chartAddress(const ServiceHosts& hosts, Chart chart);
// The album page: the same address as the first request of a search for the words.
std::string albumAddress(const ServiceHosts& hosts, const std::string& words, int mediaType);

// What a chart-entry link's target contains.
std::string chartEntryText(const ServiceHosts& hosts);
// What an album link's target contains (besides "&f=al").
std::string albumText(const ServiceHosts& hosts);

// The rows a chart or album page adds to a list that holds listRowCount rows: for every link in
// document order, a chart-entry row and then an album row when the link is of that kind.
// Rows carry the caption (numbered on from listRowCount), image 0, and two sub-items: the
// link's text and its target without the redirect prefix's length of characters.
std::vector<core::SongEntry> readChartPage(const std::vector<PageLink>& links, int listRowCount,
                                           const ServiceHosts& hosts);

} // namespace search
