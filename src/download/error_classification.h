#pragma once
// How the application-wide handler sorts an exception: by the kind it carries (failure.h), never by
// the words of its message. A fault of the program is fatal; a failure of a download fails the
// row being handled; anything else is only logged.
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace download {

struct ErrorClass {
    bool fatal = false;
    bool transfer = false;
};
ErrorClass classifyError(const std::exception& e);

// The memo lines the handler writes (GBK): the message, then the caption of the resume row when
// that row exists, then for a transfer failure the row's name + "不能下载" when it exists.
struct ResumeRowTexts {
    bool exists = false;
    std::string caption;
    std::string name;
};
std::vector<std::string> errorMemoLines(const std::string& messageGbk, const ResumeRowTexts& row,
                                        const ErrorClass& kind);
// The transfer failure's line for a row: name + "不能下载".
std::string cannotDownloadLine(const std::string& name);
// The one memo line of a row skipped before its transfer: name + "不能下载：" + reason.
std::string skippedRowLine(const std::string& name, const std::string& reason);
// The memo lines of a started file that failed: name + "不能下载", then the reason.
std::vector<std::string> failedFileLines(const std::string& name, const std::string& reason);

} // namespace download
