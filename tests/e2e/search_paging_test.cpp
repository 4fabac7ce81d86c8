// Word searches against the demo service through the real window and browser: paging up to
// sixteen pages, the total label and caption, stop, refresh, type change and broken pages.
#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "gui/browser_search_engine.h"
#include "gui/card_panel.h"
#include "gui/dialogs.h"
#include "gui/form1.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "search/result_page_parser.h"
#include "service_window.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <gtest/gtest.h>

#include <iostream>
#include <memory>

namespace core {
// Readable failure messages for rows.
inline void PrintTo(const SongEntry& row, std::ostream* out)
{
    *out << "{" << core::gbkToUtf8(row.caption) << ", image " << row.imageIndex;
    for (const std::string& cell : row.subItems)
        *out << ", \"" << core::gbkToUtf8(cell) << "\"";
    *out << "}";
}
} // namespace core

namespace {

std::string g(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

struct SearchWindow : e2e::ServiceWindow {
    using ServiceWindow::ServiceWindow;

    void search(const char* words, int type)
    {
        form->searchPanel()->SeSkinComboBox1->setCurrentIndex(type);
        form->searchPanel()->Edit1->setText(QString::fromUtf8(words));
        form->searchPanel()->Button1->click();
    }
    // Waits until the list has held the same number of rows, and the service has answered no
    // new request, for quietMs; false when that does not happen before the deadline.
    bool waitUntilQuiet(const e2e::DemoService& service, int quietMs = 1500,
                        int deadlineMs = 120000)
    {
        QElapsedTimer total;
        total.start();
        int lastRows = -1;
        size_t lastRequests = 0;
        QElapsedTimer still;
        still.start();
        while (total.elapsed() < deadlineMs) {
            QTest::qWait(100);
            const size_t requests = service.requests().size();
            if (rows() != lastRows || requests != lastRequests) {
                lastRows = rows();
                lastRequests = requests;
                still.restart();
            } else if (still.elapsed() >= quietMs) {
                return true;
            }
        }
        return false;
    }
    // Rows numbered 1..n without gaps, each with four sub-items of this type.
    void expectResultRows(const std::string& type, int image) const
    {
        for (int i = 0; i < rows(); ++i) {
            const core::SongEntry row = form->searchPanel()->ListView1->rowAt(i);
            ASSERT_EQ(row.caption, std::to_string(i + 1));
            ASSERT_EQ(row.subItems.size(), 4u) << i;
            ASSERT_EQ(row.imageIndex, image) << i;
            ASSERT_EQ(row.sub(core::SubItem::TypeText), type) << i;
        }
    }
};

// A point on a row's caption cell, inside the visible part of the list.
QPoint rowPoint(const ui::SongListView* list, int row)
{
    return QPoint(20, list->visualItemRect(list->itemAtRow(row)).center().y());
}

std::string offsetOf(const std::string& target)
{
    const size_t at = target.find("&pn=");
    return at == std::string::npos ? "" : target.substr(at + 4, target.find('&', at + 1) - at - 4);
}

TEST(SearchPaging, SixteenPagesFillTheListNumberedWithoutGaps)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    SearchWindow w(service);

    QElapsedTimer timer;
    timer.start();
    w.search("刘德华", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() >= 480; }, 180000)) << w.rows();
    const qint64 elapsed = timer.elapsed();
    ASSERT_TRUE(w.waitUntilQuiet(service));

    EXPECT_EQ(w.rows(), 480);
    w.expectResultRows("mp3", 0);
    const core::SongEntry first = w.form->searchPanel()->ListView1->rowAt(0);
    EXPECT_EQ(first.sub(core::SubItem::Name), g("刘德华 - 忘情水"));
    EXPECT_EQ(first.sub(core::SubItem::Address),
              "http://" + service.host() + "/media/liudehua_1.mp3");
    const std::string size = first.sub(core::SubItem::SizeText);
    ASSERT_EQ(size.size(), 4u);
    EXPECT_TRUE(size.back() == 'M' || size.back() == 'K') << size;
    // The second page starts at the service's result 61: the first follow-up asks for offset 60.
    EXPECT_EQ(w.form->searchPanel()->ListView1->rowAt(30).sub(core::SubItem::Address),
              "http://" + service.host() + "/media/liudehua_61.mp3");

    EXPECT_EQ(w.form->searchPanel()->resultlabel->text(), QString::fromUtf8(" 搜索结果  约560"));
    EXPECT_TRUE(w.form->windowTitle().endsWith(QString::fromUtf8("   本机ip为:  127.0.0.1")))
        << w.form->windowTitle().toStdString();
    EXPECT_EQ(w.form->searchPanel()->defaultEngine()->rules().state().clientAddress, "127.0.0.1");
    EXPECT_EQ(w.form->searchPanel()->defaultEngine()->rules().state().resultPageNumber, 17);

    const std::vector<std::string> targets = service.searchTargets();
    ASSERT_EQ(targets.size(), 16u);
    EXPECT_EQ(targets[0], "/m?tn=baidump3&ct=134217728&rn=&word=%E5%88%98%E5%BE%B7%E5%8D%8E&lm=0");
    for (size_t k = 1; k < targets.size(); ++k) {
        EXPECT_EQ(targets[k], "/m?lm=0&ct=134217728&tn=baidump3&word=%E5%88%98%E5%BE%B7%E5%8D%8E"
                              "&pn=" +
                                  std::to_string((k + 1) * 30) + "&ip=127.0.0.1&cl=3&z=0");
    }
    EXPECT_TRUE(w.messages.isEmpty());
    // Reference: the same sixteen addresses loaded one after another by a bare hidden browser,
    // without the window, parser or list. Reported beside the search, never asserted.
    browser::WebEngineBrowser bare(browser::WebEngineBrowser::Kind::Hidden, nullptr);
    QElapsedTimer bareTimer;
    bareTimer.start();
    int loaded = 0;
    for (const std::string& target : targets) {
        bool done = false;
        auto c = QObject::connect(&bare, &browser::BrowserControl::DocumentComplete,
                                  [&] { done = true; });
        bare.Navigate(QString::fromStdString("http://" + service.host() + target));
        loaded += QTest::qWaitFor([&] { return done; }, 30000) && bare.document() ? 1 : 0;
        QObject::disconnect(c);
    }
    const qint64 bareElapsed = bareTimer.elapsed();
    EXPECT_EQ(loaded, 16);
    std::cout << "[ measure ] sixteen-page search: " << elapsed << " ms, "
              << static_cast<double>(elapsed) / 16.0
              << " ms per page; bare browser loads: " << bareElapsed << " ms, "
              << static_cast<double>(bareElapsed) / 16.0 << " ms per page; ratio "
              << static_cast<double>(elapsed) / bareElapsed << "\n";
}

