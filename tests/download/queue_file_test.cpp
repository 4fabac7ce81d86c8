// The download list's file: what is written comes back, a later version can add fields, a
// damaged file keeps its complete rows, and changes are written together.
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

// A damaged file once gave no rows at all (one blank line, or a last row cut short by a crash),
// and the next change overwrote it. Every complete row is kept now.
TEST(QueueFile, DamageIsPassedOverAndEveryCompleteRowKept)
{
    const std::string head = "corvale-download-list 1\n";
    const std::string a = "row\ncaption 1\nsub a\nstatus complete\nend\n";
    const std::string b = "row\ncaption 2\nsub b\nend\n";
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> captions;
    } table[] = {
        {"a later version's fields",
         head + "row\ncaption 1\nmd5 0123abcd\nlater x\nsub a\nend\n",
         {"1"}},
        {"a blank line between rows", head + a + "\n" + b, {"1", "2"}},
        {"a blank line inside a row", head + "row\n\ncaption 1\nend\n" + b, {"1", "2"}},
        {"a last row cut short", head + a + b + "row\ncaption 3\nsub c", {"1", "2"}},
        {"a row cut short before the next", head + "row\ncaption 0\n" + a, {"1"}},
        {"lines outside a row", head + "garbage\n" + a + "end\n" + b, {"1", "2"}},
        {"CR LF line ends", "corvale-download-list 1\r\nrow\r\ncaption 1\r\nend\r\n", {"1"}},
        {"an empty file", "", {}},
    };
    for (const auto& c : table) {
        const auto rows = download::readQueueFileText(c.text);
        ASSERT_TRUE(rows) << c.what;
        std::vector<std::string> captions;
        for (const QueueRow& r : *rows)
            captions.push_back(r.entry.caption);
        EXPECT_EQ(captions, c.captions) << c.what;
    }
    const auto rows = download::readQueueFileText(head + a);
    ASSERT_TRUE(rows);
    EXPECT_EQ((*rows)[0].entry.subItems, std::vector<std::string>{"a"});
    EXPECT_EQ((*rows)[0].status, RowStatus::Complete);

    EXPECT_FALSE(download::readQueueFileText("something else\n"));
}

TEST(QueueFile, AFileThatIsNoListIsSetAsideOnceAndNeverOverwritten)
{
    char pattern[] = "/tmp/corvale-queue-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    const std::filesystem::path path = dir / "download-list.txt";
    std::ofstream(path, std::ios::binary) << "\x89PNG not a list";
    download::QueueFile file(path.string());
    const download::QueueFile::Loaded loaded = file.load();
    EXPECT_TRUE(loaded.rows.empty());
    ASSERT_FALSE(loaded.setAsideAs.empty());
    EXPECT_EQ(loaded.setAsideAs.rfind(path.string() + ".bad-", 0), 0u) << loaded.setAsideAs;
    EXPECT_TRUE(std::filesystem::exists(loaded.setAsideAs));
    EXPECT_FALSE(std::filesystem::exists(path));
    // The next load finds no file and sets nothing aside.
    EXPECT_TRUE(file.load().setAsideAs.empty());
    std::filesystem::remove_all(dir);
}

// Every status change once rewrote the whole file and synced it. Changes now reach the file
// together: many changes within the gap are one write, and the last is written when the queue
// goes.
TEST(QueueFile, ChangesAreWrittenTogetherAndWhenTheQueueGoes)
{
    char pattern[] = "/tmp/corvale-queue-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    download::QueueFile file((dir / "list.txt").string());
    std::uint64_t writes = 0;
    {
        download::DownloadQueue queue;
        queue.append(row("a", RowStatus::Waiting).entry);
        // A gap no test run outlasts: only the first change and the final write happen.
        queue.keepWritten([&](const std::vector<QueueRow>& rows,
                              std::uint64_t version) { file.save(rows, version); },
                          std::chrono::hours(1));
        const std::uint64_t id = queue.append(row("b", RowStatus::Waiting).entry);
        for (int i = 0; i < 300; ++i)
            queue.setStatus(id, i % 2 == 0 ? RowStatus::Running : RowStatus::Failed,
                            "reason " + std::to_string(i));
        queue.append(row("c", RowStatus::Waiting).entry);
        writes = queue.writes();
        EXPECT_LE(writes, 1u) << "the first change at most; the rest wait for the gap";
    }
    const auto rows = file.load().rows;
    ASSERT_EQ(rows.size(), 3u) << "the queue wrote its last state when it went";
    EXPECT_EQ(rows[1].status, RowStatus::Failed);
    EXPECT_EQ(rows[1].failure, "reason 299");
    EXPECT_EQ(rows[2].entry.sub(core::SubItem::Name), "c");

    // A flush writes what changed at once, and nothing when nothing changed.
    download::DownloadQueue queue;
    int calls = 0;
    queue.keepWritten([&](const std::vector<QueueRow>&, std::uint64_t) { ++calls; },
                      std::chrono::hours(1));
    queue.flush();
    EXPECT_EQ(calls, 0);
    std::filesystem::remove_all(dir);
}

TEST(QueueFile, AnOlderVersionNeverReplacesANewerOneOnDisk)
{
    char pattern[] = "/tmp/corvale-queue-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    download::QueueFile file((dir / "list.txt").string());
    EXPECT_TRUE(file.load().rows.empty()) << "no file yet";
    ASSERT_TRUE(file.save({row("new", RowStatus::Waiting)}, 5));
    ASSERT_TRUE(file.save({row("old", RowStatus::Waiting)}, 4));
    const auto rows = file.load().rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].entry.sub(core::SubItem::Name), "new");
    EXPECT_FALSE(std::filesystem::exists(dir / "list.txt.new"));

    // A folder that cannot be written: the save says so.
    download::QueueFile nowhere((dir / "missing" / "list.txt").string());
    EXPECT_FALSE(nowhere.save({row("a", RowStatus::Waiting)}, 1));
    std::filesystem::remove_all(dir);
}
