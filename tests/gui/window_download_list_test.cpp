// The download panel, its list handlers and the folder chooser, offscreen.
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "download/engine_state_access.h"
#include "download/transfer_engine.h"
#include "download_window_fixture.h"
#include "gui/dialogs.h"
#include "gui/form1.h"
#include "gui/form2.h"
#include "gui/play_panel.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"

#include <QAction>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace {

class DownloadListTest : public DownloadWindowTest {
protected:
    QStringList messages;

    void SetUp() override
    {
        ui::dialogHooks().message = [this](const QString& text) { messages << text; };
        createWindow();
    }

    static core::SongEntry resultRow(const std::string& n, const std::string& type = "mp3")
    {
        return {n, 2, {"name" + n, "http://h/" + n + "." + type, "2.3M", type}};
    }
    static core::SongEntry chartRow(const std::string& n)
    {
        return {n, 0, {"singer" + n, "list/" + n + ".html"}};
    }
    std::string savePath(int row) { return list()->rowAt(row).sub(core::SubItem::SavePath); }
    std::vector<std::string> names()
    {
        std::vector<std::string> all;
        for (int i = 0; i < list()->rowCount(); ++i)
            all.push_back(list()->rowAt(i).sub(core::SubItem::Name));
        return all;
    }
    void fillDownloadList(int rows)
    {
        for (int i = 1; i <= rows; ++i)
            form->downloadPanel()->appendDownloadRow(
                {std::to_string(i),
                 0,
                 {"song" + std::to_string(i), "http://h/" + std::to_string(i) + ".mp3", "1M", "mp3",
                  form->downloadPanel()->SaveFolder + "song" + std::to_string(i) + ".mp3"}});
    }
    bool downloadPanelShown() const { return !form->downloadPanel()->isHidden(); }
};

TEST_F(DownloadListTest, PanelHoldsItsControlsInsideWithoutOverlap)
{
    form->show();
    QGroupBox* panel = form->downloadPanel();
    EXPECT_TRUE(panel->isHidden()); // the search view shows at start
    EXPECT_EQ(panel->title(), "下载");

    gui::DownloadListView* list = form->downloadPanel()->downloadlistview;
    // The list's own columns, then what each row's state is.
    ASSERT_EQ(list->model()->columnCount(), 9);
    const QStringList captions = {"",         "歌曲名", "下载地址", "大小", "类型",
                                  "保存地址", "状态",   "速度",     "剩余"};
    for (int c = 0; c < 9; ++c)
        EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
    EXPECT_EQ(list->toolTip(), "按住Ctrl或Shift键可选择多项");
    EXPECT_FALSE(list->styleSheet().isEmpty()) << "grid lines";
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->palette().color(QPalette::Inactive, QPalette::Highlight),
              list->palette().color(QPalette::Active, QPalette::Highlight));

    ui::SongListView* active = form->downloadPanel()->downloadnow;
    ASSERT_EQ(active->columnCount(), 4);
    EXPECT_EQ(active->headerItem()->text(0), "歌曲名称");
    EXPECT_EQ(active->headerItem()->text(3), "相应序列");
    EXPECT_EQ(active->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(form->downloadPanel()->downinimemo->isReadOnly());

    // Every shown control lies inside the panel, below its caption, and no two overlap.
    form->Button4Click();
    std::vector<QWidget*> shown = {list,
                                   active,
                                   form->downloadPanel()->downbtn,
                                   form->downloadPanel()->delbtn,
                                   form->downloadPanel()->delallbtn,
                                   form->downloadPanel()->SeSkinButton3,
                                   form->downloadPanel()->downinimemo};
    for (int k = 0; k < 5; ++k) {
        ASSERT_NE(form->downloadPanel()->workerBar(k), nullptr);
        shown.push_back(form->downloadPanel()->workerBar(k));
    }
    const QRect inside = panel->rect().adjusted(0, 16, 0, 0);
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i]->parentWidget(), panel) << shown[i]->objectName().toStdString();
        EXPECT_TRUE(shown[i]->isVisible()) << i;
        EXPECT_TRUE(inside.contains(shown[i]->geometry())) << i;
        for (size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry())) << i << " " << j;
    }
}

