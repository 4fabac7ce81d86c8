// The play panel in the main window, offscreen: tool bar, appending, deleting, clearing, the
// player pages written by "在线播放" and by loading a list file, and saving list files.
#include "browser/browser_control.h"
#include "core/gbk.h"
#include "core/line_file.h"
#include "gui/card_panel.h"
#include "gui/dialogs.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/play_list_model.h"
#include "gui/play_list_view.h"
#include "gui/play_panel.h"
#include "gui/screen_adaptation.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"

#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <gtest/gtest.h>

namespace {

using core::SongEntry;

// A design length as the window shows it on this screen (the window scales every control on a
// screen that is not 1024 pixels wide).
int onScreen(int length)
{
    const QSize size = QGuiApplication::primaryScreen()->size();
    const ui::ScreenAdaptation a =
        ui::adaptToScreen(size.width(), size.height(), {696, 604, 121, 575, 311, 201, 137});
    return a.scale ? ui::scaled(length, a) : length;
}

QRect onScreen(int x, int y, int w, int h)
{
    return QRect(onScreen(x), onScreen(y), onScreen(w), onScreen(h));
}

class PlayPanelTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string folder;
    std::unique_ptr<TForm1> form;
    QStringList messages;
    QString chosenFile; // what the next file dialog returns ("" = cancel)
    ui::FileDialog lastDialog;
    bool lastSave = false;
    int dialogs = 0;

    void SetUp() override
    {
        ui::dialogHooks().message = [this](const QString& text) { messages << text; };
        ui::dialogHooks().file = [this](const ui::FileDialog& d, bool save) {
            lastDialog = d;
            lastSave = save;
            ++dialogs;
            return chosenFile;
        };
        folder = dir.path().toStdString() + "/";
        Form1Options options;
        options.hosts.pointAllAt("127.0.0.1:9");
        options.hosts.playerDownload = "dl.example";
        options.programFolder = folder;
        form = std::make_unique<TForm1>(options);
        form->endProcess = [](int) {};
        // The height rules are stated for the list's design height, whatever the screen.
        form->playPanel()->playListView->resize(form->playPanel()->playListView->width(), 137);
    }
    void TearDown() override
    {
        form.reset();
        ui::dialogHooks() = {};
    }

    static SongEntry row(int n, const std::string& type)
    {
        return {std::to_string(n),
                1,
                {"name" + std::to_string(n), "http://h/" + std::to_string(n) + "." + type, "2.3M",
                 type}};
    }
    void results(const std::vector<std::string>& types, const std::vector<int>& selected)
    {
        form->searchPanel()->ListView1->clearRows();
        for (size_t i = 0; i < types.size(); ++i)
            form->searchPanel()->ListView1->appendRow(row(static_cast<int>(i) + 1, types[i]));
        for (int s : selected)
            form->searchPanel()->ListView1->setRowSelected(s, true);
    }
    std::vector<SongEntry> rows(const ui::SongListView* list)
    {
        std::vector<SongEntry> out;
        for (int i = 0; i < list->rowCount(); ++i)
            out.push_back(list->rowAt(i));
        return out;
    }
    std::string file(const std::string& name) { return core::readFileBytes(folder + name); }
    bool exists(const std::string& name)
    {
        return QFile::exists(QString::fromStdString(folder + name));
    }
    int listHeight() { return form->playPanel()->playListView->height(); }
};

