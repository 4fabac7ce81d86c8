// The archive engine through the window against the demo service's archive API: the engine
// chosen and remembered, rows in search order with paging, the bad answers, online play, and
// downloads checked against the published MD5; and all of it once more over https, with a CA
// made for the test and handed over in SSL_CERT_FILE.
#include "browser/player_test_support.h"
#include "browser/webengine_browser.h"
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "demo_service_fixture.h"
#include "desktop/user_settings.h"
#include "download/md5_check.h"
#include "gui/dialogs.h"
#include "gui/download_list_view.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/play_list_view.h"
#include "gui/play_panel.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <QtTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class ArchiveSearchTest : public ::testing::Test {
protected:
    e2e::DemoService service;
    QTemporaryDir dir;
    std::string folder;
    std::unique_ptr<TForm1> form;
    QStringList messages;

    void SetUp() override
    {
        ASSERT_TRUE(service.running());
        ui::dialogHooks().message = [this](const QString& text) { messages << text; };
        folder = dir.path().toStdString() + "/";
        desktop::userSettings()->remove("search/engine");
        open(base());
    }
    void TearDown() override
    {
        form.reset();
        desktop::userSettings()->remove("search/engine");
        ui::dialogHooks() = {};
    }
    std::string base() const { return "http://" + service.host(); }
    void open(const std::string& archive)
    {
        form.reset();
        Form1Options options;
        options.hosts.pointAllAt(service.host());
        options.hosts.archive = archive;
        options.programFolder = folder;
        form = std::make_unique<TForm1>(options);
        form->endProcess = [](int) {};
        form->show();
    }
    void chooseArchive()
    {
        form->searchPanel()->SeSkinComboBox2->setCurrentIndex(gui::SearchPanel::kArchiveEngine);
        emit form->searchPanel()->SeSkinComboBox2->activated(gui::SearchPanel::kArchiveEngine);
    }
    void search(const char* words, int type = 0)
    {
        form->searchPanel()->SeSkinComboBox1->setCurrentIndex(type);
        form->searchPanel()->Edit1->setText(QString::fromUtf8(words));
        form->searchPanel()->Button1->click();
    }
    bool waitIdle()
    {
        return QTest::qWaitFor([&] { return !form->searchPanel()->searching(); }, 60000);
    }
    QString caption() const { return form->searchPanel()->resultlabel->text(); }
    int requestsFor(const std::string& prefix) const
    {
        int n = 0;
        for (const std::string& line : service.requests())
            n += line.rfind("GET " + prefix, 0) == 0;
        return n;
    }
};