TEST_F(DownloadListTest, SelectedRowsStayMarkedWithoutTheFocus)
{
    form->show();
    form->Button4Click();
    fillDownloadList(3);
    gui::DownloadListView* list = this->list();
    list->setRowSelected(1, true);
    form->searchPanel()->Edit1->setFocus();
    ASSERT_FALSE(list->hasFocus());

    // Share of a row's pixels painted in the list's plain background colour.
    const QImage shot = list->viewport()->grab().toImage();
    const QRgb plain = shot.pixel(shot.width() - 2, shot.height() - 2); // below the last row
    auto plainShare = [&](int row) {
        const QRect r = list->rowRect(row).intersected(shot.rect());
        int same = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                same += shot.pixel(x, y) == plain ? 1 : 0;
        return static_cast<double>(same) / (r.width() * r.height());
    };
    EXPECT_GT(plainShare(0), 0.5);
    EXPECT_LT(plainShare(1), 0.1) << "the selected row is drawn like an unselected one";
    EXPECT_GT(plainShare(2), 0.5);
}

TEST_F(DownloadListTest, DownButtonCopiesSelectedResultRowsAndShowsThePanel)
{
    // No selection: nothing is added, the download view still comes up.
    form->searchPanel()->ListView1->appendRow(resultRow("1"));
    form->downloadPanel()->addChosenRows(form->searchPanel()->chosenRows());
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_TRUE(downloadPanelShown());
    EXPECT_TRUE(form->searchPanel()->ListView1->isHidden());

    form->searchPanel()->ListView1->appendRow(resultRow("2", "wma"));
    form->searchPanel()->ListView1->appendRow(resultRow("3"));
    form->searchPanel()->ListView1->setRowSelected(2, true);
    form->searchPanel()->ListView1->setRowSelected(1, true);
    form->Button3Click();
    form->downloadPanel()->addChosenRows(form->searchPanel()->chosenRows());
    ASSERT_EQ(list()->rowCount(), 2);
    const core::SongEntry first = list()->rowAt(0);
    EXPECT_EQ(first.caption, "2"); // list order, not the order of selecting
    EXPECT_EQ(first.imageIndex, 2);
    const std::vector<std::string> expected = {"name2", "http://h/2.wma", "2.3M", "wma",
                                               form->downloadPanel()->SaveFolder + "name2.wma"};
    EXPECT_EQ(first.subItems, expected);
    EXPECT_EQ(savePath(1), form->downloadPanel()->SaveFolder + "name3.mp3");
    EXPECT_TRUE(downloadPanelShown());

    // The same songs again: duplicates with the same save paths are appended.
    form->downloadPanel()->addChosenRows(form->searchPanel()->chosenRows());
    ASSERT_EQ(list()->rowCount(), 4);
    EXPECT_EQ(list()->rowAt(2), list()->rowAt(0));

    // The toolbar button runs the same handler when the play panel provides it.
    if (form->playPanel()->dragdownbtn) {
        QTest::mouseClick(form->playPanel()->dragdownbtn, Qt::LeftButton);
        EXPECT_EQ(list()->rowCount(), 6);
    }
}

TEST_F(DownloadListTest, ChartRowsInTheSelectionAreSkippedAndTheRestCopied)
{
    form->searchPanel()->ListView1->appendRow(chartRow("1"));
    form->searchPanel()->ListView1->appendRow(resultRow("2"));
    form->searchPanel()->ListView1->appendRow(chartRow("3"));
    form->searchPanel()->ListView1->appendRow(resultRow("4"));
    {
        // Selecting a chart row by hand starts a search for it; here the rows are only marked.
        const QSignalBlocker quiet(form->searchPanel()->ListView1);
        for (int i = 0; i < 4; ++i)
            form->searchPanel()->ListView1->setRowSelected(i, true);
    }
    ASSERT_EQ(form->searchPanel()->ListView1->selectedRows().size(), 4u);
    form->downloadPanel()->addChosenRows(form->searchPanel()->chosenRows());
    EXPECT_EQ(names(), (std::vector<std::string>{"name2", "name4"}));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(list()->rowAt(i).subItems.size(), 5u);
    EXPECT_TRUE(downloadPanelShown());
    EXPECT_TRUE(form->downloadPanel()->downinimemo->toPlainText().isEmpty()); // no error was logged
}

