#include "download/download_list.h"

#include "core/gbk.h"

namespace download {

namespace {

// The part of a name that may stand in a file name, as characters.
std::u16string cleaned(std::string_view gbk)
{
    std::u16string out;
    for (char16_t c : core::gbkToUtf16(gbk))
        out += c == u'/' || c == u'\\' || c < 0x20 || c == 0x7F ? u'_' : c;
    const std::size_t first = out.find_first_not_of(u'.');
    return first == std::u16string::npos ? std::u16string() : out.substr(first);
}

// Bytes of a UTF-16 unit in UTF-8 (a surrogate pair's two units make four).
std::size_t utf8Bytes(char16_t c)
{
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    return c >= 0xD800 && c <= 0xDFFF ? 2 : 3;
}

std::size_t utf8Length(const std::u16string& text)
{
    std::size_t n = 0;
    for (char16_t c : text)
        n += utf8Bytes(c);
    return n;
}

// The longest start of `text` within `bytes` UTF-8 bytes that never splits a surrogate pair.
std::u16string cut(const std::u16string& text, std::size_t bytes)
{
    std::size_t used = 0;
    std::size_t end = 0;
    while (end < text.size()) {
        const bool pair = text[end] >= 0xD800 && text[end] <= 0xDBFF && end + 1 < text.size();
        const std::size_t width = pair ? 4 : utf8Bytes(text[end]);
        if (used + width > bytes)
            break;
        used += width;
        end += pair ? 2 : 1;
    }
    return text.substr(0, end);
}

} // namespace

std::string fallbackFileName()
{
    return core::utf8ToGbk("未命名");
}

std::string safeFileName(const std::string& name, const std::string& type)
{
    constexpr std::size_t kMaxTypeBytes = 16;
    const std::u16string t = cut(cleaned(type), kMaxTypeBytes);
    std::u16string n = cleaned(name);
    if (n.empty())
        n = core::gbkToUtf16(fallbackFileName());
    const std::size_t typeBytes = t.empty() ? 0 : 1 + utf8Length(t);
    n = cut(n, kMaxFileNameBytes - kFileNameRoom - typeBytes);
    return core::utf16ToGbk(t.empty() ? n : n + u"." + t);
}

std::string savePath(const std::string& folder, const std::string& name, const std::string& type)
{
    return folder + safeFileName(name, type);
}

bool isDownloadableRow(const core::SongEntry& resultRow)
{
    return resultRow.subItems.size() >= 3;
}

std::optional<core::SongEntry> downloadRowFor(const core::SongEntry& resultRow,
                                              const std::string& saveFolder)
{
    if (!isDownloadableRow(resultRow))
        return std::nullopt;
    core::SongEntry row = resultRow; // whatever else the entry carries travels with it
    row.subItems.clear();
    for (const auto column : {core::SubItem::Name, core::SubItem::Address, core::SubItem::SizeText,
                              core::SubItem::TypeText})
        row.subItems.push_back(resultRow.sub(column));
    row.subItems.push_back(savePath(saveFolder, resultRow.sub(core::SubItem::Name),
                                    resultRow.sub(core::SubItem::TypeText)));
    row.md5 = resultRow.md5;
    row.sizeBytes = resultRow.sizeBytes;
    return row;
}

std::vector<core::SongEntry> downloadRowsFor(const std::vector<core::SongEntry>& selected,
                                             const std::string& saveFolder)
{
    std::vector<core::SongEntry> rows;
    for (const core::SongEntry& resultRow : selected)
        if (std::optional<core::SongEntry> row = downloadRowFor(resultRow, saveFolder))
            rows.push_back(std::move(*row));
    return rows;
}

ChooserOutcome confirmChooser(bool rewriteMode, const std::string& saveFolder,
                              const std::string& chosenPath,
                              const std::vector<std::pair<int, core::SongEntry>>& selectedRows)
{
    ChooserOutcome outcome;
    outcome.saveFolder = saveFolder;
    if (rewriteMode) {
        const std::string folder = chosenPath + kPathSeparator;
        for (const auto& [index, row] : selectedRows)
            outcome.newSavePaths.emplace_back(index, savePath(folder, row.sub(core::SubItem::Name),
                                                              row.sub(core::SubItem::TypeText)));
        outcome.rewriteMode = false;
        return outcome;
    }
    if (!chosenPath.empty())
        outcome.saveFolder = chosenPath + kPathSeparator;
    return outcome;
}

} // namespace download
