#include "download/error_classification.h"

#include "core/gbk.h"
#include "download/failure.h"

namespace download {

ErrorClass classifyError(const std::exception& e)
{
    const HandlerAction action = handlerActionFor(e);
    ErrorClass kind;
    kind.fatal = action == HandlerAction::Fatal;
    kind.transfer = action == HandlerAction::FailRow;
    return kind;
}

std::string cannotDownloadLine(const std::string& name)
{
    static const std::string tail = core::utf8ToGbk("不能下载");
    return name + tail;
}

std::string skippedRowLine(const std::string& name, const std::string& reason)
{
    static const std::string colon = core::utf8ToGbk("：");
    return cannotDownloadLine(name) + colon + reason;
}

std::vector<std::string> failedFileLines(const std::string& name, const std::string& reason)
{
    return {cannotDownloadLine(name), reason};
}

std::vector<std::string> errorMemoLines(const std::string& messageGbk, const ResumeRowTexts& row,
                                        const ErrorClass& kind)
{
    std::vector<std::string> lines{messageGbk};
    if (row.exists)
        lines.push_back(row.caption);
    if (kind.transfer && row.exists)
        lines.push_back(cannotDownloadLine(row.name));
    return lines;
}

} // namespace download
