#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/line_file.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QtTest>
#include <gtest/gtest.h>

namespace {

using browser::WebEngineBrowser;

// Waits for one DocumentComplete of b, for at most 30 s.
bool waitForComplete(QSignalSpy& spy, int count = 1)
{
    return QTest::qWaitFor([&] { return spy.count() >= count; }, 30000);
}

class WebEngineBrowserTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    // Writes a GBK page the way the service sends one and returns its "file:///" address.
    QString writePage(const std::string& name, const std::string& utf8Body)
    {
        const std::string path = dir.path().toStdString() + "/" + name;
        core::writeLines(path, {"<html><head><meta http-equiv=\"Content-Type\" "
                                "content=\"text/html; charset=gbk\"></head><body>",
                                core::utf8ToGbk(utf8Body), "</body></html>"});
        return QString::fromStdString("file:///" + path);
    }
};

TEST_F(WebEngineBrowserTest, ReadsLinksInDocumentOrderAndRenderedTextLines)
{
    WebEngineBrowser b(WebEngineBrowser::Kind::Hidden, nullptr);
    QSignalSpy complete(&b, &browser::BrowserControl::DocumentComplete);
    QSignalSpy progress(&b, &browser::BrowserControl::ProgressChange);
    b.Navigate(writePage("result.html",
                         "<p>百度为您找到相关结果约1,234篇</p>"
                         "<table><tr><td><a href=\"http://mp3.example/r?url=http://h/a.mp3\">歌手 "
                         "一</a></td><td>2.34M</td><td>mp3</td></tr>"
                         "<tr><td><a href=\"http://mp3.example/r?url=http://h/b.wma\">Singer "
                         "Two</a></td><td>1234K</td><td>wma</td></tr></table>"
                         "<a name=\"anchor\">no target</a>"
                         "<a href=\"http://mp3.example/m?lm=0&amp;ip=1.2.3.4&amp;cl=3\">2</a>"));
    ASSERT_TRUE(waitForComplete(complete));
    const browser::Document* doc = b.document();
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->links.size(), 3u); // the anchor without a target is not a link
    EXPECT_EQ(doc->links[0].href, "http://mp3.example/r?url=http://h/a.mp3");
    EXPECT_EQ(doc->links[0].text, QString::fromUtf8("歌手 一"));
    EXPECT_EQ(doc->links[1].text, "Singer Two");
    EXPECT_EQ(doc->links[2].href, "http://mp3.example/m?lm=0&ip=1.2.3.4&cl=3");

    const std::vector<std::string> lines =
        core::splitLines(core::utf8ToGbk(doc->bodyText.toStdString()));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], core::utf8ToGbk("百度为您找到相关结果约1,234篇"));
    // A table row renders as one line with its cells side by side.
    bool rowFound = false;
    for (const std::string& line : lines)
        rowFound = rowFound || (line.find(core::utf8ToGbk("歌手 一")) == 0 &&
                                line.find("2.34M") != std::string::npos);
    EXPECT_TRUE(rowFound);

    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().at(0).toInt(), 100);
    EXPECT_EQ(progress.last().at(1).toInt(), 100);
    EXPECT_EQ(complete.count(), 1);
}

TEST_F(WebEngineBrowserTest, AFailedLoadCompletesWithNoDocument)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close(); // nothing listens there now

    WebEngineBrowser b(WebEngineBrowser::Kind::Hidden, nullptr);
    QSignalSpy complete(&b, &browser::BrowserControl::DocumentComplete);
    b.Navigate(QString("http://127.0.0.1:%1/m?word=x").arg(port));
    ASSERT_TRUE(waitForComplete(complete));
    EXPECT_EQ(b.document(), nullptr);
}

TEST_F(WebEngineBrowserTest, PageScriptsDoNotRunButTheDocumentIsStillRead)
{
    WebEngineBrowser b(WebEngineBrowser::Kind::Shown, nullptr);
    QSignalSpy complete(&b, &browser::BrowserControl::DocumentComplete);
    b.Navigate(writePage("script.html", "<p id=\"p\">before</p>"
                                        "<script>document.getElementById('p').innerText='after';"
                                        "</script><a href=\"http://x.example/\">x</a>"));
    ASSERT_TRUE(waitForComplete(complete));
    ASSERT_NE(b.document(), nullptr);
    EXPECT_TRUE(b.document()->bodyText.contains("before"));
    EXPECT_FALSE(b.document()->bodyText.contains("after"));
    EXPECT_EQ(b.document()->links.size(), 1u);
}

TEST_F(WebEngineBrowserTest, VisiblePropertyShowsOnlyTheShownKind)
{
    WebEngineBrowser hidden(WebEngineBrowser::Kind::Hidden, nullptr);
    EXPECT_EQ(hidden.view(), nullptr);
    hidden.setBrowserVisible(true);
    EXPECT_TRUE(hidden.browserVisible());

    QWidget parent;
    WebEngineBrowser shown(WebEngineBrowser::Kind::Shown, &parent);
    ASSERT_NE(shown.view(), nullptr);
    parent.show();
    shown.setBrowserVisible(false);
    EXPECT_FALSE(shown.view()->isVisible());
    shown.setBrowserVisible(true);
    EXPECT_TRUE(shown.view()->isVisible());
}

TEST(WebEngineBrowserAddress, FileAddressesOfAbsolutePathsBecomeLocalFileUrls)
{
    EXPECT_EQ(WebEngineBrowser::toUrl("file:////tmp/a b/1.html"),
              QUrl::fromLocalFile("/tmp/a b/1.html"));
    EXPECT_EQ(WebEngineBrowser::toUrl("file:///tmp/x.html"), QUrl::fromLocalFile("/tmp/x.html"));
    EXPECT_EQ(WebEngineBrowser::toUrl("http://h:8080/m?word=a b").toString(QUrl::FullyEncoded),
              "http://h:8080/m?word=a%20b");
}

} // namespace
