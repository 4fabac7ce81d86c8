#pragma once
// The value of a size as the lists show it ("3.5M", "512K", "1.2G", "700 KB", "1024"), in bytes,
// so that a list sorts its sizes by what they mean rather than by their letters.
#include <optional>
#include <string_view>

namespace core {

// Bytes the text names, or nothing when it names no size (empty, "未知", a bare unit).
std::optional<double> sizeTextBytes(std::string_view text);

} // namespace core
