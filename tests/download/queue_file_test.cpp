// The download list's file: what is written comes back, a later version can add fields, and a
// damaged file never yields half a list.
#include "download/queue_file.h"

#include "core/gbk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using download::QueueRow;
using download::RowStatus;

namespace {

QueueRow row(const std::string& name, RowStatus status)
{
    QueueRow r;
    r.entry = {"1", 2, {name, "http://h/" + name, "1.2M", "mp3", "/m/" + name + ".mp3"}};
    r.status = status;
    return r;
}

} // namespace

TEST(QueueFile, RowsComeBackAsTheyWereWithARunningRowWaitingAgain)
{
    // "嘰" ends in the byte 0x5C, the same as a backslash; texts may hold line breaks too.
    const std::string awkward = core::utf8ToGbk("嘰\\演唱会\n第二行\r");
    std::vector<QueueRow> rows{row(awkward, RowStatus::Complete), row("b", RowStatus::Running),
                               row("c", RowStatus::Failed), row("d", RowStatus::Waiting)};
    // A row of a service that publishes its files' digests keeps them for the check at the end.
    rows[2].entry.md5 = "0123456789abcdef0123456789abcdef";
    rows[2].entry.sizeBytes = 5000000000;
    const auto back = download::readQueueFileText(download::queueFileText(rows));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 4u);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ((*back)[i].entry, rows[i].entry) << i;
    EXPECT_EQ((*back)[0].status, RowStatus::Complete);
    EXPECT_EQ((*back)[1].status, RowStatus::Waiting) << "it was cut off and resumes";
    EXPECT_EQ((*back)[2].status, RowStatus::Failed);
    EXPECT_EQ((*back)[3].status, RowStatus::Waiting);
}

TEST(QueueFile, UnknownFieldsArePassedOverAndADamagedFileGivesNoRows)
{
    const std::string later = "corvale-download-list 1\nrow\ncaption 7\nmd5 0123abcd\nsub a\n"
                              "status complete\nend\n";
    const auto rows = download::readQueueFileText(later);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ((*rows)[0].entry.caption, "7");
    EXPECT_EQ((*rows)[0].entry.subItems, std::vector<std::string>{"a"});
    EXPECT_EQ((*rows)[0].status, RowStatus::Complete);

    EXPECT_FALSE(download::readQueueFileText("corvale-download-list 1\nrow\ncaption 7\n"));
    EXPECT_FALSE(download::readQueueFileText("something else\n"));
    EXPECT_FALSE(download::readQueueFileText("corvale-download-list 1\ncaption 7\n"));
}

TEST(QueueFile, AnOlderVersionNeverReplacesANewerOneOnDisk)
{
    char pattern[] = "/tmp/corvale-queue-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    download::QueueFile file((dir / "list.txt").string());
    EXPECT_TRUE(file.load().empty()) << "no file yet";
    ASSERT_TRUE(file.save({row("new", RowStatus::Waiting)}, 5));
    ASSERT_TRUE(file.save({row("old", RowStatus::Waiting)}, 4));
    const auto rows = file.load();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].entry.sub(core::SubItem::Name), "new");
    EXPECT_FALSE(std::filesystem::exists(dir / "list.txt.new"));

    // A folder that cannot be written: the save says so.
    download::QueueFile nowhere((dir / "missing" / "list.txt").string());
    EXPECT_FALSE(nowhere.save({row("a", RowStatus::Waiting)}, 1));
    std::filesystem::remove_all(dir);
}
