#include "download/target_file.h"

#include "core/gbk.h"
#include "core/line_file.h"
#include "core/text_ops.h"

#include <fcntl.h>
#include <unistd.h>

namespace download {

std::string fallbackTypeText(std::string_view address)
{
    std::string t = core::lastN(core::trim(address), 3);
    if (t == "Mrm")
        t = "rm";
    return t;
}

std::string fallbackName(std::string_view saveFolder, std::string_view searchText, int row,
                         std::string_view address)
{
    return std::string(saveFolder) + core::trim(searchText) + std::to_string(row) + "." +
           fallbackTypeText(address);
}

bool isPlainNamePart(std::string_view gbk)
{
    // Read as characters: a GBK trail byte may be 0x5C without being a backslash.
    for (char16_t c : core::gbkToUtf16(gbk))
        if (c == u'/' || c == u'\\' || c == 0)
            return false;
    return true;
}

namespace {

std::u16string lastComponent(std::string_view gbkPath)
{
    const std::u16string wide = core::gbkToUtf16(gbkPath);
    const std::size_t slash = wide.find_last_of(u'/');
    return slash == std::u16string::npos ? wide : wide.substr(slash + 1);
}

bool isDotName(const std::u16string& leaf)
{
    return leaf.empty() || leaf == u"." || leaf == u"..";
}

} // namespace

bool savePathIsSafe(std::string_view savePath, std::string_view name, std::string_view type)
{
    if (!isPlainNamePart(name) || !isPlainNamePart(type))
        return false;
    return !isDotName(lastComponent(savePath));
}

bool createEmptyFile(std::string_view gbkPath)
{
    if (gbkPath.empty())
        return false;
    const std::string native = core::gbkPath(gbkPath).string();
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

TargetChoice createTargetFile(std::string_view savePath, std::string_view name,
                              std::string_view type, std::string_view saveFolder,
                              std::string_view searchText, int row, std::string_view address)
{
    if (savePathIsSafe(savePath, name, type) && createEmptyFile(savePath))
        return {std::string(savePath), false};
    const std::string trimmedSearch = core::trim(searchText);
    const std::string t = fallbackTypeText(address);
    const std::string fallback = fallbackName(saveFolder, searchText, row, address);
    const bool safe =
        isPlainNamePart(trimmedSearch) && isPlainNamePart(t) && !isDotName(lastComponent(fallback));
    if (!safe || !createEmptyFile(fallback))
        throw core::FileError("Cannot create file " + core::gbkToUtf8(fallback));
    return {fallback, true};
}

} // namespace download