TEST(SearchPaging, StopDuringPagingKeepsTheRowsAndRequestsNothingMore)
{
    e2e::DemoService service({"--delay-ms", "250"});
    ASSERT_TRUE(service.running());
    SearchWindow w(service);
    w.search("张学友", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() >= 60; }, 60000));
    w.form->searchPanel()->stopbtn->click();
    EXPECT_EQ(w.form->searchPanel()->defaultEngine()->rules().state().searchStopped, -1);
    ASSERT_TRUE(w.waitUntilQuiet(service, 2000));

    const int rows = w.rows();
    EXPECT_GE(rows, 60);
    EXPECT_LT(rows, 480);
    EXPECT_EQ(rows % 30, 0);
    w.expectResultRows("mp3", 0);
    // At most the page that was loading when the stop came was still asked for.
    const size_t requested = service.searchTargets().size();
    EXPECT_LE(requested, static_cast<size_t>(rows / 30 + 1));
    QTest::qWait(1500);
    EXPECT_EQ(w.rows(), rows);
    EXPECT_EQ(service.searchTargets().size(), requested);
}

TEST(SearchPaging, RefreshRepeatsTheSearchFromPageOne)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    SearchWindow w(service);
    w.search("那英", 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() >= 12; }, 60000));
    ASSERT_TRUE(w.waitUntilQuiet(service));
    ASSERT_EQ(w.rows(), 12);
    // One page of rows, then an empty page ends the chain.
    ASSERT_EQ(service.searchTargets().size(), 2u);
    EXPECT_EQ(w.form->searchPanel()->defaultEngine()->rules().state().resultPageNumber, 2);
    w.expectResultRows("rm", 1);

    w.form->searchPanel()->ListView1->setRowSelected(3, true);
    w.form->searchPanel()->SeSkinSpeedButton2->click();
    EXPECT_EQ(w.rows(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() >= 12; }, 60000));
    ASSERT_TRUE(w.waitUntilQuiet(service));
    EXPECT_EQ(w.rows(), 12);
    w.expectResultRows("rm", 1);
    const std::vector<std::string> targets = service.searchTargets();
    ASSERT_EQ(targets.size(), 4u);
    EXPECT_EQ(targets[2], targets[0]);
    EXPECT_EQ(targets[2].find("&pn="), std::string::npos);
    EXPECT_EQ(offsetOf(targets[3]), "60");
}

