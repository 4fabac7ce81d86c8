#include "core/size_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace core {

std::optional<double> sizeTextBytes(std::string_view text)
{
    const auto space = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    size_t end = 0;
    while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) ||
                                 text[end] == '.' || text[end] == ','))
        ++end;
    std::string digits;
    for (char c : text.substr(0, end))
        if (c != ',') // a thousands separator
            digits += c;
    double value = 0;
    const auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || rest != digits.data() + digits.size())
        return std::nullopt;
    std::string_view unit = text.substr(end);
    while (!unit.empty() && space(unit.front()))
        unit.remove_prefix(1);
    static constexpr std::string_view kUnits = "KMGTPE";
    if (unit.empty() || unit.front() == 'B' || unit.front() == 'b')
        return value;
    const size_t power =
        kUnits.find(static_cast<char>(std::toupper(static_cast<unsigned char>(unit.front()))));
    if (power == std::string_view::npos)
        return std::nullopt;
    return value * std::pow(1024.0, static_cast<double>(power + 1));
}

} // namespace core
