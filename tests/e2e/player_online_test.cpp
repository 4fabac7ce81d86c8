// Online play against the demo service: a real search, "在线播放" on two MP3 results, and saved
// Real and M3U8 lists loaded back; the player in WebBrowser3 must really play, from the play
// list in memory.
#include "browser/player_test_support.h"
#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/line_file.h"
#include "demo_service_fixture.h"
#include "gui/dialogs.h"
#include "gui/form1.h"
#include "gui/play_list_view.h"
#include "gui/play_panel.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class PlayerOnlineTest : public ::testing::Test {
protected:
    e2e::DemoService service;
    QTemporaryDir dir;
    std::string folder;
    std::unique_ptr<TForm1> form;
    QString chosenFile;

    void SetUp() override
    {
        ASSERT_FALSE(service.host().empty());
        ui::dialogHooks().message = [](const QString& text) {
            ADD_FAILURE() << "message box: " << text.toStdString();
        };
        ui::dialogHooks().file = [this](const ui::FileDialog&, bool) { return chosenFile; };
        folder = dir.path().toStdString() + "/";
        Form1Options options;
        options.hosts.pointAllAt(service.host());
        options.programFolder = folder;
        form = std::make_unique<TForm1>(options);
        form->endProcess = [](int) {};
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        ui::dialogHooks() = {};
    }

    // Searches MP3s for the words and waits for at least two result rows.
    void searchMp3(const char* words)
    {
        form->searchPanel()->SeSkinComboBox1->setCurrentIndex(0);
        form->searchPanel()->Edit1->setText(QString::fromUtf8(words));
        form->searchPanel()->Button1->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->searchPanel()->ListView1->rowCount() >= 2; },
                                    60000));
        form->searchPanel()->stopbtnClick();
        ASSERT_EQ(form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::TypeText), "mp3");
        ASSERT_EQ(form->searchPanel()->ListView1->rowAt(1).sub(core::SubItem::TypeText), "mp3");
    }
    QWebEnginePage* playerPage()
    {
        return static_cast<browser::WebEngineBrowser*>(form->playPanel()->WebBrowser3)->page();
    }
    // Waits until the player of the shown page plays entry index, with its time advancing.
    void expectPlaying(int index, const std::string& address)
    {
        ASSERT_TRUE(playertest::waitUntilPlaying(playerPage(), index, 0.3, 60000))
            << playertest::playerState(playerPage()).value("text").toString().toStdString();
        const QVariantMap first = playertest::playerState(playerPage());
        EXPECT_EQ(first.value("src").toString().toStdString(), address);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QVariantMap now = playertest::playerState(playerPage());
                return now.value("time").toDouble() > first.value("time").toDouble() &&
                       !now.value("paused").toBool();
            },
            30000));
    }
};

TEST_F(PlayerOnlineTest, PlayOnlineWritesTheWindowsMediaFilesAndPlaysTheFirstSong)
{
    searchMp3("周杰伦");
    form->searchPanel()->ListView1->setRowSelected(0, true);
    form->searchPanel()->ListView1->setRowSelected(1, true);
    const std::string first = form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Address);
    const std::string second = form->searchPanel()->ListView1->rowAt(1).sub(core::SubItem::Address);
    ASSERT_NE(first.find("/media/"), std::string::npos);

    QTest::mouseClick(form->playPanel()->SeSkinButton4, Qt::LeftButton);
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 2);
    EXPECT_EQ(core::readFileBytes(folder + "winmedia.asx"),
              "<asx version = \"3.0\">\r\n<title>demo</title>\r\n<entry>\r\n<ref href = \"" +
                  first + "\"/>\r\n</entry>\r\n<entry>\r\n<ref href = \"" + second +
                  "\"/>\r\n</entry>\r\n</asx>\r\n");
    EXPECT_EQ(core::splitLines(core::readFileBytes(folder + "2.html"))[11],
              "<PARAM NAME=\"fileName\" VALUE=\"file:///" + folder + "winmedia.asx \">");
    EXPECT_TRUE(form->playPanel()->WebBrowser3->browserVisible());
    // The player plays the list from memory: the file changed before the page has loaded
    // changes nothing.
    core::writeLines(folder + "winmedia.asx",
                     {"<asx>", "<entry>", "<ref href = \"http://127.0.0.1:9/none.mp3\"/>",
                      "</entry>", "</asx>"});

    expectPlaying(0, first);
    EXPECT_EQ(playertest::playerState(playerPage()).value("kind").toString(), "wmp");
    // The loading label went away when the page was complete.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return form->playPanel()->SeSkinLabel4->isHidden(); }, 10000));

    playertest::clickPlayerButton(playerPage(), "next");
    expectPlaying(1, second);
}

TEST_F(PlayerOnlineTest, ALoadedRealListPlaysThroughTheRealPage)
{
    searchMp3("刘德华");
    const std::string first = form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Address);
    const std::string second = form->searchPanel()->ListView1->rowAt(1).sub(core::SubItem::Address);
    core::writeLines(folder + "saved.rpm", {first, second});

    chosenFile = dir.path() + "/saved.rpm";
    form->playPanel()->playloadbtnClick();
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 2);
    EXPECT_EQ(form->playPanel()->playListView->rowAt(0).sub(core::SubItem::Address), first);
    EXPECT_EQ(core::splitLines(core::readFileBytes(folder + "1.html"))[12],
              "<param name=\"SRC\" value=\"file:///" + folder + "saved.rpm\">");
    std::filesystem::remove(folder + "saved.rpm"); // the loaded rows play, not the file
    expectPlaying(0, first);
    EXPECT_EQ(playertest::playerState(playerPage()).value("kind").toString(), "real");
}

TEST_F(PlayerOnlineTest, ALoadedM3u8PlaysUnderItsOwnTitlesAndTakesAppends)
{
    searchMp3("刘德华");
    const std::string first = form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Address);
    const std::string second = form->searchPanel()->ListView1->rowAt(1).sub(core::SubItem::Address);
    core::writeLines(folder + "saved.m3u8", {"#EXTM3U", "#EXTINF:-1,歌手甲 - 第一首",
                                             core::gbkToUtf8(first), core::gbkToUtf8(second)});
    chosenFile = dir.path() + "/saved.m3u8";
    form->playPanel()->playloadbtnClick();
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 2);
    expectPlaying(0, first);
    // The player names the song by the list's title, not by its address.
    const QString text = playertest::playerState(playerPage()).value("text").toString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("1/2  歌手甲 - 第一首"))) << text.toStdString();

    // "播" appends the selection to the loaded list.
    form->searchPanel()->ListView1->setRowSelected(0, true);
    form->playPanel()->dragplaybtnClick();
    EXPECT_EQ(form->playPanel()->playListView->rowCount(), 3);
}

} // namespace
