// Every media type the search offers plays online against the demo service: a search of the
// type, two rows, "在线播放", the first entry's time passes two seconds, "next" plays the
// second. A card preview of an RM row and of a WMA row plays too. No sound device is needed:
// the player plays into its silent output and says so.
#include "browser/player_test_support.h"
#include "browser/webengine_browser.h"
#include "demo_service_fixture.h"
#include "gui/card_panel.h"
#include "gui/form1.h"
#include "gui/play_panel.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "player/playback/application_player.h"
#include "player/playback/playback_engine.h"
#include "service_window.h"

#include <QAudioDevice>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMediaDevices>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

const char* const kTypes[] = {"mp3", "rm", "wma", "asf", "ram"};

// CPU seconds used so far by this process and, separately, by the processes it started
// (the browser's renderers; the demo service is left out).
std::pair<double, double> cpuSeconds()
{
    std::map<pid_t, std::pair<pid_t, double>> procs; // pid -> parent, seconds
    DIR* proc = opendir("/proc");
    while (dirent* e = proc ? readdir(proc) : nullptr) {
        const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        if (pid <= 0)
            continue;
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t open = text.find('(');
        const size_t close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos ||
            text.compare(open + 1, 12, "corvale-demo") == 0)
            continue;
        std::istringstream fields(text.substr(close + 2));
        std::string state;
        long ppid = 0;
        fields >> state >> ppid;
        std::string skip;
        for (int i = 0; i < 9; ++i)
            fields >> skip;
        double utime = 0, stime = 0;
        fields >> utime >> stime;
        procs[pid] = {static_cast<pid_t>(ppid), (utime + stime) / sysconf(_SC_CLK_TCK)};
    }
    if (proc)
        closedir(proc);
    const pid_t self = getpid();
    double own = procs.count(self) ? procs[self].second : 0, children = 0;
    for (const auto& [pid, info] : procs) {
        if (pid == self)
            continue;
        for (pid_t up = info.first, hops = 0; up > 1 && hops < 10; ++hops) {
            if (up == self) {
                children += info.second;
                break;
            }
            up = procs.count(up) ? procs[up].first : 0;
        }
    }
    return {own, children};
}

class PlayerMediaTypesTest : public ::testing::TestWithParam<int> {
protected:
    e2e::DemoService service;
    std::optional<e2e::ServiceWindow> window;
    TForm1* form = nullptr;

    void SetUp() override
    {
        ASSERT_FALSE(service.host().empty());
        window.emplace(service);
        form = window->form.get();
        form->endProcess = [](int) {};
    }
    void TearDown() override
    {
        if (window) {
            EXPECT_TRUE(window->messages.isEmpty())
                << "message box: " << window->messages.join("\n").toStdString();
        }
        window.reset();
    }

