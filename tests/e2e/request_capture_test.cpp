// Typing words and pressing Enter sends the first request to the search host, and the finished
// page's text arrives line by line in the page holder.
#include "core/gbk.h"
#include "gui/browser_search_engine.h"
#include "gui/dialogs.h"
#include "gui/form1.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>
#include <httplib.h>
#include <mutex>
#include <thread>

namespace {

class RecordingService {
public:
    RecordingService()
    {
        server_.Get("/m", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard lock(mutex_);
                targets_.push_back(req.target);
                words_.push_back(req.get_param_value("word"));
            }
            const std::string page =
                "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                "charset=gbk\"></head><body><p>" +
                core::utf8ToGbk("百度为您找到相关结果约12篇") + "</p><table><tr><td>" +
                core::utf8ToGbk("歌手 一") + "</td><td>2.34Mmp3</td></tr></table></body></html>";
            res.set_content(page, "text/html; charset=gbk");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::yield();
    }
    ~RecordingService()
    {
        server_.stop();
        thread_.join();
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> targets()
    {
        std::lock_guard lock(mutex_);
        return targets_;
    }
    std::vector<std::string> words()
    {
        std::lock_guard lock(mutex_);
        return words_;
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> targets_;
    std::vector<std::string> words_;
};

TEST(RequestCapture, EnterSendsTheFirstRequestAndThePageLinesReachTheHolder)
{
    RecordingService service;
    QTemporaryDir dir;
    QStringList messages;
    ui::dialogHooks().message = [&](const QString& text) { messages << text; };
    Form1Options options;
    options.hosts.pointAllAt(service.host());
    options.programFolder = dir.path().toStdString() + "/";
    TForm1 form(options);
    form.show();

    form.searchPanel()->Edit1->setFocus();
    QInputMethodEvent chinese; // Chinese words arrive through the input method
    chinese.setCommitString(QString::fromUtf8("周杰伦"));
    QApplication::sendEvent(form.searchPanel()->Edit1, &chinese);
    QTest::keyClicks(form.searchPanel()->Edit1, " abc");
    QTest::keyClick(form.searchPanel()->Edit1, Qt::Key_Return);

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !form.searchPanel()->defaultEngine()->rules().pageLines().empty(); }, 30000));
    ASSERT_EQ(service.targets().size(), 1u);
    const std::string target = service.targets()[0];
    EXPECT_EQ(target.rfind("/m?tn=baidump3&ct=134217728&rn=&word=", 0), 0u) << target;
    EXPECT_EQ(target.substr(target.size() - 5), "&lm=0");
    EXPECT_EQ(service.words()[0], "周杰伦 abc"); // the browser sends the words as UTF-8

    // A paragraph renders with a blank line after it; a table row as one line of its cells.
    ASSERT_EQ(form.searchPanel()->defaultEngine()->rules().pageLines().size(), 3u);
    EXPECT_EQ(form.searchPanel()->defaultEngine()->rules().pageLines()[0],
              core::utf8ToGbk("百度为您找到相关结果约12篇"));
    EXPECT_EQ(form.searchPanel()->defaultEngine()->rules().pageLines()[1], "");
    EXPECT_EQ(form.searchPanel()->defaultEngine()->rules().pageLines()[2].rfind(
                  core::utf8ToGbk("歌手 一"), 0),
              0u);
    EXPECT_NE(form.searchPanel()->defaultEngine()->rules().pageLines()[2].find("2.34Mmp3"),
              std::string::npos);
    EXPECT_TRUE(messages.isEmpty());
    ui::dialogHooks() = {};
}

TEST(RequestCapture, AnUnreachableServiceSaysToCheckTheConnection)
{
    QTemporaryDir dir;
    QStringList messages;
    ui::dialogHooks().message = [&](const QString& text) { messages << text; };
    Form1Options options;
    options.hosts.pointAllAt("127.0.0.1:1"); // nothing listens on port 1
    options.programFolder = dir.path().toStdString() + "/";
    TForm1 form(options);
    form.searchPanel()->Edit1->setText("abc");
    form.searchPanel()->Button1Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, 30000));
    EXPECT_EQ(messages, QStringList{"请检查网络连接!"});
    EXPECT_TRUE(form.searchPanel()->defaultEngine()->rules().pageLines().empty());
    EXPECT_EQ(form.searchPanel()->ListView1->topLevelItemCount(), 0);
    ui::dialogHooks() = {};
}

} // namespace
