#include "download/md5_check.h"

#include "core/gbk.h"
#include "core/hex_text.h"
#include "download/file_transfer.h"
#include "http/http_client.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace download {

std::string fileMd5(const std::string& nativePath, std::int64_t length)
{
    std::ifstream in(nativePath, std::ios::binary);
    if (!in)
        return {};
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1)
        return {};
    std::int64_t left = length;
    char buffer[1 << 16];
    while (length < 0 || left > 0) {
        const std::streamsize want =
            length < 0 ? std::streamsize(sizeof buffer)
                       : static_cast<std::streamsize>(std::min<std::int64_t>(left, sizeof buffer));
        in.read(buffer, want);
        const std::streamsize got = in.gcount();
        if (got <= 0)
            break;
        EVP_DigestUpdate(context.get(), buffer, static_cast<size_t>(got));
        left -= got;
    }
    if (length >= 0 && left > 0)
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(context.get(), digest, &size);
    return core::lowerHex(digest, size);
}

std::string md5MismatchLine()
{
    return core::utf8ToGbk("校验失败：MD5 不符");
}

std::string checkMd5(const std::string& nativePath, std::int64_t length,
                     const std::string& expected, const std::function<std::string()>& fetchAgain)
{
    if (expected.empty() || fileMd5(nativePath, length) == expected)
        return {};
    std::string error = fetchAgain();
    if (error.empty() && fileMd5(nativePath, length) == expected)
        return {};
    std::remove(nativePath.c_str());
    return error.empty() ? md5MismatchLine() : error;
}

namespace {
// Thrown from the sink when the answer reaches its limit: the read stops there.
struct LimitReached {};
} // namespace

std::string fetchWhole(http::HttpClient& client, const std::string& address,
                       const std::string& nativePath, std::int64_t limit)
{
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    if (!out)
        return core::utf8ToGbk("写入文件出错：") + std::generic_category().message(errno);
    client.rangeStart = 0;
    client.rangeEnd = 0;
    std::int64_t written = 0;
    try {
        client.Get(address, [&](std::string_view chunk) {
            const std::int64_t room = limit < 0 ? static_cast<std::int64_t>(chunk.size())
                                                : std::max<std::int64_t>(limit - written, 0);
            const auto take =
                static_cast<std::size_t>(std::min<std::int64_t>(room, std::int64_t(chunk.size())));
            if (!out.write(chunk.data(), static_cast<std::streamsize>(take)))
                throw std::runtime_error(core::utf8ToGbk("写入文件出错"));
            written += static_cast<std::int64_t>(take);
            if (take < chunk.size())
                throw LimitReached{};
        });
    } catch (const LimitReached&) {
        client.Disconnect(); // the rest of an answer longer than the file is never read
    } catch (const std::exception& e) {
        return e.what();
    }
    out.close();
    return out ? std::string() : core::utf8ToGbk("写入文件出错");
}

bool checkFileSum(FileTransfer& file, http::HttpClient& client)
{
    if (file.expectedMd5.empty() || file.failed() || !file.map.complete())
        return false;
    std::string reason = checkMd5(file.nativePath, file.map.size(), file.expectedMd5, [&] {
        return fetchWhole(client, file.address, file.nativePath, file.map.size());
    });
    if (reason.empty())
        return false;
    file.fail(std::move(reason));
    return true;
}

} // namespace download