    // Searches the type and waits for at least two rows of it.
    void search(int type, const char* words)
    {
        form->searchPanel()->SeSkinComboBox1->setCurrentIndex(type);
        form->searchPanel()->Edit1->setText(QString::fromUtf8(words));
        form->searchPanel()->Button1->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->searchPanel()->ListView1->rowCount() >= 2; },
                                    60000));
        form->searchPanel()->stopbtnClick();
        for (int row = 0; row < 2; ++row)
            ASSERT_EQ(form->searchPanel()->ListView1->rowAt(row).sub(core::SubItem::TypeText),
                      kTypes[type]);
    }
    static QWebEnginePage* pageOf(browser::BrowserControl* browser)
    {
        return static_cast<browser::WebEngineBrowser*>(browser)->page();
    }
    // The program's player, once the page's first player stands.
    static playback::PlaybackEngine* engineOf(browser::BrowserControl* browser)
    {
        if (playertest::playerState(pageOf(browser)).isEmpty())
            return nullptr;
        return &playback::ApplicationPlayer::instance().engine();
    }
    // Waits until the page's player shows entry index playing at seconds or later, and the
    // engine agrees.
    static bool playsAt(browser::BrowserControl* browser, int index, int seconds)
    {
        return QTest::qWaitFor(
            [&] {
                const QVariantMap s = playertest::playerState(pageOf(browser));
                const playback::PlaybackEngine* engine = engineOf(browser);
                return s.value("state").toString() == "playing" &&
                       s.value("index").toInt() == index && s.value("time").toInt() >= seconds &&
                       engine && engine->index() == index && engine->position() >= seconds;
            },
            60000);
    }
    // Milliseconds until the page's player stands (its engine exists), and until its engine
    // has sent out the first samples; -1 when that does not happen.
    static std::pair<qint64, qint64> firstAudioAfter(browser::BrowserControl* browser,
                                                     const QElapsedTimer& clock)
    {
        if (!QTest::qWaitFor([&] { return engineOf(browser) != nullptr; }, 60000))
            return {-1, -1};
        const qint64 ready = clock.elapsed();
        if (!QTest::qWaitFor(
                [&] {
                    const playback::PlaybackEngine* e = engineOf(browser);
                    return e && e->position() > 0;
                },
                60000))
            return {ready, -1};
        return {ready, clock.elapsed()};
    }
    static std::string stateText(browser::BrowserControl* browser)
    {
        return playertest::playerState(pageOf(browser)).value("text").toString().toStdString();
    }
    void screenshot(const char* name)
    {
        if (const QByteArray folder = qgetenv("CORVALE_PLAYER_SCREENSHOTS"); !folder.isEmpty())
            form->grab().save(QString::fromLocal8Bit(folder) + "/" + name + ".png");
    }
};

TEST_P(PlayerMediaTypesTest, PlayOnlinePlaysTheFirstRowThenNextPlaysTheSecond)
{
    const int type = GetParam();
    search(type, "周杰伦");
    form->searchPanel()->ListView1->setRowSelected(0, true);
    form->searchPanel()->ListView1->setRowSelected(1, true);
    const QString first = QString::fromStdString(
        form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Address));
    const QString second = QString::fromStdString(
        form->searchPanel()->ListView1->rowAt(1).sub(core::SubItem::Address));

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form->playPanel()->SeSkinButton4, Qt::LeftButton);
    const auto [ready, firstAudio] = firstAudioAfter(form->playPanel()->WebBrowser3, clock);
    ASSERT_GE(firstAudio, 0) << stateText(form->playPanel()->WebBrowser3);
    std::printf("[ measure  ] %s: first decoded audio %lld ms after the click (player in the "
                "page after %lld ms)\n",
                kTypes[type], static_cast<long long>(firstAudio), static_cast<long long>(ready));

    ASSERT_TRUE(playsAt(form->playPanel()->WebBrowser3, 0, 2))
        << stateText(form->playPanel()->WebBrowser3);
    const QVariantMap playing = playertest::playerState(pageOf(form->playPanel()->WebBrowser3));
    const bool ram = type == 4;
    // A .ram row plays the RealAudio songs it names, in its place.
    const QString firstSong = ram ? first.left(first.size() - 4) + ".rm" : first;
    EXPECT_EQ(playing.value("src").toString(), firstSong);
    EXPECT_EQ(playing.value("kind").toString(), type == 1 || ram ? "real" : "wmp");
    // "no audio device" is said exactly when the machine has no sound output.
    EXPECT_EQ(playing.value("text").toString().contains(QString::fromUtf8("无音频设备")),
              QMediaDevices::audioOutputs().isEmpty());
    // The whole player shows in the play panel's browser, without scrolling, also in a window
    // scaled down for a small screen.
    EXPECT_TRUE(playertest::runInPage(pageOf(form->playPanel()->WebBrowser3),
                                      "document.documentElement.scrollHeight <= innerHeight && "
                                      "document.documentElement.scrollWidth <= innerWidth")
                    .toBool())
        << form->playPanel()->WebBrowser3->view()->size().height();
    screenshot((std::string("play-") + kTypes[type]).c_str());

    // The CPU the playing costs, when asked for: this process (decoding, output, the window
    // and the browser's own threads) and its renderer processes, over some seconds of play,
    // and the same with the player paused for reference.
    if (const int seconds = qEnvironmentVariableIntValue("CORVALE_PLAYER_CPU_SECONDS")) {
        for (const char* phase : {"playing", "paused"}) {
            if (phase[1] == 'a')
                playertest::clickPlayerButton(pageOf(form->playPanel()->WebBrowser3), "pause");
            const auto before = cpuSeconds();
            QElapsedTimer wall;
            wall.start();
            QTest::qWait(seconds * 1000);
            const auto after = cpuSeconds();
            const double elapsed = wall.elapsed() / 1000.0;
            std::printf("[ measure  ] %s: CPU %s %.1f s: program %.1f %%, renderers %.1f %% "
                        "of one core\n",
                        kTypes[type], phase, elapsed, 100 * (after.first - before.first) / elapsed,
                        100 * (after.second - before.second) / elapsed);
        }
        playertest::clickPlayerButton(pageOf(form->playPanel()->WebBrowser3), "play");
    }

    playertest::clickPlayerButton(pageOf(form->playPanel()->WebBrowser3), "next");
    ASSERT_TRUE(playsAt(form->playPanel()->WebBrowser3, 1, 1))
        << stateText(form->playPanel()->WebBrowser3);
    const QString next =
        playertest::playerState(pageOf(form->playPanel()->WebBrowser3)).value("src").toString();
    if (ram) // the first pointer may name a second part first
        EXPECT_TRUE(next == second.left(second.size() - 4) + ".rm" ||
                    next == first.left(first.size() - 4) + "_part2.rm")
            << next.toStdString();
    else
        EXPECT_EQ(next, second);
}

