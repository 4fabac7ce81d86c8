#pragma once
// The default engine: its result pages load in a hidden browser (WebBrowser1), its chart and
// album pages in another (WebBrowser2). The rules (addresses, page parsing, paging, charts) and
// the search's state are search::DefaultSearch; this side loads the pages, hands their links
// and text to the rules, and tells the rows, progress and captions as the seam's events. A
// result page that has not answered when the answer timer fires (30 s by default) is given up.
#include "search/default_search.h"
#include "search/search_engine.h"

#include <QObject>

#include <optional>
#include <string>

class QTimer;
class QWidget;

namespace browser {
class BrowserControl;
}

namespace gui {

class BrowserSearchEngine : public QObject, public search::SearchEngine {
    Q_OBJECT
public:
    // The hidden browsers' views go into viewParent; windowCaption is the window's caption now.
    BrowserSearchEngine(const search::ServiceHosts& hosts, const std::string& windowCaption,
                        QWidget* viewParent, QObject* parent = nullptr);

    std::uint64_t start(std::u16string_view words, int mediaType) override;
    // Requests the next result page (after a page that added rows, or when asked).
    void nextPage() override;
    void stop() override;
    bool pagesWhenAsked() const override { return false; }

    // The image index the rows of the next search show.
    void setRowImage(int image) { rowImage_ = image; }
    // Loads a chart or the album page of the words (GB18030) into the list; returns the number
    // of the search its rows come under.
    std::uint64_t loadChart(search::Chart chart);
    std::uint64_t loadAlbum(const std::string& words, int mediaType);

    search::DefaultSearch& rules() { return rules_; }
    const search::DefaultSearch& rules() const { return rules_; }

    browser::BrowserControl* WebBrowser1 = nullptr; // result pages, never shown
    browser::BrowserControl* WebBrowser2 = nullptr; // chart and album pages, never shown
    QTimer* searchAnswerTimer = nullptr;

public slots:
    void WebBrowser1ProgressChange(int progress, int maximum);
    void WebBrowser1DocumentComplete();
    void WebBrowser2ProgressChange(int progress, int maximum);
    void WebBrowser2DocumentComplete();
    void searchAnswerTimeout();

private:
    // Parses the result page that loaded (its lines are the rules' page lines).
    void parsePage();
    std::uint64_t loadChartPage(const std::string& address, const char* what);

    search::DefaultSearch rules_;
    int rowImage_ = 0;
    int maximum_ = 100;         // the result page's last progress maximum
    std::uint64_t current_ = 0; // the result search
    std::uint64_t chart_ = 0;   // the chart or album page's search
};

} // namespace gui
