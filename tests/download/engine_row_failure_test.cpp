// A row that cannot be fetched fails alone, with its kind's reason in its row and the memo, and
// the start loop goes on with the next row. Once a missing folder raised out of the start loop
// with the song's name in its message ("Access All Areas" then closed the program), a name with
// a slash stopped the whole list, and pressing again changed nothing.
#include "download/failure.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace enginetest;
using download::RowStatus;

TEST(EngineRowFailure, AGoneFolderOrANameWithASlashFailsItsRowAloneAndTheListGoesOn)
{
    testsupport::LoopbackServer server;
    server.addGeneratedFile("/a.mp3", 30000);
    EngineRun run;
    const std::string gone = run.dir.folder() + "stick";

    // Rows whose save folder has gone (a USB stick pulled out), between rows that can be fetched.
    const auto addGoneRow = [&](const std::string& name) {
        download::DownloadRow row;
        row.caption = std::to_string(run.engine.queue().size() + 1);
        row.name = name;
        row.address = server.url("/a.mp3");
        row.typeText = "mp3";
        row.savePath = gone + "/" + name + ".mp3";
        run.engine.queue().append(row);
    };
    addGoneRow("Access All Areas");
    run.addRow(server.url("/a.mp3"), "AC/DC");
    addGoneRow("Top 40 Hits");
    const std::string last = run.addRow(server.url("/a.mp3"), "after");

    ASSERT_NO_THROW(run.engine.downbtnClick());
    ASSERT_TRUE(run.engine.waitIdle(std::chrono::seconds(120)));
    ASSERT_TRUE(waitFor([&] { return run.engine.queue().at(3).status == RowStatus::Complete; }));

    const std::string reason = gbk("保存目录不存在：") + gone;
    for (int i : {0, 2}) {
        const download::QueueRow row = run.engine.queue().at(i);
        EXPECT_EQ(row.status, RowStatus::Failed) << i;
        EXPECT_EQ(row.failure, reason) << i;
    }
    EXPECT_EQ(run.engine.queue().at(1).status, RowStatus::Complete);
    EXPECT_TRUE(holdsGenerated(run.dir.folder() + "AC_DC.mp3", 30000));
    EXPECT_FALSE(std::filesystem::exists(run.dir.path / "AC")) << "a folder is never made";
    EXPECT_TRUE(holdsGenerated(last, 30000));
    EXPECT_FALSE(std::filesystem::exists(gone)) << "it may be a drive that is not mounted";
    const std::vector<std::string> memo = run.observer.memoLines();
    EXPECT_EQ(std::count(memo.begin(), memo.end(), gbk("Access All Areas不能下载：") + reason), 1);
    EXPECT_EQ(std::count(memo.begin(), memo.end(), gbk("Top 40 Hits不能下载：") + reason), 1);
    EXPECT_TRUE(run.countersAtRest());

    // Pressing again tries the failed rows again and leaves the completed ones.
    const std::size_t requests = server.requestCount();
    ASSERT_NO_THROW(run.engine.downbtnClick());
    ASSERT_TRUE(run.engine.waitIdle(std::chrono::seconds(120)));
    EXPECT_EQ(server.requestCount(), requests + 2) << "one probe for each failed row";
    EXPECT_EQ(run.engine.queue().at(0).status, RowStatus::Failed);
}
