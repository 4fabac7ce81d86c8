// Downloads against the demo service: three songs found by a real search, sent with "下" and
// fetched with "开始下载" into the music folder, byte for byte, each with one report.
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "core/line_file.h"
#include "demo_service_fixture.h"
#include "download/tick_report.h"
#include "download/transfer_engine.h"
#include "gui/dialogs.h"
#include "gui/download_list_view.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/play_panel.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "gui/status_bar.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

namespace {

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(DownloadEndToEnd, ThreeSongsArriveWithTheirStatusesAndReports)
{
    e2e::DemoService service;
    ASSERT_TRUE(service.running());
    QTemporaryDir dir;
    ui::dialogHooks().message = [](const QString& text) {
        ADD_FAILURE() << "message box: " << text.toStdString();
    };
    Form1Options options;
    options.hosts.pointAllAt(service.host());
    options.programFolder = dir.path().toStdString() + "/";
    auto form = std::make_unique<TForm1>(options);
    form->endProcess = [](int) {};
    form->show();

    form->searchPanel()->SeSkinComboBox1->setCurrentIndex(0);
    form->searchPanel()->Edit1->setText("周杰伦");
    form->searchPanel()->Button1->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->searchPanel()->ListView1->rowCount() >= 3; }, 60000));
    form->searchPanel()->stopbtnClick();
    for (int i = 0; i < 3; ++i)
        form->searchPanel()->ListView1->setRowSelected(i, true);
    form->playPanel()->dragdownbtn->click();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return form->downloadPanel()->downloadlistview->rowCount() == 3;
    })) << form->downloadPanel()->downloadlistview->rowCount();

    // Watch every status each active row shows on the way.
    std::vector<std::set<std::string>> seen(3);
    auto watch = [&] {
        for (int i = 0; i < form->downloadPanel()->downloadnow->rowCount() && i < 3; ++i)
            seen[i].insert(form->downloadPanel()->downloadnow->rowAt(i).sub(0));
    };
    // Every change of a row's cells passes through the list's model, so no status is missed
    // however quickly a small file ends.
    QObject::connect(form->downloadPanel()->downloadnow->model(), &QAbstractItemModel::dataChanged,
                     watch);
    QObject::connect(form->downloadPanel()->downloadnow->model(), &QAbstractItemModel::rowsInserted,
                     watch);
    form->downloadPanel()->downbtn->click();
    // The files start on the engine's thread; their rows arrive queued.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->downloadPanel()->downloadnow->rowCount() == 3; },
                                60000));
    auto reports = [&] {
        return form->downloadPanel()->downinimemo->toPlainText().count("下载完毕!");
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            watch();
            return !form->downloadPanel()->DownloadsRunning() && reports() == 3;
        },
        120000));
    watch();

    httplib::Client client("127.0.0.1", service.port());
    for (int i = 0; i < 3; ++i) {
        const core::SongEntry row = form->downloadPanel()->downloadlistview->rowAt(i);
        const std::string address = row.sub(core::SubItem::Address);
        const std::string path = address.substr(address.find('/', 7));
        auto res = client.Get(path);
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200);
        ASSERT_GT(res->body.size(), 0u);
        const std::string saved =
            fileBytes(core::gbkPath(row.sub(core::SubItem::SavePath)).string());
        EXPECT_EQ(saved.size(), res->body.size()) << i;
        EXPECT_TRUE(saved == res->body) << "file " << i << " differs";
        EXPECT_EQ(row.sub(core::SubItem::SavePath).rfind(form->downloadPanel()->SaveFolder, 0), 0u);
        EXPECT_EQ(form->downloadPanel()->downloadnow->rowAt(i).sub(0), download::statusReported());
        EXPECT_TRUE(seen[i].count(download::statusRunning())) << i;
        EXPECT_TRUE(seen[i].count(download::statusEnded())) << i;
        EXPECT_EQ(form->downloadPanel()->downloadnow->rowAt(i).sub(2), std::to_string(i));
    }
    // Progress reached the status bar and the bars.
    EXPECT_TRUE(form->SeSkinStatusBar1->panelText(0).startsWith("文件"));
    EXPECT_GT(form->downloadPanel()->SeSkinProgressBar1->value(), 0);

    // One six-line report per file.
    QStringList lines =
        form->downloadPanel()->downinimemo->toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 18);
    for (int at = 0; at < 18; at += 6) {
        EXPECT_TRUE(lines[at + 1].endsWith("下载完毕!"));
        EXPECT_TRUE(lines[at + 2].startsWith("保存地址："));
        EXPECT_TRUE(lines[at + 3].startsWith("用时："));
        EXPECT_TRUE(lines[at + 4].startsWith("下载地址：http://"));
        EXPECT_TRUE(lines[at + 5].startsWith("文件大小："));
    }
    form.reset();
    ui::dialogHooks() = {};
}
