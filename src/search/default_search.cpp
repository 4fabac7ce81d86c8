#include "search/default_search.h"

#include "search/search_request.h"

#include <utility>

namespace search {

DefaultSearch::DefaultSearch(ServiceHosts hosts, std::string windowCaption)
    : hosts_(std::move(hosts)), caption_(initialLabel()), windowCaption_(std::move(windowCaption))
{
}

std::string DefaultSearch::start(std::string words, int mediaType, int rowImage)
{
    words_ = std::move(words);
    mediaType_ = mediaType;
    rowImage_ = rowImage;
    listed_ = 0;
    state_.searchStopped = 0;
    state_.resultRowCount = 0;
    state_.resultPageNumber = 1;
    // Each search writes its own total into the caption (it is written over the initial one).
    caption_ = initialLabel();
    return firstRequestAddress(hosts_, words_, mediaType_);
}

PageOutcome DefaultSearch::pageLoaded(std::vector<PageLink> links, std::vector<std::string> lines)
{
    ResultPage page;
    page.links = std::move(links);
    page.lines = std::move(lines);
    page.labelCaption = caption_;
    page.windowCaption = windowCaption_;
    page.listRowCount = listed_;
    page.state = state_;
    page.words = words_;
    page.mediaType = mediaType_;
    page.rowImage = rowImage_;
    PageOutcome outcome = parseResultPage(page, hosts_);
    lines_ = std::move(page.lines);
    listed_ += static_cast<int>(outcome.rows.size());
    caption_ = outcome.labelCaption;
    windowCaption_ = outcome.windowCaption;
    state_ = outcome.state;
    return outcome;
}

std::optional<std::string> DefaultSearch::nextAddress() const
{
    return nextPageAddress(hosts_, mediaType_, words_, state_.resultPageNumber,
                           state_.clientAddress);
}

std::string DefaultSearch::chartRequest(Chart chart)
{
    listed_ = 0;
    return chartAddress(hosts_, chart);
}

std::string DefaultSearch::albumRequest(const std::string& words, int mediaType)
{
    listed_ = 0;
    state_.resultRowCount = 0;
    return albumAddress(hosts_, words, mediaType);
}

std::vector<core::SongEntry> DefaultSearch::chartLoaded(const std::vector<PageLink>& links)
{
    std::vector<core::SongEntry> rows = readChartPage(links, listed_, hosts_);
    listed_ += static_cast<int>(rows.size());
    return rows;
}

} // namespace search
