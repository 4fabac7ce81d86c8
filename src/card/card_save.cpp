#include "card/card_save.h"

#include "core/hex_text.h"
#include "core/line_file.h"

#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

namespace card {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBodyStart = "<body background=\"file:///";
constexpr std::string_view kBodyEnd = "\"> ";

// Where the page's second line, the body line with the picture, lies in its bytes.
struct BodyLine {
    size_t start = 0;
    size_t length = 0;
    std::string picture; // the picture's path text after "file:///"
};

std::optional<BodyLine> findBodyLine(const std::string& page)
{
    const size_t first = page.find("\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    const size_t start = first + 2;
    const size_t end = page.find("\r\n", start);
    if (end == std::string::npos)
        return std::nullopt;
    const std::string_view line(page.data() + start, end - start);
    if (line.size() < kBodyStart.size() + kBodyEnd.size() || !line.starts_with(kBodyStart) ||
        !line.ends_with(kBodyEnd))
        return std::nullopt;
    BodyLine body{start, line.size(), {}};
    body.picture =
        line.substr(kBodyStart.size(), line.size() - kBodyStart.size() - kBodyEnd.size());
    if (body.picture.empty())
        return std::nullopt;
    return body;
}

// "file:///" followed by the path names an absolute local file.
fs::path localPath(const std::string& gbk)
{
    return core::gbkPath(gbk.starts_with('/') ? gbk : "/" + gbk);
}

std::string percentEncoded(const std::string& bytes)
{
    return core::percentEncoded(bytes);
}

// A hidden name beside the file that it will replace, for writing it whole first.
fs::path temporaryFor(const fs::path& file)
{
    return file.parent_path() / ("." + file.filename().string() + ".part");
}

bool writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool readBytes(const fs::path& path, std::string& bytes)
{
    try {
        bytes = core::readFileBytes(path);
        return true;
    } catch (const core::FileError&) {
        return false;
    }
}

// Writes bytes under a temporary name beside target; false (and nothing left) on failure.
bool stage(const fs::path& target, const std::string& bytes)
{
    if (writeBytes(temporaryFor(target), bytes))
        return true;
    std::error_code ignored;
    fs::remove(temporaryFor(target), ignored);
    return false;
}

bool commit(const fs::path& target)
{
    std::error_code failed;
    fs::rename(temporaryFor(target), target, failed);
    if (!failed)
        return true;
    std::error_code ignored;
    fs::remove(temporaryFor(target), ignored);
    return false;
}

SaveResult savePageBytes(const std::string& page, const fs::path& target)
{
    if (!stage(target, page) || !commit(target))
        return {SaveProblem::PageUnwritable, target};
    return {};
}

fs::path pictureFolder(const fs::path& page)
{
    return page.parent_path() / (page.stem().string() + "_files");
}

std::string relativeAddress(const fs::path& folderName, const fs::path& fileName)
{
    return percentEncoded(folderName.string()) + "/" + percentEncoded(fileName.string());
}

} // namespace

SaveResult savePageOnly(const fs::path& cardPage, const fs::path& target)
{
    std::string page;
    if (!readBytes(cardPage, page))
        return {SaveProblem::PageUnreadable, cardPage};
    return savePageBytes(page, target);
}

SaveResult saveCompleteCard(const fs::path& cardPage, const fs::path& target)
{
    std::string page;
    if (!readBytes(cardPage, page))
        return {SaveProblem::PageUnreadable, cardPage};
    const std::optional<BodyLine> body = findBodyLine(page);
    if (!body)
        return savePageBytes(page, target);

    const fs::path source = localPath(body->picture);
    std::string picture;
    if (source.filename().empty() || !readBytes(source, picture))
        return {SaveProblem::PictureUnreadable, source};

    const fs::path folder = pictureFolder(target);
    const fs::path copy = folder / source.filename();
    const std::string address = relativeAddress(folder.filename(), copy.filename());
    page.replace(body->start, body->length, "<body background=\"" + address + "\"> ");
    if (!stage(target, page))
        return {SaveProblem::PageUnwritable, target};

    std::error_code ignored;
    bool madeFolder = false;
    if (!fs::is_directory(folder, ignored)) {
        std::error_code failed;
        madeFolder = fs::create_directory(folder, failed) && !failed;
        if (!madeFolder) {
            fs::remove(temporaryFor(target), ignored);
            return {SaveProblem::FolderUnwritable, folder};
        }
    }
    const auto undo = [&] {
        fs::remove(temporaryFor(target), ignored);
        if (madeFolder)
            fs::remove_all(folder, ignored);
    };
    const bool hadCopy = fs::exists(copy, ignored);
    if (!stage(copy, picture) || !commit(copy)) {
        undo();
        return {SaveProblem::FolderUnwritable, folder};
    }
    if (!commit(target)) {
        if (!hadCopy)
            fs::remove(copy, ignored);
        undo();
        return {SaveProblem::PageUnwritable, target};
    }
    return {};
}

std::string saveProblemMessage(const SaveResult& result)
{
    const std::string where = result.where.string();
    switch (result.problem) {
    case SaveProblem::None:
        break;
    case SaveProblem::PageUnreadable:
        return "无法读取贺卡网页 " + where + "，贺卡没有保存！";
    case SaveProblem::PictureUnreadable:
        return "无法复制背景图片 " + where + "，贺卡没有保存！";
    case SaveProblem::FolderUnwritable:
        return "无法写入文件夹 " + where + "，贺卡没有保存！";
    case SaveProblem::PageUnwritable:
        return "无法写入网页 " + where + "，贺卡没有保存！";
    }
    return {};
}

} // namespace card
