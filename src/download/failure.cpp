#include "download/failure.h"

#include "core/gbk.h"
#include "http/http_client.h"

#include <new>

namespace download {

std::string kindLine(FailureKind kind)
{
    const char* line = "";
    switch (kind) {
    case FailureKind::NameUnusable:
        line = "文件名不能使用：";
        break;
    case FailureKind::FolderMissing:
        line = "保存目录不存在：";
        break;
    case FailureKind::FolderNotWritable:
        line = "保存目录不能写入：";
        break;
    case FailureKind::DiskFull:
        line = "磁盘已满：";
        break;
    case FailureKind::Network:
        line = "网络错误：";
        break;
    case FailureKind::Certificate:
        line = "证书错误：";
        break;
    case FailureKind::Proxy:
        line = "代理服务器错误：";
        break;
    case FailureKind::ServerAnswer:
        line = "服务器拒绝：";
        break;
    case FailureKind::ServerFileChanged:
        line = "服务器上的文件已改变：";
        break;
    case FailureKind::Checksum:
        line = "校验失败：";
        break;
    case FailureKind::TooSlow:
        line = "下载太慢：";
        break;
    case FailureKind::TooLong:
        line = "服务器发送的数据过长：";
        break;
    case FailureKind::BadAddress:
        line = "下载地址无效：";
        break;
    case FailureKind::Stopped:
        line = "下载已停止";
        break;
    case FailureKind::ProgramFault:
        line = "程序错误：";
        break;
    }
    return core::utf8ToGbk(line);
}

std::string failureLine(FailureKind kind, const std::string& detailGbk)
{
    std::string line = kindLine(kind);
    for (char c : detailGbk)
        line += c == '\r' || c == '\n' ? ' ' : c;
    return line;
}

HandlerAction handlerActionFor(FailureKind kind)
{
    switch (kind) {
    case FailureKind::ProgramFault:
        return HandlerAction::Fatal;
    case FailureKind::Stopped:
        return HandlerAction::LogOnly;
    case FailureKind::NameUnusable:
    case FailureKind::FolderMissing:
    case FailureKind::FolderNotWritable:
    case FailureKind::DiskFull:
    case FailureKind::Network:
    case FailureKind::Certificate:
    case FailureKind::Proxy:
    case FailureKind::ServerAnswer:
    case FailureKind::ServerFileChanged:
    case FailureKind::Checksum:
    case FailureKind::TooSlow:
    case FailureKind::TooLong:
    case FailureKind::BadAddress:
        break;
    }
    return HandlerAction::FailRow;
}

ExceptionKind kindOf(const std::exception& e)
{
    if (const auto* failure = dynamic_cast<const TransferFailure*>(&e))
        return {true, failure->kind()};
    if (const auto* http = dynamic_cast<const http::HttpError*>(&e))
        return {true, http->kind()};
    // A bad conversion or index is a refused input, not a broken program.
    if (dynamic_cast<const std::invalid_argument*>(&e) ||
        dynamic_cast<const std::out_of_range*>(&e))
        return {};
    if (dynamic_cast<const std::bad_alloc*>(&e) || dynamic_cast<const std::logic_error*>(&e))
        return {true, FailureKind::ProgramFault};
    return {};
}

HandlerAction handlerActionFor(const std::exception& e)
{
    const ExceptionKind kind = kindOf(e);
    return kind.known ? handlerActionFor(kind.kind) : HandlerAction::LogOnly;
}

} // namespace download
