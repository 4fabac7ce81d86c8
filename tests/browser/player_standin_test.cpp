// The player stand-in: list sources read in C++, and real playback in a shown page.
#include "browser/player_standin.h"
#include "browser/player_test_support.h"
#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/line_file.h"
#include "player/playback/application_player.h"
#include "player/playback/playback_engine.h"
#include "support/encoded_media.h"

#include <QAudioDevice>
#include <QDir>
#include <QMediaDevices>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using browser::PlayerEntry;
using testsupport::Tone;

const QUrl listBase = QUrl::fromLocalFile("/music/lists/my.rpm");

TEST(PlayerLists, RealListTakesOneAddressPerLineAndSkipsBlanksAndComments)
{
    const auto entries = browser::parseRealList(
        "http://h/a.mp3\r\n\r\n# comment\r  http://h/b c.mp3 \nsong.mp3\n/abs/x.mp3\n"
        "file:////abs/y.mp3",
        listBase);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].url, "http://h/a.mp3");
    EXPECT_EQ(entries[1].url, "http://h/b%20c.mp3");
    EXPECT_EQ(entries[2].url, "file:///music/lists/song.mp3");
    EXPECT_EQ(entries[3].url, "file:///abs/x.mp3");
    EXPECT_EQ(entries[4].url, "file:///abs/y.mp3");
}

TEST(PlayerLists, AsxListTakesEveryRefWithItsEntryTitle)
{
    const QString text = "<asx version = \"3.0\">\r\n<title>demo</title>\r\n"
                         "<entry>\r\n<ref href = \"http://h/1.mp3\"/>\r\n</entry>\r\n"
                         "<ENTRY><TITLE>Second</TITLE><REF HREF='http://h/2.mp3?a=1&amp;b=2'/>"
                         "</ENTRY>\r\n<entry><ref href=rel.wma /></entry></asx>";
    const auto entries = browser::parseAsxList(text, QUrl::fromLocalFile("/m/w.asx"));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], (PlayerEntry{"http://h/1.mp3", ""}));
    EXPECT_EQ(entries[1], (PlayerEntry{"http://h/2.mp3?a=1&b=2", "Second"}));
    EXPECT_EQ(entries[2].url, "file:///m/rel.wma");
    // A list without entry blocks still gives its refs; a list without refs gives nothing.
    EXPECT_EQ(browser::parseAsxList("<asx><ref href=\"http://h/x.mp3\"/></asx>", {}).size(), 1u);
    EXPECT_TRUE(browser::parseAsxList("<asx version = \"3.0\">\r\n</asx>", {}).empty());
}

TEST(PlayerLists, PageTextDecodedAsWindows1252IsReadAsGbk)
{
    // 亐 is 81 80 and 爳 is A0 92 in GBK: the second bytes decode to U+20AC and U+2019.
    const std::string gbk = core::utf8ToGbk("/音乐/歌单 亐爳.rpm");
    QString asDecoded; // what the browser makes of those bytes
    for (unsigned char c : gbk)
        asDecoded += c == 0x80 ? QChar(0x20AC) : c == 0x92 ? QChar(0x2019) : QChar(c);
    EXPECT_EQ(browser::asGbkPageText(asDecoded, "windows-1252"),
              QString::fromUtf8("/音乐/歌单 亐爳.rpm"));
    EXPECT_EQ(browser::asGbkPageText("/plain/1.rpm", "windows-1252"), "/plain/1.rpm");
    // The browser may also guess another single-byte set from the bytes (seen: windows-1250).
    EXPECT_EQ(browser::asGbkPageText(QString::fromUtf8("/t/¸čµĄ/ÎŇµÄ.rpm"), "windows-1250"),
              QString::fromUtf8("/t/歌单/我的.rpm"));
    // Text decoded with its own character set is left alone.
    EXPECT_EQ(browser::asGbkPageText(QString::fromUtf8("/音乐"), "GBK"),
              QString::fromUtf8("/音乐"));
    EXPECT_EQ(browser::asGbkPageText(QString::fromUtf8("/音乐"), "windows-1252"),
              QString::fromUtf8("/音乐"));
}

class PlayerSourceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const std::string& name) { return dir.path().toStdString() + "/" + name; }
    QString fileAddress(const std::string& name)
    {
        return QString::fromStdString("file:///" + path(name));
    }
};

TEST_F(PlayerSourceTest, ListFilesAreReadByNameAndATrailingBlankIsDropped)
{
    core::writeLines(path("1.rpm"), {"http://h/a.mp3", "http://h/b.rm"});
    core::writeLines(path("winmedia.asx"),
                     {"<asx version = \"3.0\">", "<title>demo</title>", "<entry>",
                      "<ref href = \"http://h/" + core::utf8ToGbk("歌") + ".mp3\"/>", "</entry>",
                      "</asx>"});
    const auto real = browser::resolvePlayerSource(fileAddress("1.rpm"), {});
    EXPECT_TRUE(real.error.isEmpty());
    ASSERT_EQ(real.entries.size(), 2u);
    EXPECT_EQ(real.entries[1].url, "http://h/b.rm");

    // The page names the list with a blank after it; the GBK address is decoded.
    const auto media = browser::resolvePlayerSource(fileAddress("winmedia.asx "), {});
    EXPECT_TRUE(media.error.isEmpty()) << media.error.toStdString();
    ASSERT_EQ(media.entries.size(), 1u);
    EXPECT_EQ(media.entries[0].url, "http://h/%E6%AD%8C.mp3");
}

TEST_F(PlayerSourceTest, ContentDecidesWhenTheNameSaysNothing)
{
    core::writeLines(path("list.txt"), {"<asx version = \"3.0\">", "<title>t</title>", "<entry>",
                                        "<ref href = \"http://h/a.mp3\"/>", "</entry>", "</asx>"});
    const auto asx = browser::resolvePlayerSource(fileAddress("list.txt"), {});
    ASSERT_EQ(asx.entries.size(), 1u);
    EXPECT_EQ(asx.entries[0].url, "http://h/a.mp3");

    core::writeLines(path("plain.lst"), {"http://h/a.mp3", "http://h/b.mp3"});
    EXPECT_EQ(browser::resolvePlayerSource(fileAddress("plain.lst"), {}).entries.size(), 2u);

    QFile binary(dir.path() + "/song.bin");
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write(playertest::silentMp3(3));
    binary.close();
    const auto single = browser::resolvePlayerSource(fileAddress("song.bin"), {});
    ASSERT_EQ(single.entries.size(), 1u);
    EXPECT_EQ(single.entries[0].url, QUrl::fromLocalFile(dir.path() + "/song.bin").toString());
}

TEST_F(PlayerSourceTest, MediaAddressesMissingFilesAndEmptyListsAreTold)
{
    const auto remote = browser::resolvePlayerSource("http://h/song one.mp3", {});
    ASSERT_EQ(remote.entries.size(), 1u);
    EXPECT_EQ(remote.entries[0].url, "http://h/song%20one.mp3");

    const auto local = browser::resolvePlayerSource(fileAddress("a.mp3"), {});
    EXPECT_TRUE(local.entries.empty());
    EXPECT_TRUE(local.error.startsWith(QString::fromUtf8("找不到文件")));

    core::writeLines(path("short.asx"), {"<asx version = \"3.0\">"});
    const auto empty = browser::resolvePlayerSource(fileAddress("short.asx"), {});
    EXPECT_TRUE(empty.entries.empty());
    EXPECT_FALSE(empty.error.isEmpty());

    EXPECT_FALSE(browser::resolvePlayerSource("  ", {}).error.isEmpty());
}

