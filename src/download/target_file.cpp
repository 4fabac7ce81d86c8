#include "download/target_file.h"

#include "core/gbk.h"
#include "core/line_file.h"
#include "core/text_ops.h"

#include <filesystem>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

std::string numberedPath(std::string_view gbkPath, int n)
{
    // Worked on as characters, so the split never falls inside a double-byte character.
    const std::u16string wide = core::gbkToUtf16(gbkPath);
    const std::size_t slash = wide.find_last_of(u'/');
    const std::size_t leafStart = slash == std::u16string::npos ? 0 : slash + 1;
    std::size_t dot = wide.find_last_of(u'.');
    if (dot == std::u16string::npos || dot <= leafStart)
        dot = wide.size();
    const std::u16string numbered =
        wide.substr(0, dot) + u"(" + core::gbkToUtf16(std::to_string(n)) + u")" + wide.substr(dot);
    return core::utf16ToGbk(numbered);
}

void TargetLock::release()
{
    if (fd_ >= 0)
        ::close(fd_); // closing the descriptor releases the lock
    fd_ = -1;
}

namespace {

enum class Claim { Taken, Fresh, Resume, Failed };

std::string systemText(int err)
{
    char text[256];
    return ::strerror_r(err, text, sizeof text); // the GNU form returns the text
}

// Whether the file at this path may be written for the file in `context`, and how. The lock
// is taken before anything is decided, so a file another writer holds is never emptied.
Claim claimPath(const std::string& gbkPath, const TargetContext& context, TargetChoice& choice,
                std::string& failure)
{
    if (context.takenByRun && context.takenByRun(gbkPath))
        return Claim::Taken;
    const std::string native = core::gbkPath(gbkPath).string();
    std::error_code ec;
    if (std::filesystem::exists(native, ec) && !resumeRecordExists(native))
        return Claim::Taken; // somebody's complete file
    const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        failure = systemText(errno);
        return Claim::Failed;
    }
    auto lock = std::make_shared<TargetLock>(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return Claim::Taken; // another writer fills it
    // Under the lock: what the file holds now is settled.
    struct stat st {};
    const bool record = resumeRecordExists(native);
    if (!record && ::fstat(fd, &st) == 0 && st.st_size > 0)
        return Claim::Taken; // finished by its writer just now
    std::optional<ResumeRecord> resume = record ? readResumeRecord(native) : std::nullopt;
    if (resume &&
        sameFile(*resume, context.address, context.size, context.etag, context.lastModified)) {
        choice.resume = std::move(resume);
        choice.lock = std::move(lock);
        return Claim::Resume;
    }
    // A record of something else, or a damaged one: start over.
    if (::ftruncate(fd, 0) != 0) {
        failure = systemText(errno);
        return Claim::Failed;
    }
    removeResumeRecord(native);
    choice.resume.reset();
    choice.lock = std::move(lock);
    return Claim::Fresh;
}

// The first variant of the path that may be written; false when one cannot be created.
bool claimFreeVariant(const std::string& gbkPath, const TargetContext& context,
                      TargetChoice& choice, std::string& failure)
{
    for (int n = 0; n < 10000; ++n) {
        const std::string candidate = n == 0 ? gbkPath : numberedPath(gbkPath, n);
        switch (claimPath(candidate, context, choice, failure)) {
        case Claim::Taken:
            continue;
        case Claim::Failed:
            return false;
        case Claim::Fresh:
        case Claim::Resume:
            choice.path = candidate;
            return true;
        }
    }
    failure = systemText(EEXIST);
    return false;
}

} // namespace

TargetChoice createTargetFile(std::string_view savePath, std::string_view name,
                              std::string_view type, std::string_view saveFolder,
                              std::string_view searchText, int row, std::string_view address,
                              const TargetContext& context)
{
    TargetChoice choice;
    std::string failure;
    const bool saveSafe = savePathIsSafe(savePath, name, type) && !savePath.empty();
    if (saveSafe && claimFreeVariant(std::string(savePath), context, choice, failure))
        return choice;
    std::string fallbackFailure;
    const std::string trimmedSearch = core::trim(searchText);
    const std::string t = fallbackTypeText(address);
    const std::string fallback = fallbackName(saveFolder, searchText, row, address);
    const bool safe =
        isPlainNamePart(trimmedSearch) && isPlainNamePart(t) && !isDotName(lastComponent(fallback));
    if (!safe || !claimFreeVariant(fallback, context, choice, fallbackFailure)) {
        // The user is told about the file they asked for, unless that name was never usable.
        const bool ownPath = saveSafe && !failure.empty();
        const std::string reason = ownPath                    ? failure
                                   : !fallbackFailure.empty() ? fallbackFailure
                                                              : std::string("名称不能用作文件名");
        throw core::FileError("无法创建文件 " +
                              core::gbkToUtf8(ownPath ? std::string(savePath) : fallback) + "：" +
                              reason);
    }
    choice.fallback = true;
    return choice;
}

} // namespace download