TEST(SearchPaging, TypeChangeRestartsTheSearchWhilePagesAreStillComing)
{
    e2e::DemoService service({"--delay-ms", "150"});
    ASSERT_TRUE(service.running());
    SearchWindow w(service);
    w.search("周杰伦", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() >= 30; }, 60000));

    w.form->searchPanel()->SeSkinComboBox1->setCurrentIndex(2);
    emit w.form->searchPanel()->SeSkinComboBox1->activated(2);
    EXPECT_EQ(w.rows(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() >= 60; }, 60000));
    w.form->searchPanel()->stopbtn->click();
    ASSERT_TRUE(w.waitUntilQuiet(service));
    w.expectResultRows("wma", 2);

    const std::vector<std::string> targets = service.searchTargets();
    size_t restart = 0;
    for (size_t i = 1; i < targets.size(); ++i)
        if (targets[i].rfind("/m?tn=baidump3&ct=134217728&rn=&word=", 0) == 0)
            restart = i;
    ASSERT_GT(restart, 0u);
    EXPECT_EQ(targets[restart].substr(targets[restart].size() - 5), "&lm=2");
    for (size_t i = restart + 1; i < targets.size(); ++i)
        EXPECT_EQ(targets[i].rfind("/m?lm=2&", 0), 0u) << targets[i];
}

TEST(SearchPaging, TypeChangeWithAnEmptySearchBoxDoesNothing)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    SearchWindow w(service);
    w.form->searchPanel()->SeSkinComboBox1->setCurrentIndex(3);
    emit w.form->searchPanel()->SeSkinComboBox1->activated(3);
    QTest::qWait(800);
    EXPECT_TRUE(service.searchTargets().empty());
}