TEST_F(PlayerSourceTest, AListHandedOverPlaysWhateverItsFileHoldsLater)
{
    core::writeLines(
        path("winmedia.asx"),
        {"<asx>", "<entry>", "<ref href = \"http://h/old.mp3\"/>", "</entry>", "</asx>"});
    const std::vector<PlayerEntry> handed = {{"http://h/a.mp3", {}}, {"http://h/b.mp3", {}}};
    browser::PlayerLists given;
    given.insert(QString::fromStdString(path("winmedia.asx")), handed);
    given.insert(QString::fromStdString(path("1.rpm")), {});
    // The page names the list with a blank after it.
    EXPECT_EQ(browser::resolvePlayerSource(fileAddress("winmedia.asx "), {}, given).entries,
              handed);
    std::filesystem::remove(path("winmedia.asx"));
    EXPECT_EQ(browser::resolvePlayerSource(fileAddress("winmedia.asx "), {}, given).entries,
              handed);
    const auto empty = browser::resolvePlayerSource(fileAddress("1.rpm"), {}, given);
    EXPECT_TRUE(empty.entries.empty());
    EXPECT_FALSE(empty.error.isEmpty());
    // A list that was not handed over is read from its file.
    core::writeLines(path("saved.rpm"), {"http://h/c.mp3"});
    const auto saved = browser::resolvePlayerSource(fileAddress("saved.rpm"), {}, given);
    ASSERT_EQ(saved.entries.size(), 1u);
    EXPECT_EQ(saved.entries[0].url, "http://h/c.mp3");
}

// Playback in a shown page, the way the window shows the generated pages.
class PlayerPlaybackTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    playertest::MediaServer server;
    std::unique_ptr<browser::WebEngineBrowser> b;
    browser::PlayerStandIn* standIn = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        b = std::make_unique<browser::WebEngineBrowser>(browser::WebEngineBrowser::Kind::Shown,
                                                        nullptr);
        b->view()->resize(561, 73);
        b->view()->show();
        standIn = b->page()->findChild<browser::PlayerStandIn*>();
        ASSERT_NE(standIn, nullptr);
    }
    void TearDown() override { b.reset(); }
    std::string path(const std::string& name) { return dir.path().toStdString() + "/" + name; }

    // Shows lines as a page and waits until its players are installed.
    int show(const std::string& name, const std::vector<std::string>& lines)
    {
        core::writeLines(path(name), lines);
        QSignalSpy installed(standIn, &browser::PlayerStandIn::playersInstalled);
        b->Navigate(QString::fromStdString("file:///" + path(name)));
        if (!QTest::qWaitFor([&] { return installed.count() >= 1; }, 30000))
            return -1;
        return installed.first().first().toInt();
    }
};

std::vector<std::string> mediaPage(const std::string& listPath)
{
    return {"<HTML>",
            "<body>",
            "<script>document.title = 'page script ran';</script>",
            "<OBJECT ID=\"WMPlay\" WIDTH=500 HEIGHT=68",
            "CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\"",
            "TYPE=\"application/x-oleobject\">",
            "<PARAM NAME=\"fileName\" VALUE=\"file:///" + listPath + "\">",
            "</OBJECT>",
            "</body>",
            "</html>"};
}

