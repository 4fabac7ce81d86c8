#pragma once
// Where the program's 8-bit text (GB18030) meets Qt's UTF-16 strings.
// For the Qt layers only: the core library itself links no Qt.
#include "core/gbk.h"

#include <QByteArray>
#include <QString>
#include <string>

namespace core {

inline QString fromGbk(const std::string& gbk)
{
    std::u16string wide = core::gbkToUtf16(gbk);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

inline std::string toGbk(const QString& text)
{
    return core::utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                static_cast<size_t>(text.size())));
}

} // namespace core