TEST_F(PlayPanelTest, ToolBarHoldsEveryControlWithItsCaptionHintAndPlace)
{
    EXPECT_EQ(form->playPanel()->SeSkinPanel1->geometry(), onScreen(121, 384, 575, 201));
    EXPECT_EQ(form->playPanel()->SeSkinToolBar3->geometry().top(), onScreen(24));
    EXPECT_EQ(form->playPanel()->SeSkinToolBar3->width(), onScreen(569));
    struct Expected {
        QAbstractButton* button;
        const char* caption;
        const char* hint;
        int left;
    };
    const Expected buttons[] = {
        {form->playPanel()->dragplaybtn, "播", "搜索栏所选项保存到播放列表，点击‘唱'进行播放", 102},
        {form->playPanel()->dragdownbtn, "下", "搜索栏所选项保存到下载列表，点击‘下载'进行下载",
         127},
        {form->playPanel()->dragcardbtn, "卡",
         "搜索栏所选项保存到音乐贺卡列表，点击‘音乐贺卡'进行编辑", 152},
        {form->playPanel()->playdelbtn, "删", "删除档前播放列表所选项", 277},
        {form->playPanel()->playclear, "清", "清空当前播放列表", 302},
        {form->playPanel()->playsavebtn, "存", "保存当前播放列表", 427},
        {form->playPanel()->playloadbtn, "装", "装载播放列表", 452},
        {form->playPanel()->SeSkinButton4, "在线播放", "播放当前列表", 477},
    };
    for (const Expected& e : buttons) {
        EXPECT_EQ(e.button->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(e.button->toolTip(), QString::fromUtf8(e.hint)) << e.caption;
        EXPECT_EQ(e.button->parentWidget(), form->playPanel()->SeSkinToolBar3);
        EXPECT_EQ(e.button->x(), onScreen(e.left)) << e.caption;
        EXPECT_EQ(e.button->height(), onScreen(25));
        EXPECT_EQ(e.button->width(),
                  onScreen(e.button == form->playPanel()->SeSkinButton4 ? 73 : 25));
    }
    const std::pair<QLabel*, const char*> labels[] = {
        {form->playPanel()->SeSkinLabel7, "选择想保存到对应列表"},
        {form->playPanel()->SeSkinLabel8, "当前播放列表删除操作"},
        {form->playPanel()->SeSkinLabel9, "播放列表的播放及存储"}};
    const int labelLefts[] = {2, 177, 327};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(labels[i].first->text(), QString::fromUtf8(labels[i].second));
        EXPECT_EQ(labels[i].first->width(), onScreen(100));
        EXPECT_TRUE(labels[i].first->wordWrap());
        EXPECT_EQ(labels[i].first->mapTo(form->playPanel()->SeSkinToolBar3, QPoint(0, 0)).x(),
                  onScreen(labelLefts[i]));
    }
    // No hidden button stands in for an action.
    for (const QAbstractButton* b : form->playPanel()->findChildren<QAbstractButton*>())
        EXPECT_FALSE(b->isHidden()) << b->objectName().toStdString();

    EXPECT_EQ(form->playPanel()->playListView->geometry().topLeft(),
              onScreen(8, 56, 0, 0).topLeft());
    EXPECT_EQ(form->playPanel()->playListView->width(),
              onScreen(561)); // the height is set by SetUp
    EXPECT_EQ(form->playPanel()->playListView->model()->headerData(1, Qt::Horizontal).toString(),
              "歌手名");
    EXPECT_EQ(form->playPanel()->playListView->model()->headerData(4, Qt::Horizontal).toString(),
              "类型");
    EXPECT_EQ(form->playPanel()->playListView->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(form->playPanel()->WebBrowser3->view()->geometry(), onScreen(8, 128, 561, 73));
    EXPECT_FALSE(form->playPanel()->WebBrowser3->browserVisible());
    EXPECT_EQ(form->playPanel()->SeSkinLabel4->text(), "正在装载播放器，清稍侯.......");
    EXPECT_EQ(form->playPanel()->SeSkinLabel4->geometry(), onScreen(80, 145, 369, 35));
    EXPECT_TRUE(form->playPanel()->SeSkinLabel4->isHidden());
    // The save filters stand in the order a name without extension takes its format from.
    const QStringList save = form->playPanel()->SaveDialog1.filter.split('|');
    ASSERT_EQ(save.size(), 8);
    EXPECT_EQ((QStringList{save[1], save[3], save[5], save[7]}),
              (QStringList{"*.rpm", "*.asx", "*.m3u8", "*.xspf"}));
    const QStringList open = form->playPanel()->OpenDialog2.filter.split('|');
    ASSERT_GE(open.size(), 2);
    EXPECT_EQ(open[1], "*.rpm;*.asx;*.m3u8;*.m3u;*.xspf") << "the first filter opens every kind";
}

TEST_F(PlayPanelTest, AppendCopiesTheSelectionToBothListsOrRefusesWithAMessage)
{
    form->playPanel()->dragplaybtnClick();
    EXPECT_EQ(messages, QStringList{"请在搜索栏中选择想播放的文件名！"});
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 0);

    // An empty list takes mixed families.
    results({"mp3", "rm", "wma"}, {2, 1});
    form->playPanel()->dragplaybtn->click();
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 2);
    EXPECT_EQ(form->playPanel()->playListView->rowAt(0), form->searchPanel()->ListView1->rowAt(1));
    EXPECT_EQ(form->playPanel()->playListView->rowAt(1), form->searchPanel()->ListView1->rowAt(2));
    EXPECT_EQ(rows(form->cardPanel()->cardlistview), form->playPanel()->rows());

    // First row "rm"; a selection starting with "wma" is refused, whatever follows.
    messages.clear();
    results({"wma", "rm"}, {0, 1});
    form->playPanel()->dragplaybtnClick();
    EXPECT_EQ(messages, QStringList{"文件类型不符,不能追加!"});
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 2);
    EXPECT_EQ(form->cardPanel()->cardlistview->rowCount(), 2);

    // "mp3" first mixes; the same rows appended again appear twice.
    results({"mp3", "wma"}, {0, 1});
    form->playPanel()->dragplaybtnClick();
    form->playPanel()->dragplaybtnClick();
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 6);
    EXPECT_EQ(form->cardPanel()->cardlistview->rowCount(), 6);
    EXPECT_EQ(form->playPanel()->playListView->rowAt(2), form->playPanel()->playListView->rowAt(4));
}

