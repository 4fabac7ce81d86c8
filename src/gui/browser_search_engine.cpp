#include "gui/browser_search_engine.h"

#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "core/line_file.h"
#include "gui/search_log.h"
#include "search/search_request.h"

#include <QTimer>

namespace gui {

namespace {

std::vector<search::PageLink> gbkLinks(const browser::Document& document)
{
    std::vector<search::PageLink> links;
    links.reserve(document.links.size());
    for (const browser::DocumentLink& link : document.links)
        links.push_back({core::toGbk(link.href), core::toGbk(link.text)});
    return links;
}

std::string g(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

} // namespace

BrowserSearchEngine::BrowserSearchEngine(const search::ServiceHosts& hosts,
                                         const std::string& windowCaption, QWidget* viewParent,
                                         QObject* parent)
    : QObject(parent), rules_(hosts, windowCaption)
{
    using browser::BrowserControl;
    using browser::WebEngineBrowser;
    WebBrowser1 = new WebEngineBrowser(WebEngineBrowser::Kind::Hidden, viewParent, this);
    WebBrowser2 = new WebEngineBrowser(WebEngineBrowser::Kind::Hidden, viewParent, this);
    searchAnswerTimer = new QTimer(this);
    searchAnswerTimer->setSingleShot(true);
    searchAnswerTimer->setInterval(search::kAnswerTime);
    connect(searchAnswerTimer, &QTimer::timeout, this, &BrowserSearchEngine::searchAnswerTimeout);
    connect(WebBrowser1, &BrowserControl::ProgressChange, this,
            &BrowserSearchEngine::WebBrowser1ProgressChange);
    connect(WebBrowser1, &BrowserControl::DocumentComplete, this,
            &BrowserSearchEngine::WebBrowser1DocumentComplete);
    connect(WebBrowser2, &BrowserControl::ProgressChange, this,
            &BrowserSearchEngine::WebBrowser2ProgressChange);
    connect(WebBrowser2, &BrowserControl::DocumentComplete, this,
            &BrowserSearchEngine::WebBrowser2DocumentComplete);
}

std::uint64_t BrowserSearchEngine::start(std::u16string_view words, int mediaType)
{
    current_ = search::newSearchId();
    // The service takes the words in its code page, exactly as typed.
    const std::string address = rules_.start(core::utf16ToGbk(words), mediaType, rowImage_);
    if (search::SearchObserver* o = observer())
        o->captionChanged(current_, rules_.caption());
    qCDebug(searchLog, "search request sent: %s", qUtf8Printable(core::fromGbk(address)));
    WebBrowser1->Navigate(core::fromGbk(address));
    searchAnswerTimer->start();
    WebBrowser1->setBrowserVisible(false);
    return current_;
}

void BrowserSearchEngine::nextPage()
{
    WebBrowser1->setBrowserVisible(false);
    const std::optional<std::string> address = rules_.nextAddress();
    if (!address) {
        qCDebug(searchLog, "no next page after page %d: the search ends",
                rules_.state().resultPageNumber);
        if (search::SearchObserver* o = observer())
            o->searchIdle(current_);
        return; // past the offset limit: the chain ends here
    }
    qCDebug(searchLog, "next page requested: %s", qUtf8Printable(core::fromGbk(*address)));
    WebBrowser1->Navigate(core::fromGbk(*address));
    searchAnswerTimer->start();
    WebBrowser1->setBrowserVisible(false);
}

void BrowserSearchEngine::stop()
{
    rules_.stop();
    WebBrowser1->Stop();
    searchAnswerTimer->stop();
    if (search::SearchObserver* o = observer(); o && current_) {
        o->progressChanged(current_, 0, maximum_);
        o->searchIdle(current_);
    }
}

void BrowserSearchEngine::WebBrowser1ProgressChange(int progress, int maximum)
{
    maximum_ = maximum;
    // A stopped search shows nothing loading, whatever its stopped page still reports.
    if (search::SearchObserver* o = observer())
        o->progressChanged(current_, rules_.state().searchStopped == -1 ? 0 : progress, maximum);
}

void BrowserSearchEngine::WebBrowser1DocumentComplete()
{
    searchAnswerTimer->stop();
    rules_.clearPageLines();
    const browser::Document* document = WebBrowser1->document();
    if (!document) {
        const int status = WebBrowser1->httpStatus();
        qCDebug(searchLog, "result page did not load (status %d)", status);
        if (search::SearchObserver* o = observer())
            o->troubleReported(current_, status > 0 ? g("服务器回答 ") + std::to_string(status)
                                                    : g("请检查网络连接!"));
        return;
    }
    parsePage();
}

void BrowserSearchEngine::parsePage()
{
    const browser::Document* document = WebBrowser1->document();
    const int page = rules_.state().resultPageNumber;
    const int listedBefore = rules_.listedRows();
    const std::string captionBefore = rules_.caption();
    const std::string windowCaptionBefore = rules_.windowCaption();
    search::PageOutcome outcome = rules_.pageLoaded(
        document ? gbkLinks(*document) : std::vector<search::PageLink>{},
        core::splitLines(document ? core::toGbk(document->bodyText) : std::string()));
    const int rows = static_cast<int>(outcome.rows.size());
    qCDebug(searchLog, "result page %d parsed: %d rows, %d listed", page, rows,
            listedBefore + rows);
    const std::uint64_t search = current_;
    if (search::SearchObserver* o = observer()) {
        if (!outcome.rows.empty())
            o->rowsArrived(search, std::move(outcome.rows));
        if (outcome.labelCaption != captionBefore)
            o->captionChanged(search, outcome.labelCaption);
        if (outcome.windowCaption != windowCaptionBefore)
            o->windowCaptionChanged(search, outcome.windowCaption);
    }
    if (outcome.requestNext)
        nextPage();
    else if (search::SearchObserver* o = observer())
        o->searchIdle(search);
}

void BrowserSearchEngine::searchAnswerTimeout()
{
    qCDebug(searchLog, "result page got no answer");
    WebBrowser1->Stop();
    if (search::SearchObserver* o = observer()) {
        o->progressChanged(current_, 0, maximum_);
        o->troubleReported(current_, g("服务器没有响应"));
    }
}

std::uint64_t BrowserSearchEngine::loadChartPage(const std::string& address, const char* what)
{
    // The result pages of a search before give way: the list shows the chart now.
    if (current_) {
        rules_.stop();
        WebBrowser1->Stop();
        searchAnswerTimer->stop();
        current_ = 0;
    }
    chart_ = search::newSearchId();
    qCDebug(searchLog, "%s request sent: %s", what, qUtf8Printable(core::fromGbk(address)));
    WebBrowser2->setBrowserVisible(false);
    WebBrowser2->Navigate(core::fromGbk(address));
    WebBrowser2->setBrowserVisible(false);
    return chart_;
}

std::uint64_t BrowserSearchEngine::loadChart(search::Chart chart)
{
    return loadChartPage(rules_.chartRequest(chart), "chart");
}

std::uint64_t BrowserSearchEngine::loadAlbum(const std::string& words, int mediaType)
{
    return loadChartPage(rules_.albumRequest(words, mediaType), "album");
}

void BrowserSearchEngine::WebBrowser2ProgressChange(int progress, int maximum)
{
    if (search::SearchObserver* o = observer())
        o->progressChanged(chart_, progress, maximum);
}

void BrowserSearchEngine::WebBrowser2DocumentComplete()
{
    const browser::Document* document = WebBrowser2->document();
    search::SearchObserver* o = observer();
    if (!document) {
        qCDebug(searchLog, "chart or album page did not load");
        if (o)
            o->troubleReported(chart_, g("请检查网络连接!"));
        return;
    }
    std::vector<core::SongEntry> rows = rules_.chartLoaded(gbkLinks(*document));
    qCDebug(searchLog, "chart or album page loaded: %d rows", static_cast<int>(rows.size()));
    if (o) {
        if (!rows.empty())
            o->rowsArrived(chart_, std::move(rows));
        o->searchIdle(chart_);
    }
}

} // namespace gui
