#pragma once
// The check of a downloaded file against the MD5 its service published: a file whose sum does
// not match is fetched once more from its start; when that copy does not match either, the file
// is removed, so no bad bytes stay under the song's name.
#include <cstdint>
#include <functional>
#include <string>

namespace http {
class HttpClient;
}

namespace download {

class FileTransfer;

// The MD5 of the file's first `length` bytes (all of it when length is negative), as 32
// lower-case hex digits; empty when the file cannot be read or is shorter.
std::string fileMd5(const std::string& nativePath, std::int64_t length = -1);

// The failure line of a file whose second copy did not match either (GBK).
std::string md5MismatchLine();

// Checks the file (its first `length` bytes) against `expected`; nothing to check when that is
// empty. On a mismatch `fetchAgain` writes the file anew from its start and returns an error
// line, empty when it succeeded. Returns empty when the file is good, else why not (GBK): the
// error of the second fetch or md5MismatchLine() after a second mismatch; the file is then
// removed.
std::string checkMd5(const std::string& nativePath, std::int64_t length,
                     const std::string& expected, const std::function<std::string()>& fetchAgain);

// Fetches address whole with client (no range) into the file, replacing what it held, and stops
// after `limit` bytes (the file's listed size; none when negative): a server that sends more
// never fills the disk. An error line (GBK) or empty.
std::string fetchWhole(http::HttpClient& client, const std::string& address,
                       const std::string& nativePath, std::int64_t limit);

// The check of a started file when its last worker has ended, on that worker's thread with its
// client: a file with every byte on disk and a published MD5 is checked, and failed with the
// reason when it does not pass. True when it failed here.
bool checkFileSum(FileTransfer& file, http::HttpClient& client);

} // namespace download