TEST_F(PlayPanelTest, DeleteRemovesOnlyTheSelectedRowAndClearRestoresTheHeight)
{
    results({"mp3", "mp3", "mp3"}, {0, 1, 2});
    form->playPanel()->dragplaybtnClick();
    form->playPanel()->playdelbtnClick(); // nothing selected
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 3);
    form->playPanel()->playListView->setRowSelected(1, true);
    form->playPanel()->playdelbtnClick();
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 2);
    EXPECT_EQ(form->playPanel()->playListView->rowAt(1).caption, "3");
    EXPECT_EQ(form->cardPanel()->cardlistview->rowCount(), 3);

    EXPECT_EQ(listHeight(), 137);
    form->playPanel()->playclearClick();
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 0);
    EXPECT_EQ(listHeight(), 145);
    EXPECT_EQ(form->cardPanel()->cardlistview->rowCount(), 3);
    form->playPanel()->playclearClick();
    EXPECT_EQ(listHeight(), 145);
    form->playPanel()->playListView->resize(561, 150);
    form->playPanel()->playclearClick();
    EXPECT_EQ(listHeight(), 150);
}

TEST_F(PlayPanelTest, PlayOnlineWritesTheRealListAndPageWhenTheFirstRowIsReal)
{
    results({"rm", "mp3"}, {0, 1});
    form->playPanel()->SeSkinButton4Click();
    EXPECT_EQ(file("1.rpm"), "http://h/1.rm\r\nhttp://h/2.mp3\r\n");
    const std::string page = file("1.html");
    EXPECT_EQ(core::splitLines(page).size(), 24u);
    EXPECT_NE(page.find("<param name=\"SRC\" value=\"file:///" + folder + "1.rpm\">\r\n"),
              std::string::npos);
    EXPECT_FALSE(exists("2.html"));
    EXPECT_FALSE(exists("winmedia.asx"));
    EXPECT_TRUE(form->playPanel()->WebBrowser3->browserVisible());
    EXPECT_EQ(form->playPanel()->WebBrowser3->address(),
              QString::fromStdString("file:///" + folder + "1.html"));
    EXPECT_EQ(listHeight(), 137); // below 140: not shrunk

    // "Rm" in any letter case also chooses the Real page; after a clear the list shrinks once.
    form->playPanel()->playclearClick();
    results({"Rm"}, {0});
    form->playPanel()->SeSkinButton4Click();
    EXPECT_EQ(file("1.rpm"), "http://h/1.Rm\r\n");
    EXPECT_EQ(listHeight(), 75);
    form->playPanel()->SeSkinButton4Click();
    EXPECT_EQ(listHeight(), 75);
}