TEST(SearchPaging, BrokenPagesFollowTheParsersFallbacks)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    SearchWindow w(service);

    // No total line: the label is written from the first line, which holds no "篇".
    w.search("badpage-nototal", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() > 0; }, 60000));
    ASSERT_TRUE(w.waitUntilQuiet(service));
    EXPECT_EQ(w.form->searchPanel()->resultlabel->text(), QString::fromUtf8(" 搜索结果  "));
    w.expectResultRows("mp3", 0);

    // Every search writes its own total: a later search with a total shows it.
    w.search("那英", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() == 12; }, 60000));
    ASSERT_TRUE(w.waitUntilQuiet(service));
    EXPECT_TRUE(
        w.form->searchPanel()->resultlabel->text().startsWith(QString::fromUtf8(" 搜索结果  约")))
        << w.form->searchPanel()->resultlabel->text().toStdString();

    // Result links without text take size and type from the page's first line.
    w.search("badpage-emptylinks", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() > 0; }, 60000));
    ASSERT_TRUE(w.waitUntilQuiet(service));
    const search::SizeAndType firstLine =
        search::sizeAndTypeOf(w.form->searchPanel()->defaultEngine()->rules().pageLines().at(0));
    for (int i = 0; i < w.rows(); ++i) {
        const core::SongEntry row = w.form->searchPanel()->ListView1->rowAt(i);
        EXPECT_EQ(row.sub(core::SubItem::Name), "");
        EXPECT_EQ(row.sub(core::SubItem::SizeText), firstLine.size);
        EXPECT_EQ(row.sub(core::SubItem::TypeText), firstLine.type);
        EXPECT_EQ(row.sub(core::SubItem::Address).rfind("http://" + service.host() + "/media/", 0),
                  0u);
    }
    EXPECT_TRUE(w.messages.isEmpty());
}

TEST(SearchPaging, PagesWithoutPagingLinksLeaveTheClientAddressUnknown)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    SearchWindow w(service);
    const QString caption = w.form->windowTitle();
    w.search("badpage-nopaging", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() > 0; }, 60000));
    ASSERT_TRUE(w.waitUntilQuiet(service));
    EXPECT_EQ(w.form->searchPanel()->defaultEngine()->rules().state().clientAddress, "");
    EXPECT_EQ(w.form->windowTitle(), caption);
    const std::vector<std::string> targets = service.searchTargets();
    ASSERT_GE(targets.size(), 2u);
    EXPECT_NE(targets[1].find("&pn=60&ip=&cl=3&z=0"), std::string::npos) << targets[1];
}

TEST(ResultList, SelectingResultRowsChangesNothingAndDoubleClickMakesTheCardSong)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    SearchWindow w(service);
    w.search("那英", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() == 12; }, 60000));
    ASSERT_TRUE(w.waitUntilQuiet(service));
    const size_t requests = service.searchTargets().size();

    ui::SongListView* list = w.form->searchPanel()->ListView1;
    EXPECT_EQ(list->columnCount(), 5);
    EXPECT_EQ(list->headerItem()->text(1), QString::fromUtf8("歌手名"));
    EXPECT_EQ(list->headerItem()->text(4), QString::fromUtf8("类型"));
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);

    w.form->cardPanel()->cardlistview->appendRow(
        {"9", 3, {"old", "http://x/old.asf", "1.0M", "asf"}});
    // Two rows selected with Ctrl, as the user does it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(list, 5));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(list, 2));
    ASSERT_EQ(list->selectedRows(), (std::vector<int>{2, 5}));
    EXPECT_EQ(w.form->searchPanel()->Edit1->text(), QString::fromUtf8("那英"));
    QTest::qWait(500);
    EXPECT_EQ(service.searchTargets().size(), requests);
    EXPECT_EQ(w.rows(), 12);

    // With several rows selected the first one in list order becomes the card's song.
    w.form->searchPanel()->ListView1DblClick();
    ASSERT_EQ(w.form->cardPanel()->cardlistview->rowCount(), 1);
    EXPECT_EQ(w.form->cardPanel()->cardlistview->rowAt(0), list->rowAt(2));

    // A real double-click on one row replaces it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(list, 7));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowPoint(list, 7));
    ASSERT_EQ(w.form->cardPanel()->cardlistview->rowCount(), 1);
    EXPECT_EQ(w.form->cardPanel()->cardlistview->rowAt(0), list->rowAt(7));
    EXPECT_EQ(w.form->cardPanel()->cardlistview->rowAt(0).caption, "8");
    const int first = 7;

    // No selection: a double-click leaves the card list as it is.
    list->clearSelection();
    w.form->searchPanel()->ListView1DblClick();
    EXPECT_EQ(w.form->cardPanel()->cardlistview->rowAt(0), list->rowAt(first));
}

} // namespace
