// Chart and album pages against the demo service: the lists they fill, and a chosen entry
// running a search for its name.
#include "browser/browser_control.h"
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "core/song_entry.h"
#include "gui/browser_search_engine.h"
#include "gui/dialogs.h"
#include "gui/form1.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "service_window.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

std::string g(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

struct ChartWindow : e2e::ServiceWindow {
    using ServiceWindow::ServiceWindow;
    int rowNamed(const std::string& name) const
    {
        for (int i = 0; i < rows(); ++i)
            if (form->searchPanel()->ListView1->rowAt(i).sub(core::SubItem::Name) == name)
                return i;
        return -1;
    }
    // Waits for the page of WebBrowser2 to complete and its rows to be added.
    bool waitForChart(int deadlineMs = 60000)
    {
        bool done = false;
        auto connection =
            QObject::connect(form->searchPanel()->defaultEngine()->WebBrowser2,
                             &browser::BrowserControl::DocumentComplete, [&] { done = true; });
        const bool ok = QTest::qWaitFor([&] { return done; }, deadlineMs);
        QObject::disconnect(connection);
        QTest::qWait(50);
        return ok;
    }
};

void expectChartRows(const TForm1& form, int from)
{
    for (int i = from; i < form.searchPanel()->ListView1->rowCount(); ++i) {
        const core::SongEntry row = form.searchPanel()->ListView1->rowAt(i);
        ASSERT_EQ(row.caption, std::to_string(i + 1));
        ASSERT_EQ(row.imageIndex, 0);
        ASSERT_EQ(row.subItems.size(), 2u);
    }
}

TEST(Charts, SongChartFillsTheListAndChoosingAnEntrySearchesForIt)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    ChartWindow w(service);
    w.form->searchPanel()->ListView1->appendRow({"1", 0, {"old", "x", "1.0M", "mp3"}});

    w.form->searchPanel()->musiclist->click();
    EXPECT_EQ(w.rows(), 0);
    EXPECT_FALSE(w.form->searchPanel()->defaultEngine()->WebBrowser2->browserVisible());
    ASSERT_TRUE(w.waitForChart());
    ASSERT_EQ(w.rows(), 28); // two songs of each of the fourteen singers
    expectChartRows(*w.form, 0);
    EXPECT_EQ(w.form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Name), g("忘情水"));
    // The shown rest of the link: its target without the redirect prefix's length.
    const std::string prefix = "http://" + service.host() + "/r?url=";
    const std::string entryTarget = "http://" + service.host() +
                                    "/m?rn=&tn=baidump3&ct=134217728&word=%CD%FC%C7%E9%CB%AE&lm=-1";
    EXPECT_EQ(w.form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Address),
              entryTarget.substr(prefix.size()));
    EXPECT_TRUE(service.searchTargets().empty());

    // Choosing an entry as the user does: a click on its row.
    const int row = w.rowNamed(g("七里香"));
    ASSERT_GE(row, 0);
    ui::SongListView* list = w.form->searchPanel()->ListView1;
    list->scrollToItem(list->itemAtRow(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(20, list->visualItemRect(list->itemAtRow(row)).center().y()));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return w.form->searchPanel()->Edit1->text() == QString::fromUtf8("七里香"); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() >= 30; }, 60000));
    const core::SongEntry first = list->rowAt(0);
    EXPECT_EQ(first.caption, "1");
    EXPECT_EQ(first.subItems.size(), 4u);
    EXPECT_EQ(first.sub(core::SubItem::Name), g("周杰伦 - 七里香"));
    const std::vector<std::string> targets = service.searchTargets();
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets[0], "/m?tn=baidump3&ct=134217728&rn=&word=%E4%B8%83%E9%87%8C%E9%A6%99&lm=0");
    EXPECT_TRUE(w.messages.isEmpty());
}

TEST(Charts, ChoosingAFemaleSingerSearchesHerSongsOfTheCurrentType)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    ChartWindow w(service);
    w.form->searchPanel()->SeSkinComboBox1->setCurrentIndex(1);
    w.form->searchPanel()->womanlistbtn->click();
    ASSERT_TRUE(w.waitForChart());
    ASSERT_EQ(w.rows(), 7);
    expectChartRows(*w.form, 0);
    EXPECT_GE(w.rowNamed(g("王菲")), 0);
    EXPECT_EQ(w.rowNamed(g("刘德华")), -1);

    const int row = w.rowNamed(g("那英"));
    ASSERT_GE(row, 0);
    w.form->searchPanel()->ListView1->setRowSelected(row, true);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return w.form->searchPanel()->Edit1->text() == QString::fromUtf8("那英"); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() == 12; }, 60000));
    for (int i = 0; i < w.rows(); ++i) {
        const core::SongEntry r = w.form->searchPanel()->ListView1->rowAt(i);
        EXPECT_EQ(r.caption, std::to_string(i + 1));
        EXPECT_EQ(r.imageIndex, 1);
        EXPECT_EQ(r.sub(core::SubItem::TypeText), "rm");
    }
}