TEST_F(PlayPanelTest, PlayOnlineWritesTheWindowsMediaListAndPageOtherwise)
{
    form->playPanel()->playListView->resize(561, 150);
    results({"mp3", "rm"}, {0, 1});
    form->playPanel()->SeSkinButton4Click();
    EXPECT_EQ(file("winmedia.asx"), "<asx version = \"3.0\">\r\n<title>demo</title>\r\n"
                                    "<entry>\r\n<ref href = \"http://h/1.mp3\"/>\r\n</entry>\r\n"
                                    "<entry>\r\n<ref href = \"http://h/2.rm\"/>\r\n</entry>\r\n"
                                    "</asx>\r\n");
    const std::vector<std::string> page = core::splitLines(file("2.html"));
    ASSERT_EQ(page.size(), 16u);
    EXPECT_EQ(page[5], "<OBJECT ID=\"WMPlay\" WIDTH=500 HEIGHT=68");
    EXPECT_EQ(page[7], "CODEBASE=\"http://dl.example/activex/controls/mplayer/en/");
    EXPECT_EQ(page[11], "<PARAM NAME=\"fileName\" VALUE=\"file:///" + folder + "winmedia.asx \">");
    EXPECT_EQ(listHeight(), 75);
    EXPECT_EQ(form->playPanel()->WebBrowser3->address(),
              QString::fromStdString("file:///" + folder + "2.html"));
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 2);

    // A Real play afterwards leaves the Windows Media files in place.
    const std::string before = file("2.html");
    results({"ram"}, {0});
    form->playPanel()->SeSkinButton4Click();
    EXPECT_EQ(file("2.html"), before);
    EXPECT_TRUE(exists("winmedia.asx"));
    EXPECT_TRUE(exists("1.html"));
}

TEST_F(PlayPanelTest, PlayOnlineWithoutSelectionEmptiesTheListAndWritesNothing)
{
    results({"mp3"}, {0});
    form->playPanel()->dragplaybtnClick();
    results({"mp3"}, {});
    form->playPanel()->SeSkinButton4Click();
    EXPECT_EQ(messages, QStringList{"请在搜索栏中选择想播放的文件名！"});
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 0);
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.html", "*.rpm", "*.asx"}).isEmpty());
    EXPECT_TRUE(form->playPanel()->WebBrowser3->address().isEmpty());
}

TEST_F(PlayPanelTest, AListThatCannotBeWrittenStopsBeforeThePageAndReachesTheErrorHandler)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("winmedia.asx")); // a folder where the list should go
    results({"wma"}, {0});
    try {
        form->playPanel()->SeSkinButton4Click();
        FAIL() << "no file error";
    } catch (const core::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + folder + "winmedia.asx");
    }
    EXPECT_FALSE(exists("2.html"));
    EXPECT_TRUE(form->playPanel()->WebBrowser3->address().isEmpty());
    EXPECT_FALSE(form->playPanel()->WebBrowser3->browserVisible());

    // Pressed by the user, the error goes to the application's handler.
    form->show();
    QTest::mouseClick(form->playPanel()->SeSkinButton4, Qt::LeftButton);
    EXPECT_TRUE(form->downloadPanel()->downinimemo->toPlainText().contains(
        "Cannot create file " + QString::fromStdString(folder)));
    EXPECT_FALSE(exists("2.html"));
}

TEST_F(PlayPanelTest, LoadingLabelShowsOnProgressAndHidesOnCompletion)
{
    emit form->playPanel()->WebBrowser3->ProgressChange(0, 0);
    EXPECT_FALSE(form->playPanel()->SeSkinLabel4->isHidden());
    emit form->playPanel()->WebBrowser3->DocumentComplete();
    EXPECT_TRUE(form->playPanel()->SeSkinLabel4->isHidden());
    emit form->playPanel()->WebBrowser3->ProgressChange(-1, 100);
    EXPECT_FALSE(form->playPanel()->SeSkinLabel4->isHidden());
}

