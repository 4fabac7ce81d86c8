// A saved greeting card opened by a recipient in an ordinary browser (headless Chromium),
// without the program and its player: the background picture travels with the page, and an MP3
// card's audio element fetches the song.
#include "card/card_page.h"
#include "card/card_save.h"
#include "core/gbk.h"
#include "core/line_file.h"
#include "demo_service_fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

fs::path u8path(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// Serves a folder over HTTP and remembers "GET path status" for every request.
class FolderServer {
public:
    explicit FolderServer(const fs::path& folder)
    {
        server_.set_mount_point("/", folder.string());
        server_.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
            const std::lock_guard<std::mutex> lock(mutex_);
            log_.push_back(req.method + " " + req.path + " " + std::to_string(res.status));
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~FolderServer()
    {
        server_.stop();
        thread_.join();
    }
    FolderServer(const FolderServer&) = delete;
    FolderServer& operator=(const FolderServer&) = delete;

    int port() const { return port_; }
    bool answered(const std::string& line) const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return std::find(log_.begin(), log_.end(), line) != log_.end();
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> log_;
};

// Headless Chromium in a process group of its own, with a fresh profile; ended with its group.
class Chromium {
public:
    Chromium(const QString& profile, const QStringList& extraArgs)
    {
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
        process_.setProgram(QStandardPaths::findExecutable("chromium"));
        process_.setArguments(QStringList{"--headless", "--no-sandbox", "--disable-gpu",
                                          "--disable-quic", "--no-first-run",
                                          "--disable-background-networking",
                                          "--disable-component-update", "--disable-sync",
                                          "--user-data-dir=" + profile} +
                              extraArgs);
        process_.start();
    }
    ~Chromium()
    {
        if (process_.state() != QProcess::NotRunning) {
            ::kill(-static_cast<pid_t>(process_.processId()), SIGKILL);
            process_.waitForFinished(30000);
        }
    }
    Chromium(const Chromium&) = delete;
    Chromium& operator=(const Chromium&) = delete;

    bool started() { return process_.waitForStarted(30000); }
    // Waits for a run that ends by itself (a DOM dump, a screenshot); its standard output.
    QByteArray finish()
    {
        process_.waitForFinished(120000);
        return process_.readAllStandardOutput();
    }

private:
    QProcess process_;
};

TEST(SavedCardInABrowser, ShowsItsPictureAndFetchesItsSong)
{
    ASSERT_FALSE(QStandardPaths::findExecutable("chromium").isEmpty())
        << "Chromium is missing; scripts/setup installs it";
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("我的 图片"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("送出"));
    const QString picture = dir.path() + "/我的 图片/0103.jpg";
    fs::copy_file(fs::path(CORVALE_DATA_DIR) / "pic" / "0103.jpg", u8path(picture));

    // The card as the program makes it for an MP3 row, then saved complete elsewhere.
    const std::string song = "http://" + service.host() + "/media/card_song.mp3";
    card::CardPageInput in;
    in.picture = core::utf8ToGbk(picture.toStdString());
    in.title = u"新年快乐";
    in.address = song;
    in.typeText = "MP3";
    in.textLines = {core::utf8ToGbk("<strong>祝你新年快乐</strong>"), core::utf8ToGbk("万事如意")};
    in.playerDownloadHost = "activex.microsoft.com";
    const fs::path page = u8path(dir.path() + "/card.html");
    core::writeLines(page, card::cardPageLines(in));
    const QString saved = dir.path() + "/送出/贺卡 副本.html";
    const card::SaveResult result = card::saveCompleteCard(page, u8path(saved));
    ASSERT_EQ(result.problem, card::SaveProblem::None) << card::saveProblemMessage(result);
    // The program's own card folder could be gone by the time the card is opened.
    fs::remove(u8path(picture));

    // Opened from a web server: the browser asks for the picture beside the page and the song.
    {
        FolderServer server(u8path(dir.path() + "/送出"));
        ASSERT_GT(server.port(), 0);
        const QString address = QString("http://127.0.0.1:%1/").arg(server.port()) +
                                QString::fromLatin1(QUrl::toPercentEncoding("贺卡 副本.html"));
        Chromium browser(dir.path() + "/profile-http", {address});
        ASSERT_TRUE(browser.started());
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return server.answered("GET /贺卡 副本_files/0103.jpg 200"); }, 60000))
            << "the background picture was not fetched";
        const auto songServed = [&] {
            for (const std::string& line : service.requests())
                if (line == "GET /media/card_song.mp3 200" ||
                    line == "GET /media/card_song.mp3 206")
                    return true;
            return false;
        };
        EXPECT_TRUE(QTest::qWaitFor(songServed, 60000)) << "the song was not fetched";
        EXPECT_TRUE(server.answered("GET /贺卡 副本.html 200"));
    }

    // Opened from the disk, the page's own markup: the song's audio element sits inside the
    // object, whose player this browser does not have.
    const QString fileUrl = QUrl::fromLocalFile(saved).toString(QUrl::FullyEncoded);
    Chromium dump(dir.path() + "/profile-file", {"--dump-dom", fileUrl});
    ASSERT_TRUE(dump.started());
    const QString dom = QString::fromUtf8(dump.finish());
    const QString audio = QString::fromStdString("<audio src=\"" + song +
                                                 "\" controls=\"\" autoplay=\"\" loop=\"\">");
    EXPECT_TRUE(dom.contains(QRegularExpression(
        "<object[^>]*>(.|\\n)*" + QRegularExpression::escape(audio) + "(.|\\n)*</object>",
        QRegularExpression::CaseInsensitiveOption)))
        << dom.toStdString();
    EXPECT_TRUE(dom.contains("background=\"%E8%B4%BA%E5%8D%A1%20%E5%89%AF%E6%9C%AC_files/"
                             "0103.jpg\""));

    // A screenshot of the saved card in the browser, when asked for.
    if (const QByteArray shot = qgetenv("CORVALE_SAVED_CARD_SCREENSHOT"); !shot.isEmpty()) {
        Chromium camera(dir.path() + "/profile-shot",
                        {"--hide-scrollbars", "--window-size=800,500",
                         "--screenshot=" + QString::fromLocal8Bit(shot), fileUrl});
        ASSERT_TRUE(camera.started());
        camera.finish();
    }
}

} // namespace