TEST_F(DownloadListTest, DeleteRemovesSelectedRowsAndClearRemovesAll)
{
    fillDownloadList(5);
    list()->setRowSelected(0, true);
    list()->setRowSelected(2, true);
    list()->setRowSelected(4, true);
    QTest::mouseClick(form->downloadPanel()->delbtn, Qt::LeftButton);
    EXPECT_EQ(names(), (std::vector<std::string>{"song2", "song4"}));
    EXPECT_TRUE(form->downloadPanel()->delbtn->isEnabled());

    // Nothing selected: nothing deleted.
    form->downloadPanel()->delbtnClick();
    EXPECT_EQ(list()->rowCount(), 2);

    QTest::mouseClick(form->downloadPanel()->delallbtn, Qt::LeftButton);
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_TRUE(form->downloadPanel()->delallbtn->isEnabled());
    form->downloadPanel()->delallbtnClick(); // an empty list stays empty
    EXPECT_EQ(list()->rowCount(), 0);
}

// A click on a column's header sorts what the list shows; the queue keeps its order, and the
// buttons act on the rows as shown.
TEST_F(DownloadListTest, AHeaderClickSortsTheViewAndDeleteTakesTheRowShown)
{
    using Column = gui::DownloadTableModel::Column;
    struct Row {
        const char *number, *name, *size;
        std::int64_t bytes;
    };
    const Row rows[] = {{"9", "a", "2.3M", -1},
                        {"10", "b", "512K", -1},
                        {"2", "c", "10M", -1},
                        {"1", "d", "", 900}}; // a size the service gave in bytes
    for (const Row& r : rows) {
        core::SongEntry row{r.number, 0, {r.name, "http://h/x.mp3", r.size, "mp3", "/s/x.mp3"}};
        row.sizeBytes = r.bytes;
        form->downloadPanel()->appendDownloadRow(row);
    }
    form->show();
    form->Button4Click();
    gui::DownloadListView* view = list();
    using Names = std::vector<std::string>;
    ASSERT_EQ(names(), (Names{"a", "b", "c", "d"})) << "unsorted until a header is clicked";

    QHeaderView* header = view->header();
    const auto clickHeader = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        ASSERT_LT(x, header->viewport()->width());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    const std::pair<int, Names> sorts[] = {
        {Column::Size, {"d", "b", "a", "c"}},    // by value, not "10M" before "2.3M"
        {Column::Caption, {"d", "c", "a", "b"}}, // by number, not "10" before "9"
        {Column::Name, {"a", "b", "c", "d"}},
    };
    for (const auto& [column, order] : sorts) {
        SCOPED_TRACE(column);
        clickHeader(column);
        EXPECT_EQ(header->sortIndicatorSection(), column);
        Names expected = order;
        if (header->sortIndicatorOrder() == Qt::DescendingOrder)
            std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(names(), expected);
    }

    clickHeader(Column::Size);
    if (header->sortIndicatorOrder() == Qt::DescendingOrder)
        clickHeader(Column::Size);
    ASSERT_EQ(names(), (Names{"d", "b", "a", "c"}));
    view->setRowSelected(0, true);
    QTest::mouseClick(form->downloadPanel()->delbtn, Qt::LeftButton);
    EXPECT_EQ(names(), (Names{"b", "a", "c"}));
    const download::DownloadQueue& queue = form->downloadPanel()->engine()->queue();
    ASSERT_EQ(queue.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(queue.at(i).texts().name, std::string(1, "abc"[i]));
}

TEST_F(DownloadListTest, TheListIsKeptInItsFileAndComesBackInTheNextWindow)
{
    const std::string path = dir.path().toStdString() + "/download-list.txt";
    form->downloadPanel()->keepDownloadListIn(path);
    fillDownloadList(3);
    list()->setRowSelected(1, true);
    form->downloadPanel()->delbtnClick();
    form->downloadPanel()->ChooserRewrite = true;
    list()->setRowSelected(0, true);
    chooser->pathedit->setText("/elsewhere");
    chooser->pathbtnClick();

    // The program closes and starts again: the rows, as last changed, are there.
    chooser.reset();
    form.reset();
    createWindow();
    EXPECT_EQ(list()->rowCount(), 0) << "a window reads no list by itself";
    form->downloadPanel()->keepDownloadListIn(path);
    EXPECT_EQ(names(), (std::vector<std::string>{"song1", "song3"}));
    EXPECT_EQ(savePath(0), "/elsewhere/song1.mp3");
    ASSERT_EQ(form->downloadPanel()->engine()->queue().size(), 2);
    EXPECT_EQ(form->downloadPanel()->engine()->queue().at(0).savePath(), "/elsewhere/song1.mp3");
    EXPECT_EQ(form->downloadPanel()->engine()->queue().at(1).entry, list()->rowAt(1));
}

// "删除所选项" and "清空列表" pressed while a worker ran were disabled for the rest of the run
// (the Delete key with them). They now always work: rows that do not run simply go.
TEST_F(DownloadListTest, DeleteAndClearWorkWhileAWorkerRunsAndNeverStayDisabled)
{
    download::TransferEngine* engine = form->downloadPanel()->engine();
    ASSERT_NE(engine, nullptr);
    fillDownloadList(3);
    list()->setRowSelected(1, true);

    download::TransferEngineTestAccess::activeWorkers(*engine) =
        1; // one segment worker started and not yet ended
    QTest::mouseClick(form->downloadPanel()->delbtn, Qt::LeftButton);
    EXPECT_EQ(names(), (std::vector<std::string>{"song1", "song3"}));
    EXPECT_TRUE(form->downloadPanel()->delbtn->isEnabled());
    form->downloadPanel()->delallbtnClick();
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(form->downloadPanel()->engine()->queue().size(), 0);
    EXPECT_TRUE(form->downloadPanel()->delallbtn->isEnabled());
    download::TransferEngineTestAccess::activeWorkers(*engine) = 0;
}

TEST_F(DownloadListTest, ChooserOpensInRewriteModeOnlyWithASelection)
{
    fillDownloadList(2);
    QTest::mouseClick(form->downloadPanel()->SeSkinButton3, Qt::LeftButton);
    EXPECT_FALSE(form->downloadPanel()->ChooserRewrite);
    EXPECT_TRUE(chooser->isHidden());

    list()->setRowSelected(1, true);
    form->downloadPanel()->SeSkinButton3Click();
    EXPECT_TRUE(form->downloadPanel()->ChooserRewrite);
    EXPECT_FALSE(chooser->isHidden());
    EXPECT_EQ(chooser->windowTitle(), "选择保存目录");
    EXPECT_FALSE(chooser->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(chooser->isModal());

    // Closing the chooser confirms nothing; "保存目录" reopens it still in rewrite mode.
    chooser->close();
    EXPECT_TRUE(chooser->isHidden());
    EXPECT_TRUE(form->downloadPanel()->ChooserRewrite);
    QTest::mouseClick(form->downloadPanel()->SeSkinButton1, Qt::LeftButton);
    EXPECT_FALSE(chooser->isHidden());
    EXPECT_TRUE(form->downloadPanel()->ChooserRewrite);
    EXPECT_EQ(savePath(1), form->downloadPanel()->SaveFolder + "song2.mp3");
}

TEST_F(DownloadListTest, TreeClickFillsThePathAndDefaultModeSetsTheSaveFolder)
{
    QTemporaryDir target;
    const QString folder = QDir(target.path()).canonicalPath();
    ASSERT_TRUE(QDir(folder).mkdir("歌曲"));
    const QString chinese = folder + "/歌曲";
    fillDownloadList(1);
    const std::string before = savePath(0);

    form->downloadPanel()->SeSkinButton1Click();
    const QModelIndex index = chooser->folderIndex(chinese);
    ASSERT_TRUE(index.isValid());
    chooser->ShellTreeView1->setCurrentIndex(index);
    chooser->ShellTreeView1Click();
    EXPECT_EQ(chooser->pathedit->text(), chinese);

    // A right click selects the folder under the pointer and takes its path too.
    const QModelIndex parent = chooser->folderIndex(folder);
    chooser->ShellTreeView1->scrollTo(parent);
    emit chooser->ShellTreeView1->customContextMenuRequested(
        chooser->ShellTreeView1->visualRect(parent).center());
    EXPECT_EQ(chooser->pathedit->text(), folder);

    chooser->ShellTreeView1->clearSelection();
    chooser->ShellTreeView1Click();
    EXPECT_EQ(chooser->pathedit->text(), "");

    chooser->pathedit->setText(chinese);
    QTest::mouseClick(chooser->pathbtn, Qt::LeftButton);
    EXPECT_EQ(form->downloadPanel()->SaveFolder, core::toGbk(chinese) + "/");
    EXPECT_TRUE(chooser->isHidden());
    EXPECT_EQ(savePath(0), before); // existing rows keep their path

    form->searchPanel()->ListView1->appendRow(resultRow("7"));
    form->searchPanel()->ListView1->setRowSelected(0, true);
    form->downloadPanel()->addChosenRows(form->searchPanel()->chosenRows());
    EXPECT_EQ(savePath(1), core::toGbk(chinese) + "/name7.mp3");

    // The root gets its separator appended too; an empty text changes nothing.
    form->downloadPanel()->SeSkinButton1Click();
    chooser->pathedit->setText("/");
    chooser->pathbtnClick();
    EXPECT_EQ(form->downloadPanel()->SaveFolder, "//");
    form->downloadPanel()->SeSkinButton1Click();
    chooser->pathedit->clear();
    chooser->pathbtnClick();
    EXPECT_EQ(form->downloadPanel()->SaveFolder, "//");
    EXPECT_FALSE(form->downloadPanel()->ChooserRewrite);
}

TEST_F(DownloadListTest, RewriteModeRepointsRowsSelectedAtConfirmation)
{
    fillDownloadList(4);
    const std::string saveFolder = form->downloadPanel()->SaveFolder;
    list()->setRowSelected(0, true);
    form->downloadPanel()->SeSkinButton3Click();
    ASSERT_TRUE(form->downloadPanel()->ChooserRewrite);

    // The selection changes while the chooser is open: rows 1 and 3 are the ones rewritten.
    list()->setRowSelected(0, false);
    list()->setRowSelected(1, true);
    list()->setRowSelected(3, true);
    chooser->pathedit->setText("/srv/新歌");
    chooser->pathbtnClick();
    EXPECT_EQ(savePath(0), saveFolder + "song1.mp3");
    EXPECT_EQ(savePath(1), core::utf8ToGbk("/srv/新歌/song2.mp3"));
    EXPECT_EQ(savePath(2), saveFolder + "song3.mp3");
    EXPECT_EQ(savePath(3), core::utf8ToGbk("/srv/新歌/song4.mp3"));
    EXPECT_EQ(list()->cellText(1, 5), "/srv/新歌/song2.mp3");
    EXPECT_EQ(form->downloadPanel()->SaveFolder, saveFolder);
    EXPECT_FALSE(form->downloadPanel()->ChooserRewrite);
    EXPECT_TRUE(chooser->isHidden());

    // Rewrite mode with nothing selected at confirmation rewrites nothing but still ends.
    form->downloadPanel()->SeSkinButton3Click();
    ASSERT_TRUE(form->downloadPanel()->ChooserRewrite);
    list()->clearSelection();
    chooser->pathedit->setText("/elsewhere");
    chooser->pathbtnClick();
    EXPECT_FALSE(form->downloadPanel()->ChooserRewrite);
    EXPECT_EQ(savePath(1), core::utf8ToGbk("/srv/新歌/song2.mp3"));
    EXPECT_EQ(form->downloadPanel()->SaveFolder, saveFolder);
}

} // namespace

// Nobody could see a row's state or act on one row. The list shows 状态 after its own columns,
// and each row's menu offers what applies to it.
TEST_F(DownloadListTest, TheRowMenuOffersWhatAppliesAndOpensFilesAndFolders)
{
    fillDownloadList(3);
    download::DownloadQueue& queue = form->downloadPanel()->engine()->queue();
    queue.setStatus(queue.at(0).id, download::RowStatus::Complete);
    queue.setStatus(queue.at(1).id, download::RowStatus::Failed, core::utf8ToGbk("网络错误：x"));
    form->downloadPanel()->showDownloadStates();
    QStringList opened;
    form->downloadPanel()->openLocalPath = [&](const QString& path) {
        opened << path;
        return true;
    };
    const auto state = [&](int row) { return list()->cellText(row, 6); };
    EXPECT_EQ(state(0), "完成");
    EXPECT_EQ(state(1), "失败：网络错误：x");
    EXPECT_EQ(state(2), "等待");
    EXPECT_EQ(list()->rowAt(0).subItems.size(), 5u) << "shown only, not the row's";

    // Enabled entries of the menu for a selection, in menu order.
    const auto menuFor = [&](std::vector<int> rows) {
        list()->clearSelection();
        for (int r : rows)
            list()->setRowSelected(r, true);
        std::unique_ptr<QMenu> menu(form->downloadPanel()->downloadRowMenu(form.get()));
        std::map<QString, QAction*> actions;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                actions[a->text()] = a;
        return std::make_pair(std::move(menu), actions);
    };
    const auto enabled = [](const std::map<QString, QAction*>& actions) {
        QStringList on;
        for (const auto& [text, action] : actions)
            if (action->isEnabled())
                on << text;
        on.sort();
        return on;
    };
    const auto sorted = [](QStringList list) {
        list.sort();
        return list;
    };
    {
        auto [menu, actions] = menuFor({0});
        EXPECT_EQ(enabled(actions), sorted({"删除", "重新下载", "打开文件", "打开所在文件夹"}));
        actions.at("打开文件")->trigger();
        actions.at("打开所在文件夹")->trigger();
        EXPECT_EQ(
            opened,
            (QStringList{
                QString::fromStdString(form->downloadPanel()->SaveFolder) + "song1.mp3",
                QDir(QString::fromStdString(form->downloadPanel()->SaveFolder)).absolutePath()}));
    }
    {
        auto [menu, actions] = menuFor({1});
        EXPECT_EQ(enabled(actions), sorted({"删除", "重新下载", "打开所在文件夹"}));
    }
    {
        auto [menu, actions] = menuFor({2});
        EXPECT_EQ(enabled(actions), sorted({"暂停", "删除", "打开所在文件夹"}));
        actions.at("暂停")->trigger();
        EXPECT_EQ(state(2), "已暂停");
    }
    {
        auto [menu, actions] = menuFor({2});
        EXPECT_EQ(enabled(actions), sorted({"继续", "删除", "打开所在文件夹"}));
        actions.at("继续")->trigger();
        EXPECT_EQ(state(2), "等待");
    }

    // A double-click opens the file of a complete row only.
    opened.clear();
    form->downloadPanel()->downloadlistviewDblClick(2);
    EXPECT_TRUE(opened.isEmpty());
    form->downloadPanel()->downloadlistviewDblClick(0);
    EXPECT_EQ(opened,
              QStringList{QString::fromStdString(form->downloadPanel()->SaveFolder) + "song1.mp3"});
}

// A kept list with a blank line or a last row cut short once came back empty, with no word.
TEST_F(DownloadListTest, ADamagedListFileKeepsItsCompleteRowsAndAnUnreadableOneIsSetAside)
{
    const std::string path = dir.path().toStdString() + "/download-list.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << "corvale-download-list 1\nrow\ncaption 1\nsub kept\nend\n\n"
            << "row\nsub AC/DC\nsub http://h/a.mp3\nsub 1M\nsub mp3\nsub /m/AC/DC.mp3\nend\n"
            << "row\ncaption 3\nsub cut";
    }
    form->downloadPanel()->keepDownloadListIn(path);
    EXPECT_EQ(names(), (std::vector<std::string>{"kept", "AC/DC"}));
    EXPECT_EQ(savePath(1), "/m/AC_DC.mp3") << "the file the row is fetched into";
    EXPECT_TRUE(form->downloadPanel()->downinimemo->toPlainText().isEmpty());

    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "no list at all";
    }
    form->downloadPanel()->keepDownloadListIn(path);
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_TRUE(form->downloadPanel()->downinimemo->toPlainText().startsWith(
        "下载列表文件无法读取，已另存为 "))
        << form->downloadPanel()->downinimemo->toPlainText().toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"download-list.txt.bad-*"}).size(), 1);
}