TEST_F(PlayPanelTest, SaveProposesANameChoosesTheFormatByTheFirstRowAndWritesTheChosenFile)
{
    form->searchPanel()->Edit1->setText("  周杰伦 \t");
    results({"mp3", "rm"}, {0, 1});
    chosenFile = dir.path() + "/mine.asx";
    form->playPanel()->playsavebtnClick(); // empty list: the selection is appended first
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 2);
    EXPECT_TRUE(lastSave);
    EXPECT_EQ(lastDialog.filterIndex, 2) << "the Windows Media filter, as the name proposed";
    EXPECT_TRUE(
        QRegularExpression("^\\d{8}-\\d{6}周杰伦\\.asx$").match(lastDialog.fileName).hasMatch())
        << lastDialog.fileName.toStdString();
    EXPECT_EQ(core::splitLines(file("mine.asx")).size(), 9u);
    EXPECT_EQ(core::splitLines(file("mine.asx"))[1], "<title>playlist</title>");

    // A Real first row saves a Real list. The dialog asks before it replaces an existing file,
    // and No leaves the file as it was.
    form->playPanel()->playclearClick();
    results({"rm", "rm", "rm"}, {0, 1, 2});
    form->playPanel()->dragplaybtnClick();
    QStringList asked;
    bool replace = false;
    ui::dialogHooks().replace = [&](const QString& path) {
        asked << path;
        return replace;
    };
    chosenFile = dir.path() + "/mine.asx";
    form->playPanel()->playsavebtnClick();
    EXPECT_EQ(asked, QStringList{chosenFile});
    EXPECT_EQ(core::splitLines(file("mine.asx")).size(), 9u);
    replace = true;
    form->playPanel()->playsavebtnClick();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_TRUE(lastDialog.fileName.endsWith("周杰伦.rpm"));
    EXPECT_EQ(lastDialog.filterIndex, 1);
    // The typed extension decides: mine.asx holds a Windows Media list of the Real rows.
    EXPECT_EQ(core::splitLines(file("mine.asx")).size(), 12u);
    EXPECT_EQ(core::splitLines(file("mine.asx"))[3], "<ref href = \"http://h/1.rm\"/>");
    chosenFile = dir.path() + "/mine.rpm";
    form->playPanel()->playsavebtnClick();
    EXPECT_EQ(file("mine.rpm"), "http://h/1.rm\r\nhttp://h/2.rm\r\nhttp://h/3.rm\r\n");
    EXPECT_TRUE(messages.isEmpty());

    // A name without an extension takes the chosen filter's format.
    chosenFile = dir.path() + "/bare";
    form->playPanel()->playsavebtnClick();
    EXPECT_EQ(file("bare"), "http://h/1.rm\r\nhttp://h/2.rm\r\nhttp://h/3.rm\r\n");
    ui::dialogHooks().file = [this](ui::FileDialog& d, bool) {
        d.filterIndex = 3;
        return dir.path() + "/bare";
    };
    form->playPanel()->playsavebtnClick();
    EXPECT_EQ(core::splitLines(file("bare")).front(), "#EXTM3U");

    // Cancel writes nothing.
    ui::dialogHooks().file = [](ui::FileDialog&, bool) { return QString(); };
    form->playPanel()->playsavebtnClick();
    EXPECT_FALSE(exists("x.rpm"));
    EXPECT_EQ(file("mine.rpm"), "http://h/1.rm\r\nhttp://h/2.rm\r\nhttp://h/3.rm\r\n");
}

TEST_F(PlayPanelTest, SaveWithNothingToSaveShowsTheMessageAndNoDialog)
{
    form->playPanel()->playsavebtnClick();
    EXPECT_EQ(messages, QStringList{"请在搜索栏中选择想播放的文件名！"});
    EXPECT_EQ(dialogs, 0);
}

