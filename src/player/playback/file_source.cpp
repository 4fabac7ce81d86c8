// Local files as byte sources.
#include "player/list_formats.h"
#include "player/playback/byte_source.h"
#include "player/playback/http_source.h"
#include "player/ram_list.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace playback {
namespace {

class FileSource : public ByteSource {
public:
    explicit FileSource(const std::string& path) : file_(std::fopen(path.c_str(), "rb"))
    {
        if (!file_)
            throw SourceError("找不到文件：" + path,
                              "cannot open " + path + ": " + std::strerror(errno));
        if (std::fseek(file_, 0, SEEK_END) == 0)
            size_ = std::ftell(file_);
        std::fseek(file_, 0, SEEK_SET);
    }
    ~FileSource() override { std::fclose(file_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    int read(std::uint8_t* buffer, int size) override
    {
        const size_t n = std::fread(buffer, 1, static_cast<size_t>(size), file_);
        if (n == 0 && std::ferror(file_))
            throw SourceError("无法读取文件", "read error");
        return static_cast<int>(n);
    }
    bool seek(std::int64_t position) override
    {
        return std::fseek(file_, static_cast<long>(position), SEEK_SET) == 0;
    }
    std::int64_t size() const override { return size_; }

private:
    std::FILE* file_;
    std::int64_t size_ = -1;
};

} // namespace

std::string localPathOf(const std::string& address)
{
    std::string path = address;
    if (path.size() >= 7 &&
        (path.compare(0, 7, "file://") == 0 || path.compare(0, 7, "FILE://") == 0))
        path.erase(0, 7);
    return player::percentDecoded(path);
}

std::unique_ptr<ByteSource> openByteSource(const std::string& address, const SourceOptions& options)
{
    switch (player::addressKind(address)) {
    case player::AddressKind::Http:
        return std::make_unique<HttpSource>(address, options);
    case player::AddressKind::LocalFile:
        return std::make_unique<FileSource>(localPathOf(address));
    default:
        throw SourceError("不支持的地址", "unsupported address");
    }
}

} // namespace playback
