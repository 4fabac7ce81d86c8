// The result presenter driven by a stand-in engine: rows, caption and progress of the current
// search reach the list, the label and the bar (from the window's thread at once, from other
// threads in order); a replaced or stopped search is not heard; scrolling to the end asks the
// next page of an engine that pages when asked. And the default engine's words on its wire.
#include "core/gbk.h"
#include "gui/browser_search_engine.h"
#include "gui/result_presenter.h"
#include "gui/song_list_view.h"
#include "search/search_engine.h"

#include "browser/browser_control.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string g(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

core::SongEntry row(const std::string& caption)
{
    return {caption, 0, {"name " + caption, "http://x/" + caption + ".mp3", "1.0M", "mp3"}};
}

// An engine that tells what the test makes it tell; it notes what it was asked.
class FakeEngine : public search::SearchEngine {
public:
    explicit FakeEngine(bool pagesWhenAsked) : paged_(pagesWhenAsked) {}
    std::uint64_t start(std::u16string_view words, int mediaType) override
    {
        current = search::newSearchId();
        calls.push_back("start " + core::gbkToUtf8(core::utf16ToGbk(words)) + " " +
                        std::to_string(mediaType));
        // What an engine tells while it starts counts already.
        observer()->captionChanged(current, g("正在搜索"));
        observer()->progressChanged(current, 0, 0);
        return current;
    }
    void nextPage() override { calls.push_back("next"); }
    void stop() override
    {
        calls.push_back("stop");
        if (current)
            observer()->progressChanged(current, 1, 1);
    }
    bool pagesWhenAsked() const override { return paged_; }
    search::SearchObserver& tell() { return *observer(); }

    std::uint64_t current = 0;
    std::vector<std::string> calls;

private:
    bool paged_;
};

class ResultPresenterTest : public ::testing::Test {
protected:
    ResultPresenterTest()
    {
        list.setColumnCaptions({QString(), "歌手名", "下载地址", "大小", "类型"});
        presenter.addEngine(&archive);
        presenter.addEngine(&browser);
    }
    // Tells rows [from, from + n) of the search from another thread, one row a batch, and
    // waits for that thread to end.
    void rowsFromAnotherThread(FakeEngine& engine, std::uint64_t search, int from, int n)
    {
        std::thread worker([&] {
            for (int k = from; k < from + n; ++k)
                engine.tell().rowsArrived(search, {row(std::to_string(k))});
        });
        worker.join();
    }
    std::vector<std::string> captions() const
    {
        std::vector<std::string> all;
        for (int i = 0; i < list.rowCount(); ++i)
            all.push_back(list.rowAt(i).caption);
        return all;
    }

    ui::SongListView list;
    QLabel caption;
    QProgressBar bar;
    gui::ResultPresenter presenter{&list, &caption, &bar};
    FakeEngine archive{true};
    FakeEngine browser{false};
};

TEST_F(ResultPresenterTest, TheCurrentSearchFillsTheListCaptionAndBar)
{
    list.appendRow(row("old"));
    QSignalSpy titles(&presenter, &gui::ResultPresenter::windowCaptionWritten);
    QSignalSpy troubles(&presenter, &gui::ResultPresenter::trouble);

    const std::uint64_t id = presenter.start(browser, u"周杰伦 Ǿ", 2);
    EXPECT_EQ(id, browser.current);
    EXPECT_EQ(browser.calls, std::vector<std::string>{"start 周杰伦 Ǿ 2"});
    EXPECT_EQ(archive.calls, std::vector<std::string>{"stop"}); // the other engine stops
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(caption.text(), QString::fromUtf8("正在搜索"));
    EXPECT_EQ(bar.maximum(), 0); // busy, without a measure
    EXPECT_TRUE(presenter.busy());

    // From the window's thread the rows show at once.
    browser.tell().rowsArrived(id, {row("1"), row("2")});
    EXPECT_EQ(captions(), (std::vector<std::string>{"1", "2"}));
    browser.tell().progressChanged(id, 30, 100);
    EXPECT_EQ(bar.maximum(), 100);
    EXPECT_EQ(bar.value(), 30);
    browser.tell().captionChanged(id, g(" 搜索结果  约560"));
    EXPECT_EQ(caption.text(), QString::fromUtf8(" 搜索结果  约560"));
    browser.tell().windowCaptionChanged(id, g("Corvale   本机ip为:  127.0.0.1"));
    ASSERT_EQ(titles.size(), 1);
    EXPECT_EQ(titles[0][0].toString(), QString::fromUtf8("Corvale   本机ip为:  127.0.0.1"));
    browser.tell().troubleReported(id, g("服务器没有响应"));
    ASSERT_EQ(troubles.size(), 1);
    EXPECT_EQ(troubles[0][0].toString(), QString::fromUtf8("服务器没有响应"));
    EXPECT_FALSE(presenter.busy());
}