TEST(Charts, ChartRowsAreAppendedAfterRowsStillPresent)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    ChartWindow w(service);
    w.form->searchPanel()->manlistbtn->click();
    ASSERT_TRUE(w.waitForChart());
    ASSERT_EQ(w.rows(), 7);
    // A second page arriving into a list that still holds rows numbers on from them.
    w.form->searchPanel()->defaultEngine()->WebBrowser2->Navigate(
        QString::fromStdString("http://" + service.host() + "/ygeshou.html"));
    ASSERT_TRUE(w.waitForChart());
    ASSERT_EQ(w.rows(), 14);
    expectChartRows(*w.form, 0);
    EXPECT_EQ(w.form->searchPanel()->ListView1->rowAt(7).sub(core::SubItem::Name), g("王菲"));

    // Several chart rows selected at once (a Shift range): the first one starts the search and
    // the rest, gone with the emptied list, leave the search box alone.
    ui::SongListView* list = w.form->searchPanel()->ListView1;
    const std::string chosen = list->rowAt(7).sub(core::SubItem::Name);
    list->selectionModel()->select(
        QItemSelection(list->model()->index(7, 0), list->model()->index(9, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return core::toGbk(w.form->searchPanel()->Edit1->text()) == chosen; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rows() >= 30; }, 60000));
    EXPECT_EQ(list->rowAt(0).sub(core::SubItem::Name).rfind(chosen, 0), 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.searchTargets().size() >= 2; }, 60000));
    const std::vector<std::string> targets = service.searchTargets();
    EXPECT_EQ(targets[0], "/m?tn=baidump3&ct=134217728&rn=&word=%E7%8E%8B%E8%8F%B2&lm=0");
    EXPECT_NE(targets[1].find("&word=%E7%8E%8B%E8%8F%B2&pn=60&"), std::string::npos) << targets[1];
    w.form->searchPanel()->stopbtn->click();
}

TEST(Albums, AlbumButtonLoadsTheFirstSearchPageAndListsOnlyItsAlbumLinks)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    ChartWindow w(service);

    // With an empty search box nothing is requested and the list stays.
    w.form->searchPanel()->ListView1->appendRow({"1", 0, {"keep", "x", "1.0M", "mp3"}});
    w.form->searchPanel()->menubtn->click();
    QTest::qWait(500);
    EXPECT_EQ(w.rows(), 1);
    EXPECT_TRUE(w.form->searchPanel()->Edit1->hasFocus());
    EXPECT_TRUE(service.searchTargets().empty());

    w.form->searchPanel()->Edit1->setText(QString::fromUtf8("刘德华"));
    w.form->searchPanel()->defaultEngine()->rules().state().resultRowCount = 77;
    w.form->searchPanel()->menubtn->click();
    EXPECT_EQ(w.rows(), 0);
    EXPECT_EQ(w.form->searchPanel()->defaultEngine()->rules().state().resultRowCount, 0);
    ASSERT_TRUE(w.waitForChart());
    ASSERT_EQ(w.rows(), 3);
    expectChartRows(*w.form, 0);
    EXPECT_EQ(w.form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Name),
              g("刘德华 精选集"));
    EXPECT_EQ(w.form->searchPanel()->ListView1->rowAt(1).sub(core::SubItem::Name),
              g("刘德华 演唱会"));
    EXPECT_EQ(w.form->searchPanel()->ListView1->rowAt(2).sub(core::SubItem::Name),
              g("刘德华 忘情水"));
    const std::vector<std::string> targets = service.searchTargets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0], "/m?tn=baidump3&ct=134217728&rn=&word=%E5%88%98%E5%BE%B7%E5%8D%8E&lm=0");
    EXPECT_TRUE(w.messages.isEmpty());
}

TEST(Charts, AnUnreachableChartServiceSaysToCheckTheConnection)
{
    QTemporaryDir dir;
    QStringList messages;
    ui::dialogHooks().message = [&](const QString& text) { messages << text; };
    Form1Options options;
    options.hosts.pointAllAt("127.0.0.1:1");
    options.programFolder = dir.path().toStdString() + "/";
    TForm1 form(options);
    form.searchPanel()->manlistbtn->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, 30000));
    EXPECT_EQ(messages, QStringList{"请检查网络连接!"});
    EXPECT_EQ(form.searchPanel()->ListView1->rowCount(), 0);
    ui::dialogHooks() = {};
}

} // namespace
