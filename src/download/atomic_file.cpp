#include "download/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace download {

namespace {

bool writeAllAndSync(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        ok = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

// The folder's entry of a renamed file reaches the disk with the folder itself.
void syncFolderOf(const std::string& path)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool writeFileAtomically(const std::string& nativePath, const std::string& text)
{
    const std::string temporary = nativePath + ".new";
    // A file that could not be written whole (a full disk) leaves the old one as it was.
    if (!writeAllAndSync(temporary, text) ||
        std::rename(temporary.c_str(), nativePath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    syncFolderOf(nativePath);
    return true;
}

} // namespace download
