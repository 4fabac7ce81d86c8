#include "download/target_file.h"

#include "core/gbk.h"
#include "core/line_file.h"
#include "core/text_ops.h"
#include "download/download_list.h"
#include "download/failure.h"

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
                std::string& failure, int& failureErrno)
{
    if (context.takenByRun && context.takenByRun(gbkPath))
        return Claim::Taken;
    const std::string native = core::gbkPath(gbkPath).string();
    std::error_code ec;
    if (std::filesystem::exists(native, ec) && !resumeRecordExists(native))
        return Claim::Taken; // somebody's complete file
    const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        failureErrno = errno;
        failure = systemText(failureErrno);
        return Claim::Failed;
    }
    auto lock = std::make_shared<TargetLock>(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return Claim::Taken; // another writer fills it
    // Under the lock: what the file holds now is settled.
    struct stat st {};
    const bool record = resumeRecordExists(native);
    const bool sized = ::fstat(fd, &st) == 0;
    if (!record && sized && st.st_size > 0)
        return Claim::Taken; // finished by its writer just now
    std::optional<ResumeRecord> resume = record ? readResumeRecord(native) : std::nullopt;
    if (resume &&
        sameFile(*resume, context.address, context.size, context.etag, context.lastModified)) {
        choice.resume = std::move(resume);
        choice.lock = std::move(lock);
        return Claim::Resume;
    }
    // A record of something else, or a damaged one: start over. A file that is empty already
    // (one just made) is not emptied again: on ext4 that makes the first close of any of its
    // descriptors write out every page written meanwhile, which stalls the worker closing first.
    if ((!sized || st.st_size > 0) && ::ftruncate(fd, 0) != 0) {
        failureErrno = errno;
        failure = systemText(failureErrno);
        return Claim::Failed;
    }
    removeResumeRecord(native);
    choice.resume.reset();
    choice.lock = std::move(lock);
    return Claim::Fresh;
}

// The first variant of the path that may be written; false when one cannot be created.
bool claimFreeVariant(const std::string& gbkPath, const TargetContext& context,
                      TargetChoice& choice, std::string& failure, int& failureErrno)
{
    for (int n = 0; n < 10000; ++n) {
        const std::string candidate = n == 0 ? gbkPath : numberedPath(gbkPath, n);
        switch (claimPath(candidate, context, choice, failure, failureErrno)) {
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
    failureErrno = EEXIST;
    failure = systemText(EEXIST);
    return false;
}

} // namespace

std::string safeTargetPath(std::string_view savePath, std::string_view name, std::string_view type)
{
    const std::string path(savePath);
    const std::string suffix = std::string(name) + "." + std::string(type);
    std::string folder;
    std::string leaf;
    if (path.size() >= suffix.size() &&
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
        folder = path.substr(0, path.size() - suffix.size());
        leaf = safeFileName(std::string(name), std::string(type));
    } else {
        const std::size_t slash = path.find_last_of('/');
        folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        leaf = safeFileName(slash == std::string::npos ? path : path.substr(slash + 1), "");
    }
    return folder + leaf;
}

namespace {

FailureKind kindOfErrno(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return FailureKind::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return FailureKind::FolderNotWritable;
    case ENOENT:
    case ENOTDIR:
        return FailureKind::FolderMissing;
    default:
        return FailureKind::NameUnusable;
    }
}

// The folder part of a path, without its trailing separator ("/" for the root).
std::string folderOf(const std::string& gbkPath)
{
    const std::size_t slash = gbkPath.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : gbkPath.substr(0, slash);
}

// Raises the folder's failure when files cannot be made in it. A missing folder is never made:
// it may be a drive that is not mounted.
void checkFolder(const std::string& gbkFolder)
{
    const std::string native = core::gbkPath(gbkFolder).string();
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw TransferFailure(FailureKind::FolderMissing, gbkFolder);
    if (::access(native.c_str(), W_OK | X_OK) != 0)
        throw TransferFailure(FailureKind::FolderNotWritable, gbkFolder);
}

} // namespace

TargetChoice createTargetFile(std::string_view savePath, std::string_view name,
                              std::string_view type, std::string_view saveFolder,
                              std::string_view searchText, int row, std::string_view address,
                              const TargetContext& context)
{
    TargetChoice choice;
    const std::string target = safeTargetPath(savePath, name, type);
    checkFolder(folderOf(target));
    std::string failure;
    int failureErrno = 0;
    if (claimFreeVariant(target, context, choice, failure, failureErrno))
        return choice;
    const FailureKind kind = kindOfErrno(failureErrno);
    if (kind != FailureKind::NameUnusable)
        throw TransferFailure(kind, target + core::utf8ToGbk("：" + failure));
    // The file system refuses the name itself: the generated name in the save folder.
    std::string fallbackFailure;
    int fallbackErrno = 0;
    const std::string trimmedSearch = core::trim(searchText);
    const std::string t = fallbackTypeText(address);
    const std::string fallback = fallbackName(saveFolder, searchText, row, address);
    const bool safe =
        isPlainNamePart(trimmedSearch) && isPlainNamePart(t) && !isDotName(lastComponent(fallback));
    if (!safe || !claimFreeVariant(fallback, context, choice, fallbackFailure, fallbackErrno))
        throw TransferFailure(FailureKind::NameUnusable, target + core::utf8ToGbk("：" + failure));
    choice.fallback = true;
    return choice;
}

} // namespace download