TEST_F(ResultPresenterTest, RowsFromAnotherThreadAreListedInTheirOrder)
{
    const std::uint64_t id = presenter.start(archive, u"abc", 0);
    rowsFromAnotherThread(archive, id, 1, 300);
    std::thread([&] { archive.tell().captionChanged(id, g(" 搜索结果  300 个条目")); }).join();
    EXPECT_TRUE(presenter.busy()); // rows wait to be listed
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.rowCount() == 300; }, 10000));
    std::vector<std::string> expected;
    for (int k = 1; k <= 300; ++k)
        expected.push_back(std::to_string(k));
    EXPECT_EQ(captions(), expected);
    EXPECT_EQ(caption.text(), QString::fromUtf8(" 搜索结果  300 个条目"));
    std::thread([&] { archive.tell().searchIdle(id); }).join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !presenter.busy(); }, 10000));
}

TEST_F(ResultPresenterTest, AReplacedSearchIsNotHeardAndAStopDropsTheRowsNotListedYet)
{
    const std::uint64_t first = presenter.start(archive, u"abc", 0);
    rowsFromAnotherThread(archive, first, 1, 5); // queued, not listed yet
    const std::uint64_t second = presenter.start(browser, u"def", 0);
    EXPECT_EQ(archive.calls.back(), "stop");
    // The first search's news, queued before and told after, from either thread.
    rowsFromAnotherThread(archive, first, 6, 5);
    archive.tell().rowsArrived(first, {row("x")});
    archive.tell().captionChanged(first, g("旧的"));
    archive.tell().progressChanged(first, 7, 9);
    QTest::qWait(50);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(caption.text(), QString::fromUtf8("正在搜索"));
    EXPECT_EQ(bar.maximum(), 0);

    browser.tell().rowsArrived(second, {row("1")});
    EXPECT_EQ(list.rowCount(), 1);

    // Rows told before the stop but not listed yet go with it; the engine's own words after
    // its stop (its bar, the rows of a page that still completed) show.
    rowsFromAnotherThread(browser, second, 2, 3);
    presenter.stop();
    EXPECT_EQ(browser.calls.back(), "stop");
    EXPECT_EQ(bar.maximum(), 1);
    EXPECT_EQ(bar.value(), 1);
    EXPECT_FALSE(presenter.busy());
    QTest::qWait(50);
    EXPECT_EQ(captions(), std::vector<std::string>{"1"});
    browser.tell().rowsArrived(second, {row("2")});
    EXPECT_EQ(captions(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(ResultPresenterTest, TheEndOfTheListAsksTheNextPageOfAnEngineThatPagesWhenAsked)
{
    presenter.scrolledToEnd(); // no search yet
    presenter.start(archive, u"abc", 0);
    presenter.scrolledToEnd();
    EXPECT_EQ(archive.calls.back(), "next");
    presenter.start(browser, u"abc", 0); // it asks its pages itself
    presenter.scrolledToEnd();
    EXPECT_EQ(browser.calls.back(), "start abc 0");
    presenter.start(archive, u"abc", 0);
    presenter.stop();
    presenter.scrolledToEnd();
    EXPECT_EQ(archive.calls.back(), "stop");
    EXPECT_EQ(std::count(archive.calls.begin(), archive.calls.end(), "next"), 1);
}

TEST(DefaultEngineWords, TheServiceGetsTheWordsInItsCodePage)
{
    QWidget parent;
    search::ServiceHosts hosts;
    hosts.pointAllAt("127.0.0.1:9");
    gui::BrowserSearchEngine engine(hosts, "Corvale", &parent);
    engine.start(u"周杰伦 Ǿ𠀀", 2);
    // GBK keeps its two bytes a character; letters GBK lacks take GB18030's four.
    EXPECT_EQ(engine.rules().words(), "\xD6\xDC\xBD\xDC\xC2\xD7 \x81\x30\xA3\x35\x95\x32\x82\x36");
    EXPECT_EQ(engine.WebBrowser1->address(),
              QString::fromUtf8(
                  "http://127.0.0.1:9/m?tn=baidump3&ct=134217728&rn=&word=周杰伦 Ǿ𠀀&lm=2"));
    engine.stop();
}

} // namespace