TEST_F(PlayPanelTest, SavedWindowsMediaListLoadsBackAsAnOrdinaryListAndPlaysThroughItsPage)
{
    results({"wma", "wma"}, {0, 1});
    chosenFile = dir.path() + "/two.asx";
    form->playPanel()->playsavebtnClick();
    // Two header lines, three per row, the closing line.
    EXPECT_EQ(core::splitLines(file("two.asx")).size(), 9u);

    form->playPanel()->playclearClick();
    form->playPanel()->playloadbtnClick();
    EXPECT_FALSE(lastSave);
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 2);
    EXPECT_EQ(form->playPanel()->playListView->rowAt(0),
              (SongEntry{"1", 2, {"1", "http://h/1.wma", "", "wma"}}));
    EXPECT_EQ(form->playPanel()->playListView->rowAt(1),
              (SongEntry{"2", 2, {"2", "http://h/2.wma", "", "wma"}}));
    const std::vector<std::string> page = core::splitLines(file("2.html"));
    ASSERT_EQ(page.size(), 16u);
    EXPECT_EQ(page[5], "<OBJECT ID=\"WMPlay\" WIDTH=500 HEIGHT=65");
    EXPECT_EQ(page[11], "<PARAM NAME=\"fileName\" VALUE=\"file:///" + folder + "two.asx\">");
    EXPECT_FALSE(exists("winmedia.asx"));
    EXPECT_EQ(form->playPanel()->WebBrowser3->address(),
              QString::fromStdString("file:///" + folder + "2.html"));
    EXPECT_EQ(listHeight(), 75); // cleared to 145, then shrunk by 70

    // The loaded list is an ordinary play list: "播" appends under the type rule, "存" saves it.
    results({"rm"}, {0});
    form->playPanel()->dragplaybtnClick();
    EXPECT_EQ(messages, QStringList{"文件类型不符,不能追加!"});
    results({"mp3"}, {0});
    form->playPanel()->dragplaybtnClick();
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 3);
    EXPECT_EQ(form->playPanel()->playListView->rowAt(2).sub(core::SubItem::Address),
              "http://h/1.mp3");
    chosenFile = dir.path() + "/again.m3u8";
    form->playPanel()->playsavebtnClick();
    EXPECT_EQ(file("again.m3u8"), "#EXTM3U\r\n#EXTINF:-1,1\r\nhttp://h/1.wma\r\n"
                                  "#EXTINF:-1,2\r\nhttp://h/2.wma\r\n"
                                  "#EXTINF:-1,name1\r\nhttp://h/1.mp3\r\n");
}

TEST_F(PlayPanelTest, LoadedM3u8AndXspfPlayThroughTheOwnWindowsMediaList)
{
    core::writeLines(folder + "list.m3u8",
                     {"#EXTM3U", "#EXTINF:200,刘德华 - 忘情水", "sub/a.mp3", "http://h/b.wma"});
    core::writeLines(folder + "list.xspf",
                     {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                      "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>",
                      "<track><location>sub/a.mp3</location><title>刘德华 - 忘情水</title>"
                      "<duration>200000</duration></track>",
                      "<track><location>http://h/b.wma</location></track>",
                      "</trackList></playlist>"});
    for (const char* name : {"list.m3u8", "list.xspf"}) {
        SCOPED_TRACE(name);
        std::filesystem::remove(folder + "winmedia.asx");
        chosenFile = dir.path() + "/" + name;
        form->playPanel()->playloadbtnClick();
        ASSERT_EQ(form->playPanel()->playListView->rowCount(), 2);
        SongEntry first{
            "1", 0, {core::utf8ToGbk("刘德华 - 忘情水"), folder + "sub/a.mp3", "", "mp3"}};
        first.seconds = 200; // the list's length stays with the row, for the next save
        EXPECT_EQ(form->playPanel()->playListView->rowAt(0), first);
        EXPECT_EQ(form->playPanel()->playListView->rowAt(1).sub(core::SubItem::Name), "b");
        EXPECT_EQ(form->playPanel()->playListView->rowAt(1).seconds, -1);
        const std::vector<std::string> list = core::splitLines(file("winmedia.asx"));
        ASSERT_EQ(list.size(), 9u);
        EXPECT_EQ(list[3], "<ref href = \"" + folder + "sub/a.mp3\"/>");
        EXPECT_EQ(core::splitLines(file("2.html"))[11],
                  "<PARAM NAME=\"fileName\" VALUE=\"file:///" + folder + "winmedia.asx \">");
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PlayPanelTest, LoadingChoosesByTheFileNameOnly)
{
    core::writeLines(folder + "three.RPM", {"http://h/1.rm", "http://h/2.rm", "http://h/3.rm"});
    chosenFile = dir.path() + "/three.RPM";
    form->playPanel()->playloadbtnClick();
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 3);
    EXPECT_EQ(form->playPanel()->playListView->rowAt(2),
              (SongEntry{"3", 1, {"3", "http://h/3.rm", "", "rm"}}));
    EXPECT_NE(file("1.html").find("value=\"file:///" + folder + "three.RPM\">"), std::string::npos);
    EXPECT_FALSE(exists("1.rpm"));

    // Windows Media text in a .rpm file: one row per line, and the Real page.
    core::writeLines(folder + "wm.rpm",
                     {"<asx version = \"3.0\">", "<title>playlist</title>", "<entry>",
                      "<ref href = \"http://h/1.wma\"/>", "</entry>", "</asx>"});
    chosenFile = dir.path() + "/wm.rpm";
    form->playPanel()->playloadbtnClick();
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 6);
    EXPECT_EQ(form->playPanel()->WebBrowser3->address(),
              QString::fromStdString("file:///" + folder + "1.html"));

    // A short .asx gives an empty list; the page is still written and shown.
    for (int n = 1; n <= 3; ++n) {
        std::vector<std::string> lines(static_cast<size_t>(n), "<asx>");
        core::writeLines(folder + "short.asx", lines);
        std::filesystem::remove(folder + "2.html");
        chosenFile = dir.path() + "/short.asx";
        form->playPanel()->playloadbtnClick();
        EXPECT_EQ(form->playPanel()->playListView->rowCount(), 0) << n;
        EXPECT_TRUE(exists("2.html")) << n;
    }
    // A .txt list is read as a Windows Media list and takes its page too.
    core::writeLines(folder + "list.txt",
                     {"<asx>", "<entry>", "<ref href=\"a.mp3\"/>", "</entry>"});
    chosenFile = dir.path() + "/list.txt";
    form->playPanel()->playloadbtnClick();
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 1);
    EXPECT_EQ(form->playPanel()->playListView->rowAt(0).sub(core::SubItem::Address),
              folder + "a.mp3");
    EXPECT_EQ(form->playPanel()->WebBrowser3->address(),
              QString::fromStdString("file:///" + folder + "2.html"));
}