TEST_F(ArchiveSearchTest, TheChosenEngineFillsTheListInSearchOrderAndPagesOnScrolling)
{
    chooseArchive();
    EXPECT_FALSE(form->searchPanel()->manlistbtn->isEnabled());
    EXPECT_TRUE(form->searchPanel()->menubtn->toolTip().contains("默认mp3搜索引擎"));
    search("刘德华");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->searchPanel()->ListView1->rowCount() >= 1; }, 60000));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(caption(), " 搜索结果  560 个条目");
    // One MP3 per item, 50 items a page: four pages, then the engine waits for the user.
    ASSERT_EQ(form->searchPanel()->ListView1->rowCount(), 200);
    EXPECT_EQ(requestsFor("/advancedsearch.php"), 4);
    const core::SongEntry first = form->searchPanel()->ListView1->rowAt(0);
    EXPECT_EQ(first.caption, "1");
    EXPECT_EQ(first.sub(core::SubItem::Name), core::utf8ToGbk("刘德华 - 忘情水"));
    EXPECT_EQ(first.sub(core::SubItem::Address),
              base() + "/download/corvale-liudehua_1/"
                       "%E5%88%98%E5%BE%B7%E5%8D%8E%20-%20%E5%BF%98%E6%83%85%E6%B0%B4.mp3");
    EXPECT_EQ(first.sub(core::SubItem::TypeText), "mp3");
    EXPECT_EQ(first.md5.size(), 32u);
    // Items 3 and 6 have files without titles of their own: they are named by the item, whose
    // creators item 6 gives as a list, and the file's track.
    EXPECT_EQ(form->searchPanel()->ListView1->rowAt(1).sub(0), core::utf8ToGbk("刘德华 - 冰雨"));
    EXPECT_EQ(form->searchPanel()->ListView1->rowAt(2).sub(0),
              core::utf8ToGbk("刘德华 - 中国人 (3)"));
    EXPECT_EQ(form->searchPanel()->ListView1->rowAt(5).sub(0),
              core::utf8ToGbk("刘德华, 群星 - 练习 (6)"));
    EXPECT_EQ(form->searchPanel()->ListView1->rowAt(199).caption, "200");
    EXPECT_EQ(form->searchPanel()->ListView1->rowAt(199).sub(0),
              core::utf8ToGbk("刘德华 - 谢谢你的爱 (版本25)"));

    form->searchPanel()->ListView1->verticalScrollBar()->setValue(
        form->searchPanel()->ListView1->verticalScrollBar()->maximum());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->searchPanel()->ListView1->rowCount() == 250; }, 60000));
    EXPECT_TRUE(messages.isEmpty());

    // The file lists are kept: the same search again asks only for the search pages.
    const int lists = requestsFor("/metadata/");
    search("刘德华");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->searchPanel()->ListView1->rowCount() == 200; }, 60000));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(requestsFor("/metadata/"), lists);

    // The choice outlives the window; the default engine's caption comes back with it.
    open(base());
    EXPECT_TRUE(form->searchPanel()->archiveChosen());
    EXPECT_FALSE(form->searchPanel()->womanlistbtn->isEnabled());
    form->searchPanel()->SeSkinComboBox2->setCurrentIndex(0);
    emit form->searchPanel()->SeSkinComboBox2->activated(0);
    EXPECT_TRUE(form->searchPanel()->womanlistbtn->isEnabled());
    EXPECT_EQ(form->searchPanel()->womanlistbtn->toolTip(), "女歌手列表");
    EXPECT_EQ(caption(), "搜索结果为:");
}

TEST_F(ArchiveSearchTest, OtherTypesListOnlyItemsThatHoldSuchAFile)
{
    chooseArchive();
    search("陈奕迅", 1);
    ASSERT_TRUE(waitIdle());
    ASSERT_GT(form->searchPanel()->ListView1->rowCount(), 0);
    // Ninety items, every fifth of which holds an .rm.
    EXPECT_EQ(form->searchPanel()->ListView1->rowCount(), 18);
    for (int i = 0; i < form->searchPanel()->ListView1->rowCount(); ++i) {
        EXPECT_EQ(form->searchPanel()->ListView1->rowAt(i).sub(core::SubItem::TypeText), "rm");
        EXPECT_EQ(form->searchPanel()->ListView1->rowAt(i).imageIndex, 1);
    }
}

TEST_F(ArchiveSearchTest, BadAnswersAreNamedInTheCaptionAndTheWindowStaysUsable)
{
    chooseArchive();
    search("archive-500");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(caption(), "互联网档案馆出错：500 Internal Server Error");
    search("archive-notjson");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(caption(), "互联网档案馆的回答无法识别");
    search("archive-empty");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(caption(), "互联网档案馆没有找到相关条目");
    EXPECT_EQ(form->searchPanel()->ListView1->rowCount(), 0);
    // A busy answer is waited out and asked again.
    search("archive-busy");
    ASSERT_TRUE(waitIdle());
    EXPECT_GT(form->searchPanel()->ListView1->rowCount(), 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();

    open("http://127.0.0.1:1");
    search("刘德华");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(caption(), "无法连接互联网档案馆，请检查网络连接");
    EXPECT_EQ(form->searchPanel()->ListView1->rowCount(), 0);
    EXPECT_TRUE(messages.isEmpty());
    // The default engine still works beside it.
    form->searchPanel()->SeSkinComboBox2->setCurrentIndex(0);
    emit form->searchPanel()->SeSkinComboBox2->activated(0);
    search("刘德华");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->searchPanel()->ListView1->rowCount() > 0; }, 60000));
    EXPECT_NE(form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Address).find("/media/"),
              std::string::npos);
}