TEST_F(PlayerPlaybackTest, WindowsMediaListPlaysEveryTypeSkipsWhatCannotPlayAndGoesOn)
{
    server.files["/a.wma"] = QByteArray::fromStdString(testsupport::encodedTone(Tone::Wma, 2));
    server.files["/c.rm"] = QByteArray::fromStdString(testsupport::encodedTone(Tone::Rm, 30));
    const std::string base = server.base().toStdString();
    core::writeLines(path("winmedia.asx"),
                     {"<asx version = \"3.0\">", "<title>demo</title>", "<entry>",
                      "<ref href = \"" + base + "/a.wma\"/>", "</entry>", "<entry>",
                      "<ref href = \"rtsp://127.0.0.1/b.rm\"/>", "</entry>", "<entry>",
                      "<ref href = \"" + base + "/c.rm\"/>", "</entry>", "</asx>"});
    ASSERT_EQ(show("2.html", mediaPage(path("winmedia.asx ") /* as the window writes it */)), 1);

    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.5))
        << playertest::playerState(b->page()).value("text").toString().toStdString();
    QVariantMap s = playertest::playerState(b->page());
    EXPECT_EQ(s.value("kind").toString(), "wmp");
    EXPECT_TRUE(s.value("src").toString().endsWith("/a.wma"));
    EXPECT_TRUE(s.value("text").toString().contains("1/3"));
    // The time goes on with or without a sound device; without one the status line says why
    // nothing is heard.
    EXPECT_EQ(s.value("text").toString().contains(QString::fromUtf8("无音频设备")),
              QMediaDevices::audioOutputs().isEmpty());
    // The page's own script did not run.
    EXPECT_NE(b->page()->title(), "page script ran");

    // The rtsp entry cannot be played here: the player says so and goes on with the RealAudio.
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 2, 0.5))
        << playertest::playerState(b->page()).value("text").toString().toStdString();
    s = playertest::playerState(b->page());
    EXPECT_TRUE(s.value("text").toString().contains(QString::fromUtf8("此格式无法在本机播放")));
    EXPECT_TRUE(s.value("text").toString().contains("rtsp://127.0.0.1/b.rm"));
    EXPECT_TRUE(server.requested.contains("/c.rm"));

    // The sound comes from the program's one player, which the page's player shows.
    const playback::PlaybackEngine& engine = playback::ApplicationPlayer::instance().engine();
    EXPECT_EQ(engine.index(), 2);
    EXPECT_EQ(engine.state(), playback::PlaybackEngine::State::Playing);

    // A new page ends the old page's player and its sound.
    EXPECT_EQ(show("plain.html", {"<html><body>nothing</body></html>"}), 0);
    EXPECT_EQ(engine.state(), playback::PlaybackEngine::State::Idle);
    EXPECT_TRUE(engine.entries().empty());
}

// The player's controls stand on one line with their whole captions, in the card's 300 pixels
// and the play panel's 500.
TEST_F(PlayerPlaybackTest, ControlsFitTheirCaptionsAt300And500Pixels)
{
    b->view()->resize(600, 300);
    server.files["/card.rm"] = QByteArray::fromStdString(testsupport::encodedTone(Tone::Rm, 30));
    const std::string address = server.base().toStdString() + "/card.rm";
    ASSERT_EQ(show("card.html",
                   {"<HTML>", "<body>",
                    "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\" "
                    "HEIGHT=\"50\" WIDTH=\"300\">",
                    "<param name=\"SRC\" value=\"" + address + "\">", "</OBJECT>", "<br>",
                    "<OBJECT ID=\"WMPlay\" WIDTH=500 HEIGHT=68",
                    "CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\">",
                    "<PARAM NAME=\"fileName\" VALUE=\"" + address + "\">", "</OBJECT>", "</body>",
                    "</html>"}),
              2);
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.5));
    const QVariantList boxes = playertest::runInPage(b->page(), R"JS((function () {
  var out = [];
  document.querySelectorAll('[data-corvale-player]').forEach(function (box) {
    var r = box.getBoundingClientRect(), buttons = box.querySelectorAll('button'), fit = true;
    var top = buttons[0].getBoundingClientRect().top, captions = [];
    buttons.forEach(function (b) {
      var br = b.getBoundingClientRect();
      captions.push(b.textContent);
      if (br.top !== top || br.right > r.right - 4 || b.scrollWidth > b.clientWidth ||
          br.height > 24)
        fit = false;
    });
    out.push({ width: r.width, fit: fit, overflow: box.scrollWidth > box.clientWidth,
               captions: captions.join('|') });
  });
  return out;
})())JS")
                                   .toList();
    ASSERT_EQ(boxes.size(), 2);
    for (const QVariant& v : boxes) {
        const QVariantMap box = v.toMap();
        SCOPED_TRACE(box.value("width").toInt());
        EXPECT_TRUE(box.value("fit").toBool());
        EXPECT_FALSE(box.value("overflow").toBool());
        EXPECT_EQ(box.value("captions").toString(),
                  QString::fromUtf8("▶ 播放|❚❚ 暂停|■ 停止|« 上一首|» 下一首"));
    }
    EXPECT_EQ(boxes[0].toMap().value("width").toInt(), 300);
    EXPECT_EQ(boxes[1].toMap().value("width").toInt(), 500);
    // The first form started on its own; the second stands still until its play is pressed,
    // and then the first one stops: the program plays one list at a time.
    EXPECT_EQ(playertest::playerState(b->page(), 1).value("state").toString(), "idle");
    ASSERT_TRUE(playertest::runInPage(b->page(),
                                      "document.querySelectorAll('[data-corvale-player]')[1]"
                                      ".querySelector('[data-action=\"play\"]').click(); true")
                    .toBool());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QVariantMap second = playertest::playerState(b->page(), 1);
            return second.value("state").toString() == "playing" &&
                   second.value("time").toInt() >= 1;
        },
        30000));
    EXPECT_EQ(playertest::playerState(b->page(), 0).value("state").toString(), "stopped");
}

