#pragma once
// The default engine's search as values: the words and type it was started with, the paging
// state, the result caption and the window caption it writes (GB18030, byte for byte as the
// page rules make them), the rows the result list holds, and the lines of the page last loaded.
// What loads the pages (a hidden browser) asks this object where to go and hands it each page.
#include "core/song_entry.h"
#include "search/chart_reader.h"
#include "search/result_page_parser.h"
#include "search/service_hosts.h"

#include <optional>
#include <string>
#include <vector>

namespace search {

class DefaultSearch {
public:
    DefaultSearch(ServiceHosts hosts, std::string windowCaption);

    // A new search for the words (GB18030) and MediaType index, whose rows show the image
    // rowImage: the state starts over, the caption is the initial one; returns the address of
    // the first page.
    std::string start(std::string words, int mediaType, int rowImage);
    // The result page that loaded (its links and text lines): its rows, numbered on, and what
    // changes; the state advances.
    PageOutcome pageLoaded(std::vector<PageLink> links, std::vector<std::string> lines);
    // The follow-up request of the current page number, or nothing past the offset limit.
    std::optional<std::string> nextAddress() const;
    // The paging stops after the page that loads now.
    void stop() { state_.searchStopped = -1; }

    // Chart and album pages: the list is emptied for one, whose rows number on from those the
    // list holds.
    std::string chartRequest(Chart chart);
    std::string albumRequest(const std::string& words, int mediaType);
    std::vector<core::SongEntry> chartLoaded(const std::vector<PageLink>& links);

    SearchState& state() { return state_; }
    const SearchState& state() const { return state_; }
    const std::string& caption() const { return caption_; }
    const std::string& windowCaption() const { return windowCaption_; }
    const std::string& words() const { return words_; }
    int mediaType() const { return mediaType_; }
    // Rows the result list holds of this engine's pages.
    int listedRows() const { return listed_; }
    // The text lines of the result page last loaded (empty until one loads).
    const std::vector<std::string>& pageLines() const { return lines_; }
    void clearPageLines() { lines_.clear(); }
    const ServiceHosts& hosts() const { return hosts_; }

private:
    ServiceHosts hosts_;
    SearchState state_;
    std::string caption_;
    std::string windowCaption_;
    std::string words_;
    int mediaType_ = 0;
    int rowImage_ = 0;
    int listed_ = 0;
    std::vector<std::string> lines_;
};

} // namespace search