TEST_F(ArchiveSearchTest, TheCaptionSaysWhatHappenedAndLongNamesLeaveRoomForTheRest)
{
    chooseArchive();
    // Items that hold no file of the type (scanned books): the caption says so.
    const QRegularExpression noFile(" 搜索结果  \\d+ 个条目，没有 (MP3|WMA) 文件");
    for (int type : {0, 2}) {
        search("archive-noaudio", type);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(form->searchPanel()->ListView1->rowCount(), 0);
        const QRegularExpressionMatch match = noFile.match(caption());
        EXPECT_TRUE(match.hasMatch() && match.capturedLength() == caption().size())
            << caption().toStdString();
        EXPECT_EQ(match.captured(1), type == 0 ? "MP3" : "WMA");
    }

    // "停" while the search runs: the caption says it stopped, and nothing of it comes later.
    // The engine's thread may have the item count before the click (the caption then keeps it).
    search("刘德华");
    form->searchPanel()->stopbtn->click();
    const QString stopped = caption();
    EXPECT_TRUE(stopped == "已停止" || stopped == " 搜索结果  560 个条目，已停止")
        << stopped.toStdString();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(caption(), stopped);

    // A search that finds rows: every name is whole in its tool tip, and the name column
    // takes no more than half the list however long the names.
    search("刘德华");
    ASSERT_TRUE(waitIdle());
    ASSERT_GT(form->searchPanel()->ListView1->rowCount(), 0);
    EXPECT_EQ(caption(), " 搜索结果  560 个条目");
    QTreeWidgetItem* item = form->searchPanel()->ListView1->itemAtRow(0);
    EXPECT_EQ(item->toolTip(1), item->text(1));
    core::SongEntry longRow = form->searchPanel()->ListView1->rowAt(0);
    longRow.subItems[0] =
        core::utf8ToGbk(std::string(40, 'x') + " 很长的名字 " + std::string(300, 'y'));
    form->searchPanel()->ListView1->appendRow(longRow);
    EXPECT_LE(form->searchPanel()->ListView1->columnWidth(1),
              form->searchPanel()->ListView1->viewport()->width() / 2);
    EXPECT_GT(form->searchPanel()->ListView1->columnWidth(1), 0);
    EXPECT_EQ(form->searchPanel()
                  ->ListView1->itemAtRow(form->searchPanel()->ListView1->rowCount() - 1)
                  ->toolTip(1),
              core::fromGbk(longRow.subItems[0]));
    // A long address too: size and type stay in view beside the two.
    longRow.subItems[1] += "/" + std::string(400, 'z') + ".mp3";
    form->searchPanel()->ListView1->appendRow(longRow);
    QHeaderView* header = form->searchPanel()->ListView1->header();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return header->sectionPosition(3) + header->sectionSize(3) <=
                       form->searchPanel()->ListView1->viewport()->width() &&
                   header->sectionPosition(4) < form->searchPanel()->ListView1->viewport()->width();
        },
        5000))
        << header->sectionPosition(3) << " " << header->sectionSize(3) << " "
        << form->searchPanel()->ListView1->viewport()->width();
}

TEST_F(ArchiveSearchTest, DownloadedFilesAreExactAndCheckedAgainstTheirMd5)
{
    chooseArchive();
    search("那英");
    ASSERT_TRUE(waitIdle());
    ASSERT_GE(form->searchPanel()->ListView1->rowCount(), 2);
    form->searchPanel()->ListView1->setRowSelected(0, true);
    form->searchPanel()->ListView1->setRowSelected(1, true);
    const core::SongEntry rows[] = {form->searchPanel()->ListView1->rowAt(0),
                                    form->searchPanel()->ListView1->rowAt(1)};
    form->playPanel()->dragdownbtn->click();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return form->downloadPanel()->downloadlistview->rowCount() == 2;
    })) << form->downloadPanel()->downloadlistview->rowCount();
    form->downloadPanel()->downbtn->click();
    auto reports = [&] {
        return form->downloadPanel()->downinimemo->toPlainText().count("下载完毕!");
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !form->downloadPanel()->DownloadsRunning() && reports() == 2; }, 120000))
        << form->downloadPanel()->downinimemo->toPlainText().toStdString();
    for (int i = 0; i < 2; ++i) {
        const std::string path =
            form->downloadPanel()->downloadlistview->rowAt(i).sub(core::SubItem::SavePath);
        const std::string native = core::fromGbk(path).toStdString();
        ASSERT_TRUE(std::filesystem::exists(native)) << native;
        EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(native)), rows[i].sizeBytes);
        EXPECT_EQ(download::fileMd5(native), rows[i].md5);
    }
}