TEST_F(PlayerPlaybackTest, ControlsPauseStopPlayAndNext)
{
    const std::string mp3 = path("song.mp3");
    QFile file(QString::fromStdString(mp3));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(playertest::silentMp3(400));
    file.close();
    server.files["/two.mp3"] = playertest::silentMp3(400);
    core::writeLines(path("1.rpm"), {"file:///" + mp3, server.base().toStdString() + "/two.mp3"});
    ASSERT_EQ(
        show("1.html", {"<HTML>", "<body>",
                        "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\" "
                        "HEIGHT=\"50\" WIDTH=\"500\">",
                        "<param name=\"AUTOSTART\" value=\"-1\">",
                        "<param name=\"SRC\" value=\"file:///" + path("1.rpm") + "\">", "</OBJECT>",
                        "</body>", "</html>"}),
        1);
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.2));
    EXPECT_EQ(playertest::playerState(b->page()).value("kind").toString(), "real");

    playertest::clickPlayerButton(b->page(), "pause");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return playertest::playerState(b->page()).value("state").toString() == "paused"; },
        10000));

    playertest::clickPlayerButton(b->page(), "stop");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QVariantMap st = playertest::playerState(b->page());
            return st.value("state").toString() == "stopped" && st.value("time").toDouble() == 0;
        },
        10000));

    playertest::clickPlayerButton(b->page(), "play");
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.2));

    playertest::clickPlayerButton(b->page(), "next");
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 1, 0.2));
    EXPECT_TRUE(playertest::playerState(b->page()).value("src").toString().endsWith("/two.mp3"));
    // The entry goes by its name (here the file name of its address), never the address.
    QString text = playertest::playerState(b->page()).value("text").toString();
    EXPECT_TRUE(text.contains("2/2  two")) << text.toStdString();
    EXPECT_FALSE(text.contains("http")) << text.toStdString();

    playertest::clickPlayerButton(b->page(), "previous");
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.2));
    text = playertest::playerState(b->page()).value("text").toString();
    EXPECT_TRUE(text.contains("1/2  song")) << text.toStdString();

    // The position slider moves the song once it can be moved; the volume slider sets the
    // program player's volume.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return playertest::runInPage(b->page(), "document.querySelector("
                                                    "'[data-corvale-player]').getAttribute("
                                                    "'data-can-seek') === '1'")
                .toBool();
        },
        10000));
    const auto slide = [&](const char* control, int value, const char* event) {
        playertest::runInPage(b->page(),
                              QString("var s = document.querySelector('[data-corvale-player] "
                                      "[data-control=\"%1\"]'); s.value = %2; "
                                      "s.dispatchEvent(new Event('%3')); true")
                                  .arg(control)
                                  .arg(value)
                                  .arg(event));
    };
    slide("position", 6, "change");
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 6.0));
    slide("volume", 40, "input");
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return playback::ApplicationPlayer::instance().engine().volume() == 0.4; }, 10000));
    playback::ApplicationPlayer::instance().engine().setVolume(1.0);
}

