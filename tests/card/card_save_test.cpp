#include "card/card_save.h"

#include "card/card_page.h"
#include "core/gbk.h"
#include "core/line_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

fs::path u8path(const char* utf8)
{
    return fs::path(std::string(utf8));
}

class CardSaveTest : public ::testing::Test {
protected:
    fs::path root;
    fs::path picture; // the background picture, in a folder whose name has a blank and Chinese
    fs::path page;    // the card page as the program writes it
    fs::path out;     // where the user saves
    std::string pictureBytes = std::string("\xFF\xD8\xFF\xE0 picture\0bytes\r\n", 20);

    void SetUp() override
    {
        root = fs::temp_directory_path() /
               ("card-save-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / u8path("我的 图片"));
        fs::create_directories(root / "out");
        out = root / "out";
        picture = root / u8path("我的 图片") / u8path("背景 1.jpg");
        writeFile(picture, pictureBytes);
        page = root / "card.html";
        writeCard("mp3", core::utf8ToGbk(picture.string()));
    }
    void TearDown() override { fs::remove_all(root); }

    static void writeFile(const fs::path& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

    void writeCard(const std::string& type, const std::string& picturePath)
    {
        card::CardPageInput in;
        in.picture = picturePath;
        in.title = u"新年快乐";
        in.address = "http://media.example/song.mp3?a=1&b=\"2\"";
        in.typeText = type;
        in.textLines = {gbk("<strong>祝你</strong>"), gbk("万事如意")};
        in.playerDownloadHost = "activex.microsoft.com";
        core::writeLines(page, card::cardPageLines(in));
    }

    // Every name in the folder, one level deep.
    static std::set<std::string> names(const fs::path& folder)
    {
        std::set<std::string> result;
        for (const fs::directory_entry& e : fs::directory_iterator(folder))
            result.insert(e.path().filename().string());
        return result;
    }
};

TEST_F(CardSaveTest, CompleteSaveCopiesThePictureAndPointsThePageAtIt)
{
    const fs::path target = out / u8path("贺卡 副本.html");
    const card::SaveResult result = card::saveCompleteCard(page, target);
    ASSERT_EQ(result.problem, card::SaveProblem::None) << card::saveProblemMessage(result);

    EXPECT_EQ(names(out), (std::set<std::string>{"贺卡 副本.html", "贺卡 副本_files"}));
    const fs::path folder = out / u8path("贺卡 副本_files");
    EXPECT_EQ(names(folder), std::set<std::string>{"背景 1.jpg"});
    EXPECT_EQ(core::readFileBytes(folder / u8path("背景 1.jpg")), pictureBytes);

    // Only the body line differs from the program's page; the GBK title and the rest stay.
    const Lines before = core::readLines(page);
    const Lines saved = core::readLines(target);
    ASSERT_EQ(saved.size(), before.size());
    EXPECT_EQ(saved[1], "<body background=\"%E8%B4%BA%E5%8D%A1%20%E5%89%AF%E6%9C%AC_files/"
                        "%E8%83%8C%E6%99%AF%201.jpg\"> ");
    EXPECT_EQ(saved[3], "<h2>" + gbk("新年快乐") + "</h2>");
    for (size_t i = 0; i < saved.size(); ++i)
        if (i != 1) {
            EXPECT_EQ(saved[i], before[i]) << "line " << i + 1;
        }
    const std::string bytes = core::readFileBytes(target);
    EXPECT_EQ(bytes.substr(bytes.size() - 9), "</html>\r\n");

    // Saved again over the first save (a newer picture): both are replaced, nothing else left.
    pictureBytes = "a newer picture";
    writeFile(picture, pictureBytes);
    ASSERT_EQ(card::saveCompleteCard(page, target).problem, card::SaveProblem::None);
    EXPECT_EQ(names(out), (std::set<std::string>{"贺卡 副本.html", "贺卡 副本_files"}));
    EXPECT_EQ(names(folder), std::set<std::string>{"背景 1.jpg"});
    EXPECT_EQ(core::readFileBytes(folder / u8path("背景 1.jpg")), pictureBytes);
    EXPECT_EQ(core::readLines(target), saved);
}

TEST_F(CardSaveTest, PlainNamesAndPicturePathsWithoutLeadingSlash)
{
    // A target without an extension gets "NAME_files"; a path written as "file:///" + a
    // path without its leading slash still names the same file.
    writeCard("RM", core::utf8ToGbk(picture.string().substr(1)));
    const card::SaveResult result = card::saveCompleteCard(page, out / "card");
    ASSERT_EQ(result.problem, card::SaveProblem::None) << card::saveProblemMessage(result);
    EXPECT_EQ(core::readLines(out / "card")[1],
              "<body background=\"card_files/%E8%83%8C%E6%99%AF%201.jpg\"> ");
    EXPECT_EQ(core::readFileBytes(out / "card_files" / u8path("背景 1.jpg")), pictureBytes);
}

TEST_F(CardSaveTest, PageNamingNoPictureIsSavedAsItIs)
{
    writeCard("mp3", "");
    const fs::path target = out / "card.htm";
    ASSERT_EQ(card::saveCompleteCard(page, target).problem, card::SaveProblem::None);
    EXPECT_EQ(core::readFileBytes(target), core::readFileBytes(page));
    EXPECT_EQ(names(out), std::set<std::string>{"card.htm"});
}

TEST_F(CardSaveTest, FailuresSayWhichAndLeaveNothingBehind)
{
    const fs::path target = out / "card.html";

    // The picture is gone.
    fs::remove(picture);
    card::SaveResult result = card::saveCompleteCard(page, target);
    EXPECT_EQ(result.problem, card::SaveProblem::PictureUnreadable);
    EXPECT_EQ(result.where, picture);
    EXPECT_EQ(card::saveProblemMessage(result),
              "无法复制背景图片 " + picture.string() + "，贺卡没有保存！");
    EXPECT_TRUE(names(out).empty());
    writeFile(picture, pictureBytes);

    // A file stands where the picture folder would be.
    writeFile(out / "card_files", "not a folder");
    result = card::saveCompleteCard(page, target);
    EXPECT_EQ(result.problem, card::SaveProblem::FolderUnwritable);
    EXPECT_EQ(result.where, out / "card_files");
    EXPECT_EQ(card::saveProblemMessage(result),
              "无法写入文件夹 " + (out / "card_files").string() + "，贺卡没有保存！");
    EXPECT_EQ(names(out), std::set<std::string>{"card_files"});
    EXPECT_EQ(core::readFileBytes(out / "card_files"), "not a folder");
    fs::remove(out / "card_files");

    // The target is a folder: the page cannot take its place, and the picture folder made
    // for it goes again.
    fs::create_directory(target);
    result = card::saveCompleteCard(page, target);
    EXPECT_EQ(result.problem, card::SaveProblem::PageUnwritable);
    EXPECT_EQ(result.where, target);
    EXPECT_EQ(names(out), std::set<std::string>{"card.html"});
    EXPECT_TRUE(fs::is_empty(target));
    fs::remove(target);

    // The target's folder does not exist.
    result = card::saveCompleteCard(page, out / "missing" / "card.html");
    EXPECT_EQ(result.problem, card::SaveProblem::PageUnwritable);
    EXPECT_TRUE(names(out).empty());

    // The card page itself is gone.
    fs::remove(page);
    result = card::saveCompleteCard(page, target);
    EXPECT_EQ(result.problem, card::SaveProblem::PageUnreadable);
    EXPECT_EQ(result.where, page);
    EXPECT_TRUE(names(out).empty());
}

TEST_F(CardSaveTest, PageOnlyKeepsEveryByte)
{
    const fs::path target = out / u8path("仅网页.html");
    ASSERT_EQ(card::savePageOnly(page, target).problem, card::SaveProblem::None);
    EXPECT_EQ(core::readFileBytes(target), core::readFileBytes(page));
    EXPECT_EQ(names(out), std::set<std::string>{"仅网页.html"});

    const card::SaveResult result = card::savePageOnly(page, out / "missing" / "x.html");
    EXPECT_EQ(result.problem, card::SaveProblem::PageUnwritable);
    EXPECT_EQ(names(out), std::set<std::string>{"仅网页.html"});
}

} // namespace