TEST_F(ArchiveSearchTest, AFileThatKeepsFailingItsMd5EndsFailedAndIsNotKept)
{
    chooseArchive();
    search("archive-badmd5");
    ASSERT_TRUE(waitIdle());
    ASSERT_GE(form->searchPanel()->ListView1->rowCount(), 1);
    form->searchPanel()->ListView1->setRowSelected(0, true);
    form->playPanel()->dragdownbtn->click();
    form->downloadPanel()->downbtn->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !form->downloadPanel()->DownloadsRunning() &&
                   form->downloadPanel()->downinimemo->toPlainText().contains("校验失败：MD5 不符");
        },
        120000))
        << form->downloadPanel()->downinimemo->toPlainText().toStdString();
    EXPECT_EQ(form->downloadPanel()->downloadnow->rowAt(0).sub(0), core::utf8ToGbk("下载失败"));
    const std::string path =
        form->downloadPanel()->downloadlistview->rowAt(0).sub(core::SubItem::SavePath);
    EXPECT_FALSE(std::filesystem::exists(core::fromGbk(path).toStdString()));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ArchiveSearchTest, PlayOnlinePlaysAnArchiveRowThroughItsRedirect)
{
    chooseArchive();
    search("孙燕姿");
    ASSERT_TRUE(waitIdle());
    ASSERT_GE(form->searchPanel()->ListView1->rowCount(), 1);
    form->searchPanel()->ListView1->setRowSelected(0, true);
    const std::string address =
        form->searchPanel()->ListView1->rowAt(0).sub(core::SubItem::Address);
    QTest::mouseClick(form->playPanel()->SeSkinButton4, Qt::LeftButton);
    ASSERT_EQ(form->playPanel()->playListView->rowCount(), 1);
    auto* page = static_cast<browser::WebEngineBrowser*>(form->playPanel()->WebBrowser3)->page();
    ASSERT_TRUE(playertest::waitUntilPlaying(page, 0, 0.3, 60000))
        << playertest::playerState(page).value("text").toString().toStdString();
    EXPECT_EQ(playertest::playerState(page).value("src").toString().toStdString(), address);
    EXPECT_GT(requestsFor("/archive-data/"), 0);
}

// A certificate authority and a certificate for 127.0.0.1 signed by it, made with the openssl
// tool in a folder of their own.
struct TestCertificates {
    QTemporaryDir dir;
    std::string ca() const { return dir.path().toStdString() + "/ca.pem"; }
    std::string cert() const { return dir.path().toStdString() + "/server.pem"; }
    std::string key() const { return dir.path().toStdString() + "/server.key"; }
    bool make() const
    {
        const std::string script =
            "cd '" + dir.path().toStdString() +
            "' && "
            "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 "
            "-subj '/CN=Corvale test CA' -addext 'basicConstraints=critical,CA:TRUE' "
            "-addext 'keyUsage=critical,keyCertSign,cRLSign' && "
            "openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
            "-subj '/CN=127.0.0.1' && "
            "printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > san.ext && "
            "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
            "-out server.pem -days 2 -extfile san.ext";
        return std::system(("( " + script + " ) >/dev/null 2>&1").c_str()) == 0;
    }
};

class ArchiveHttpsTest : public ::testing::Test {
protected:
    static TestCertificates& certificates()
    {
        static TestCertificates made;
        static const bool ok = made.make();
        EXPECT_TRUE(ok);
        return made;
    }
    std::unique_ptr<e2e::DemoService> service;
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    QStringList messages;
    QByteArray oldCertFile = qgetenv("SSL_CERT_FILE");
    QByteArray oldBundle = qgetenv("CURL_CA_BUNDLE"); // named, it would win over SSL_CERT_FILE