INSTANTIATE_TEST_SUITE_P(EveryType, PlayerMediaTypesTest, ::testing::Values(0, 1, 2, 3, 4),
                         [](const auto& info) { return std::string(kTypes[info.param]); });

class CardPreviewPlaysTest : public PlayerMediaTypesTest {};

TEST_P(CardPreviewPlaysTest, ThePreviewedCardPlaysItsSong)
{
    const int type = GetParam();
    search(type, "刘德华");
    form->searchPanel()->ListView1->setRowSelected(1, true);
    const QString song = QString::fromStdString(
        form->searchPanel()->ListView1->rowAt(1).sub(core::SubItem::Address));
    form->playPanel()->dragcardbtn->click();
    ASSERT_EQ(form->cardPanel()->cardlistview->rowCount(), 1);
    form->cardPanel()->nameedit->setText("生日快乐");

    QElapsedTimer clock;
    clock.start();
    form->cardPanel()->previewbtn->click();
    const auto [ready, firstAudio] = firstAudioAfter(form->cardPanel()->WebBrowser4, clock);
    ASSERT_GE(firstAudio, 0) << stateText(form->cardPanel()->WebBrowser4);
    std::printf("[ measure  ] card %s: first decoded audio %lld ms after the preview click "
                "(player in the page after %lld ms)\n",
                kTypes[type], static_cast<long long>(firstAudio), static_cast<long long>(ready));
    ASSERT_TRUE(playsAt(form->cardPanel()->WebBrowser4, 0, 2))
        << stateText(form->cardPanel()->WebBrowser4);
    const QVariantMap s = playertest::playerState(pageOf(form->cardPanel()->WebBrowser4));
    EXPECT_EQ(s.value("src").toString(), song);
    EXPECT_EQ(s.value("kind").toString(), type == 1 ? "real" : "wmp");
    screenshot((std::string("card-") + kTypes[type]).c_str());
}

INSTANTIATE_TEST_SUITE_P(RmAndWma, CardPreviewPlaysTest, ::testing::Values(1, 2),
                         [](const auto& info) { return std::string(kTypes[info.param]); });

} // namespace
