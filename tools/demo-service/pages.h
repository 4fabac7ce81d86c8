#pragma once
// The pages the demo service serves, in the format the program reads: GBK HTML whose rendered
// text has the total line and one line per result ending in size, unit and type, with result
// links through the redirect address, paging links that carry the client address, album links,
// and chart pages of chart-entry links.
#include <string>

namespace demo {

struct PageRequest {
    std::string host;     // host:port the pages name in their links
    std::string clientIp; // written into the paging links
    std::string words;    // UTF-8
    int lm = -1;          // type code, -1 for any
    long offset = 0;      // the pn value: index of the page's first result
};

inline constexpr long kResultsPerPage = 30;

// Pages are returned GBK-encoded.
std::string resultPage(const PageRequest& request);
enum class ChartKind { Male, Female, Songs };
std::string chartPage(ChartKind kind, const std::string& host);
std::string indexPage(const std::string& host);

// Words that ask for a broken page, so the program's handling of them can be shown.
inline const char* const kBadPageNoTotal = "badpage-nototal";
inline const char* const kBadPageNoPaging = "badpage-nopaging";
inline const char* const kBadPageEmptyLinks = "badpage-emptylinks";

// Percent-encodes text after converting it to GBK, as the service's own links carry words.
std::string percentGbk(const std::string& utf8);
std::string htmlEscape(const std::string& text);

} // namespace demo