    void SetUp() override
    {
        service = std::make_unique<e2e::DemoService>(std::vector<std::string>{
            "--tls-cert", certificates().cert(), "--tls-key", certificates().key()});
        ASSERT_TRUE(service->running());
        qputenv("SSL_CERT_FILE", QByteArray::fromStdString(certificates().ca()));
        qunsetenv("CURL_CA_BUNDLE");
        ui::dialogHooks().message = [this](const QString& text) { messages << text; };
        desktop::userSettings()->remove("search/engine");
        Form1Options options;
        options.hosts.pointAllAt(service->host());
        options.hosts.archive = "https://" + service->host();
        options.programFolder = dir.path().toStdString() + "/";
        form = std::make_unique<TForm1>(options);
        form->endProcess = [](int) {};
        form->show();
        form->searchPanel()->SeSkinComboBox2->setCurrentIndex(gui::SearchPanel::kArchiveEngine);
        emit form->searchPanel()->SeSkinComboBox2->activated(gui::SearchPanel::kArchiveEngine);
    }
    void TearDown() override
    {
        form.reset();
        desktop::userSettings()->remove("search/engine");
        ui::dialogHooks() = {};
        if (oldCertFile.isNull())
            qunsetenv("SSL_CERT_FILE");
        else
            qputenv("SSL_CERT_FILE", oldCertFile);
        if (!oldBundle.isNull())
            qputenv("CURL_CA_BUNDLE", oldBundle);
    }
};

TEST_F(ArchiveHttpsTest, SearchPlayAndDownloadOverHttpsWithTheTestCa)
{
    form->searchPanel()->SeSkinComboBox1->setCurrentIndex(0);
    form->searchPanel()->Edit1->setText("梁静茹");
    form->searchPanel()->Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->searchPanel()->searching(); }, 60000));
    ASSERT_EQ(form->searchPanel()->ListView1->rowCount(), 40)
        << form->searchPanel()->resultlabel->text().toStdString();
    const core::SongEntry row = form->searchPanel()->ListView1->rowAt(0);
    EXPECT_EQ(row.sub(core::SubItem::Address).rfind("https://" + service->host() + "/download/", 0),
              0u);

    form->searchPanel()->ListView1->setRowSelected(0, true);
    QTest::mouseClick(form->playPanel()->SeSkinButton4, Qt::LeftButton);
    auto* page = static_cast<browser::WebEngineBrowser*>(form->playPanel()->WebBrowser3)->page();
    ASSERT_TRUE(playertest::waitUntilPlaying(page, 0, 0.3, 60000))
        << playertest::playerState(page).value("text").toString().toStdString();

    form->playPanel()->dragdownbtn->click();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return form->downloadPanel()->downloadlistview->rowCount() == 1;
    })) << form->downloadPanel()->downloadlistview->rowCount();
    form->downloadPanel()->downbtn->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !form->downloadPanel()->DownloadsRunning() &&
                   form->downloadPanel()->downinimemo->toPlainText().contains("下载完毕!");
        },
        120000))
        << form->downloadPanel()->downinimemo->toPlainText().toStdString();
    const std::string native = core::fromGbk(form->downloadPanel()->downloadlistview->rowAt(0).sub(
                                                 core::SubItem::SavePath))
                                   .toStdString();
    EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(native)), row.sizeBytes);
    EXPECT_EQ(download::fileMd5(native), row.md5);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
}

TEST_F(ArchiveHttpsTest, ACertificateNotTrustedIsNamedInTheCaption)
{
    // An authority of its own, which signed nothing the server shows.
    QTemporaryDir other;
    const std::string ca = other.path().toStdString() + "/other.pem";
    ASSERT_EQ(std::system(("cd '" + other.path().toStdString() +
                           "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key "
                           "-out other.pem -days 2 -subj '/CN=Another CA' >/dev/null 2>&1")
                              .c_str()),
              0);
    qputenv("SSL_CERT_FILE", QByteArray::fromStdString(ca));
    form->searchPanel()->SeSkinComboBox1->setCurrentIndex(0);
    form->searchPanel()->Edit1->setText("梁静茹");
    form->searchPanel()->Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->searchPanel()->searching(); }, 60000));
    EXPECT_TRUE(
        form->searchPanel()->resultlabel->text().startsWith("无法连接互联网档案馆：证书无效："))
        << form->searchPanel()->resultlabel->text().toStdString();
    EXPECT_EQ(form->searchPanel()->ListView1->rowCount(), 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
}

} // namespace