TEST_F(PlayPanelTest, CancelledOrUnreadableLoadsWriteNoPage)
{
    results({"mp3"}, {0});
    form->playPanel()->dragplaybtnClick();
    chosenFile.clear();
    form->playPanel()->playloadbtnClick();
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 1);

    chosenFile = dir.path() + "/missing.asx";
    try {
        form->playPanel()->playloadbtnClick();
        FAIL() << "no file error";
    } catch (const core::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + folder + "missing.asx");
    }
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 0);
    EXPECT_FALSE(exists("2.html"));
}

TEST_F(PlayPanelTest, AHeaderClickSortsTheViewWhileTheListKeepsItsOrder)
{
    gui::PlayPanel* panel = form->playPanel();
    const auto song = [](const char* caption, const char* name, const char* size) {
        return SongEntry{
            caption, 0, {name, std::string("http://h/") + caption + ".mp3", size, "mp3"}};
    };
    panel->addChosenRows({song("1", "b", "2.3M"), song("2", "c", "512K"), song("3", "a", "10M")});
    form->show();
    gui::PlayListView* view = panel->playListView;
    const auto shown = [view] {
        std::string captions;
        for (int i = 0; i < view->rowCount(); ++i)
            captions += view->rowAt(i).caption;
        return captions;
    };
    const auto clickHeader = [view](int column) {
        QTest::mouseClick(view->header()->viewport(), Qt::LeftButton, {},
                          QPoint(view->header()->sectionViewportPosition(column) +
                                     view->header()->sectionSize(column) / 2,
                                 5));
    };
    EXPECT_EQ(shown(), "123");
    clickHeader(gui::PlayListModel::Size); // by value: 512K, 2.3M, 10M
    EXPECT_EQ(shown(), "213");
    clickHeader(gui::PlayListModel::Size);
    EXPECT_EQ(shown(), "312");
    clickHeader(gui::PlayListModel::Name);
    EXPECT_EQ(shown(), "312"); // a, b, c
    // A row appended is sorted in; the list plays (and saves) in its own order.
    panel->addChosenRows({song("4", "aa", "1K")});
    EXPECT_EQ(shown(), "3412");
    std::string order;
    for (const SongEntry& e : panel->rows())
        order += e.caption;
    EXPECT_EQ(order, "1234");
    // 删 removes the row the user selected as shown.
    view->setRowSelected(1, true);
    panel->playdelbtnClick();
    EXPECT_EQ(shown(), "312");
    chosenFile = dir.path() + "/sorted.rpm";
    panel->playsavebtnClick();
    EXPECT_EQ(file("sorted.rpm"), "http://h/1.mp3\r\nhttp://h/2.mp3\r\nhttp://h/3.mp3\r\n");
}

} // namespace
