#pragma once
// Where each of many texts first occurs in one long text, found in a single pass over it: a
// result page with tens of thousands of links costs time in proportion to the page, not to the
// page times the number of links.
#include <cstddef>
#include <string_view>
#include <vector>

namespace core {

// For each needle, the 0-based byte offset of its first occurrence in text; std::string_view::npos
// when it does not occur or is empty. Equal needles get equal answers.
std::vector<std::size_t> firstOccurrences(std::string_view text,
                                          const std::vector<std::string_view>& needles);

} // namespace core
