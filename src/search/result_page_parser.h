#pragma once
// Reading one result page of the MP3 search service into result rows, and the paging that
// follows it. Pure functions over GBK text: the window supplies the page's links and text lines
// and carries out what comes back.
#include "core/song_entry.h"
#include "search/service_hosts.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace search {

// One link of a loaded document, in document order: its target address and its rendered text.
struct PageLink {
    std::string href;
    std::string text;
    bool operator==(const PageLink&) const = default;
};

// The search state that lives for the whole run.
struct SearchState {
    int resultRowCount = 0;    // rows added since the last new search
    int resultPageNumber = 2;  // paging counter; a follow-up asks for offset pageNumber * 30
    int searchStopped = 0;     // non-zero stops the paging
    std::string clientAddress; // learnt once from a paging link
    bool operator==(const SearchState&) const = default;
};

inline constexpr int kPageStep = 30;
inline constexpr int ResultLimit = 500;

// Page-format constants, GBK.
const std::string& totalMarker();   // "百度为您找到相关结果"
const std::string& totalEndMark();  // "篇"
const std::string& initialLabel();  // "搜索结果为:", the label before the first total
const std::string& captionMarker(); // "本机ip为"

// Everything one page parse depends on.
struct ResultPage {
    std::vector<PageLink> links;    // every link with a target, in document order
    std::vector<std::string> lines; // the page's rendered text, one entry per line
    std::string labelCaption;       // the result label as it shows now
    std::string windowCaption;      // the window caption as it shows now
    int listRowCount = 0;           // rows the result list holds before this page
    SearchState state;
    std::string words; // the search box's text
    int mediaType = 0; // 0 MP3 .. 4 RAM, anything else: none selected
    int rowImage = 0;  // image index of the result list's first column header
};

struct PageOutcome {
    std::vector<core::SongEntry> rows; // to append, in order
    std::string labelCaption;
    std::string windowCaption;
    SearchState state;
    // True when this page added rows and the search was not stopped: the next page is to be
    // requested (ResultPageNumber has already been advanced in state).
    bool requestNext = false;
    // The address that request goes to, or nothing when the offset limit ends the chain.
    std::optional<std::string> nextAddress;
};

PageOutcome parseResultPage(const ResultPage& page, const ServiceHosts& hosts);

// The follow-up request for page number pageNumber, or nothing when its offset passes the limit.
std::optional<std::string> nextPageAddress(const ServiceHosts& hosts, int mediaType,
                                           const std::string& words, int pageNumber,
                                           const std::string& clientAddress);

// The pieces of the parse, for the window's tests and the demo service's self-check.
struct SizeAndType {
    std::string size;
    std::string type;
    bool operator==(const SizeAndType&) const = default;
};
// Size text and type text from the end of a result's text line (trimmed first).
SizeAndType sizeAndTypeOf(std::string_view line);
// The total count text: between the marker (byte 21 of its line) and "篇"; empty without "篇".
std::string totalOf(const std::vector<std::string>& lines);
// The client address a paging link carries ("&ip=" up to "&cl="); empty when the link is not
// a paging link or carries none.
std::string clientAddressOf(std::string_view href, const ServiceHosts& hosts);
// A link target without the redirect prefix's length of leading characters; empty when shorter.
std::string withoutRedirectPrefix(std::string_view href, const ServiceHosts& hosts);

} // namespace search
