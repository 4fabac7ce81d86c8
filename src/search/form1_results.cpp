// The result list, result-page parsing and paging, chart and album pages.
#include "app/form1.h"

#include "browser/browser_control.h"
#include "search/chart_reader.h"
#include "search/result_page_parser.h"
#include "search/search_log.h"
#include "search/search_request.h"
#include "gui/card_panel.h"
#include "gui/dialogs.h"
#include "core/gbk_qt.h"
#include "gui/song_list_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

std::vector<search::PageLink> gbkLinks(const browser::Document& document)
{
    std::vector<search::PageLink> links;
    links.reserve(document.links.size());
    for (const browser::DocumentLink& link : document.links)
        links.push_back({core::toGbk(link.href), core::toGbk(link.text)});
    return links;
}

// The image index the first column header shows (set by the search button): the type icon it
// carries, 5 when it shows none.
int headerImageIndex(const TForm1& form)
{
    const QIcon shown = form.ListView1->headerItem()->icon(0);
    if (shown.isNull())
        return search::headerImage(-1);
    for (qsizetype i = 0; i < form.ImageList1.size(); ++i)
        if (form.ImageList1[i].cacheKey() == shown.cacheKey())
            return static_cast<int>(i);
    return search::headerImage(form.MediaType());
}

void loadChartPage(TForm1& form, const std::string& address)
{
    qCDebug(searchLog, "chart request sent: %s", qUtf8Printable(core::fromGbk(address)));
    form.ListView1->clearRows();
    form.WebBrowser2->setBrowserVisible(false);
    form.WebBrowser2->Navigate(core::fromGbk(address));
    form.WebBrowser2->setBrowserVisible(false);
}

} // namespace

void TForm1::buildResultList()
{
    ListView1 = new ui::SongListView(centralWidget());
    ListView1->setObjectName("ListView1");
    ListView1->setGeometry(121, 73, 575, 311);
    ListView1->setColumnCaptions({QString(), "歌手名", "下载地址", "大小", "类型"});
    ListView1->setGridLines(true);
    ListView1->setMultiSelect(true);
    ListView1->setToolTip("按住Ctrl或Shift键可以同时选择多项");
}

void TForm1::Button7Click()
{
    search::ResultPage page;
    if (const browser::Document* document = WebBrowser1->document())
        page.links = gbkLinks(*document);
    page.lines = Memo1;
    page.labelCaption = core::toGbk(resultlabel->text());
    page.windowCaption = core::toGbk(windowTitle());
    page.listRowCount = ListView1->rowCount();
    page.state = {ResultRowCount, ResultPageNumber, SearchStopped, ClientAddress};
    page.words = core::toGbk(Edit1->text());
    page.mediaType = MediaType();
    page.rowImage = headerImageIndex(*this);

    const search::PageOutcome outcome = search::parseResultPage(page, hosts);
    qCDebug(searchLog, "result page %d parsed: %d rows, %d listed", page.state.resultPageNumber,
            static_cast<int>(outcome.rows.size()),
            page.listRowCount + static_cast<int>(outcome.rows.size()));
    for (const core::SongEntry& row : outcome.rows)
        ListView1->appendRow(row);
    if (outcome.labelCaption != page.labelCaption)
        resultlabel->setText(core::fromGbk(outcome.labelCaption));
    if (outcome.windowCaption != page.windowCaption)
        setWindowTitle(core::fromGbk(outcome.windowCaption));
    ResultRowCount = outcome.state.resultRowCount;
    ResultPageNumber = outcome.state.resultPageNumber;
    SearchStopped = outcome.state.searchStopped;
    ClientAddress = outcome.state.clientAddress;
    if (outcome.requestNext)
        Button9Click();
}

void TForm1::Button9Click()
{
    WebBrowser1->setBrowserVisible(false);
    const std::optional<std::string> address = search::nextPageAddress(
        hosts, MediaType(), core::toGbk(Edit1->text()), ResultPageNumber, ClientAddress);
    if (!address) {
        qCDebug(searchLog, "no next page after page %d: the search ends", ResultPageNumber);
        return; // past the offset limit: the chain ends here
    }
    qCDebug(searchLog, "next page requested: %s", qUtf8Printable(core::fromGbk(*address)));
    WebBrowser1->Navigate(core::fromGbk(*address));
    searchAnswerTimer->start();
    WebBrowser1->setBrowserVisible(false);
}

void TForm1::manlistbtnClick()
{
    loadChartPage(*this, search::chartAddress(hosts, search::Chart::MaleSingers));
}

void TForm1::womanlistbtnClick()
{
    loadChartPage(*this, search::chartAddress(hosts, search::Chart::FemaleSingers));
}

void TForm1::musiclistClick()
{
    loadChartPage(*this, search::chartAddress(hosts, search::Chart::Songs));
}

void TForm1::menubtnClick()
{
    if (Edit1->text().isEmpty()) {
        Edit1->setFocus();
        return;
    }
    ListView1->clearRows();
    ResultRowCount = 0;
    const std::string address = search::albumAddress(hosts, core::toGbk(Edit1->text()), MediaType());
    qCDebug(searchLog, "album request sent: %s", qUtf8Printable(core::fromGbk(address)));
    WebBrowser2->Navigate(core::fromGbk(address));
    WebBrowser2->setBrowserVisible(false);
}

void TForm1::WebBrowser2ProgressChange(int progress, int maximum)
{
    SeSkinProgressBar6->setMaximum(maximum);
    SeSkinProgressBar6->setValue(progress);
}

void TForm1::WebBrowser2DocumentComplete()
{
    const browser::Document* document = WebBrowser2->document();
    if (!document) {
        qCDebug(searchLog, "chart or album page did not load");
        ui::showMessage(this, "请检查网络连接!");
        return;
    }
    const std::vector<core::SongEntry> rows =
        search::readChartPage(gbkLinks(*document), ListView1->rowCount(), hosts);
    qCDebug(searchLog, "chart or album page loaded: %d rows", static_cast<int>(rows.size()));
    for (const core::SongEntry& row : rows)
        ListView1->appendRow(row);
}

void TForm1::ListView1SelectItem(int row, bool selected)
{
    // A selection change that arrives after the list was emptied names a row that is gone.
    if (!selected || row < 0 || row >= ListView1->rowCount() || !ListView1->isRowSelected(row))
        return;
    const core::SongEntry entry = ListView1->rowAt(row);
    if (entry.subItems.size() >= 3)
        return;
    // The search empties the list, which must not happen inside the list's own selection
    // change (the item being selected would be deleted under it): it starts right after.
    const std::string name = entry.sub(core::SubItem::Name);
    QTimer::singleShot(0, this, [this, row, name] {
        if (row >= ListView1->rowCount() || !ListView1->isRowSelected(row) ||
            ListView1->rowAt(row).sub(core::SubItem::Name) != name)
            return; // another chosen row has already started its search
        Edit1->setText(core::fromGbk(name));
        Button1->click();
    });
}

void TForm1::ListView1DblClick()
{
    const int first = ListView1->firstSelectedRow();
    if (first < 0)
        return;
    cardPanel_->takeRow(ListView1->rowAt(first));
}