TEST_F(PlayerPlaybackTest, AGbkPageFindsAListWhosePathHoldsChineseAndPlaysASingleAddress)
{
    // The pages are GBK without a character set; the list's path must survive the decoding.
    const std::string folder = path("歌单");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    server.files["/one.mp3"] = playertest::silentMp3(400);
    core::writeLines(folder + "/我的.rpm", {server.base().toStdString() + "/one.mp3"});
    std::vector<std::string> page = mediaPage(core::utf8ToGbk(folder + "/我的.rpm"));
    ASSERT_EQ(show("2.html", page), 1);
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.2))
        << playertest::playerState(b->page()).value("text").toString().toStdString();

    // A card page names the song itself.
    server.files["/card.mp3"] = playertest::silentMp3(400);
    ASSERT_EQ(show("card.html",
                   {"<html><body><p>" + core::utf8ToGbk("生日快乐") + "</p>",
                    "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\">",
                    "<param name=\"SRC\" value=\"" + server.base().toStdString() + "/card.mp3\">",
                    "</OBJECT></body></html>"}),
              1);
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.2));
    EXPECT_TRUE(playertest::playerState(b->page()).value("src").toString().endsWith("/card.mp3"));
}

TEST_F(PlayerPlaybackTest, PagesWithoutPlayerObjectsAndEmptyListsAreLeftAsTheyAre)
{
    EXPECT_EQ(show("plain.html", {"<html><body><object classid=\"clsid:0000\"></object>"
                                  "<p>text</p></body></html>"}),
              0);
    EXPECT_TRUE(playertest::playerState(b->page()).isEmpty());

    core::writeLines(path("short.asx"), {"<asx version = \"3.0\">", "</asx>"});
    ASSERT_EQ(show("2.html", mediaPage(path("short.asx"))), 1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return playertest::playerState(b->page()).value("state").toString() == "empty"; },
        10000));
    EXPECT_TRUE(playertest::playerState(b->page()).value("text").toString().contains(
        QString::fromUtf8("播放列表中没有歌曲")));
}

TEST_F(PlayerPlaybackTest, PlayersOfTwoPagesAreViewsOfTheOneProgramPlayer)
{
    // The card preview is a second shown browser; the program plays one list at a time.
    browser::WebEngineBrowser card(browser::WebEngineBrowser::Kind::Shown, nullptr);
    card.view()->resize(561, 73);
    card.view()->show();
    auto* cardStandIn = card.page()->findChild<browser::PlayerStandIn*>();
    ASSERT_NE(cardStandIn, nullptr);
    server.files["/page.mp3"] = playertest::silentMp3(2000);
    server.files["/card.mp3"] = playertest::silentMp3(2000);
    core::writeLines(path("page.rpm"), {server.base().toStdString() + "/page.mp3"});
    ASSERT_EQ(show("page.html", mediaPage(path("page.rpm"))), 1);
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.2));

    core::writeLines(path("card.html"),
                     {"<html><body>",
                      "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\">",
                      "<param name=\"SRC\" value=\"" + server.base().toStdString() + "/card.mp3\">",
                      "</OBJECT></body></html>"});
    QSignalSpy installed(cardStandIn, &browser::PlayerStandIn::playersInstalled);
    card.Navigate(QString::fromStdString("file:///" + path("card.html")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return installed.count() == 1; }, 30000));
    ASSERT_TRUE(playertest::waitUntilPlaying(card.page(), 0, 0.2));
    const auto state = [](QWebEnginePage* page) {
        return playertest::playerState(page).value("state").toString();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return state(b->page()) == "stopped"; }, 10000));
    EXPECT_TRUE(playback::ApplicationPlayer::instance().engine().entries().front().address.endsWith(
        "/card.mp3"));

    // Play in the page takes the player back; the card's player stands still.
    playertest::clickPlayerButton(b->page(), "play");
    ASSERT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return state(card.page()) == "stopped"; }, 10000));
    // Pause in the card that plays nothing leaves the page playing.
    playertest::clickPlayerButton(card.page(), "pause");
    EXPECT_TRUE(playertest::waitUntilPlaying(b->page(), 0, 0.2));

    // The page goes: its sound stops with it.
    b.reset();
    EXPECT_EQ(playback::ApplicationPlayer::instance().engine().state(),
              playback::PlaybackEngine::State::Idle);
}

} // namespace
