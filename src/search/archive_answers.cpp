#include "search/archive_answers.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace search::archive {
namespace {

using nlohmann::json;

json parsed(std::string_view body)
{
    return json::parse(body.begin(), body.end(), nullptr, /*allow_exceptions=*/false);
}

const json* member(const json& object, const char* key)
{
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string scalarText(const json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_number_integer())
        return std::to_string(value.get<std::int64_t>());
    if (value.is_number_unsigned())
        return std::to_string(value.get<std::uint64_t>());
    return {};
}

// A text field: a string, a number, or a list of those joined with ", ".
std::string text(const json* value)
{
    if (!value)
        return {};
    if (!value->is_array())
        return scalarText(*value);
    std::string joined;
    for (const json& part : *value) {
        const std::string piece = scalarText(part);
        if (piece.empty())
            continue;
        if (!joined.empty())
            joined += ", ";
        joined += piece;
    }
    return joined;
}

// A count: a non-negative integer as a number or as decimal digits in a string.
std::optional<std::int64_t> count(const json* value)
{
    if (!value)
        return std::nullopt;
    if (value->is_number_unsigned()) {
        const std::uint64_t n = value->get<std::uint64_t>();
        if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return static_cast<std::int64_t>(n);
    }
    if (value->is_number_integer()) {
        const std::int64_t n = value->get<std::int64_t>();
        return n >= 0 ? std::optional(n) : std::nullopt;
    }
    if (value->is_number_float()) {
        const double d = value->get<double>();
        if (!std::isfinite(d) || d < 0 || d >= 9.0e18 || d != std::floor(d))
            return std::nullopt;
        return static_cast<std::int64_t>(d);
    }
    if (value->is_string()) {
        const std::string& s = value->get_ref<const std::string&>();
        std::int64_t n = 0;
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), n);
        if (s.empty() || error != std::errc() || end != s.data() + s.size() || n < 0)
            return std::nullopt;
        return n;
    }
    return std::nullopt;
}

std::string md5Text(const json* value)
{
    std::string digits = value && value->is_string() ? value->get<std::string>() : std::string();
    if (digits.size() != 32)
        return {};
    for (char& c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return digits;
}

} // namespace

SearchAnswer parseSearchAnswer(std::string_view body)
{
    SearchAnswer answer;
    const json root = parsed(body);
    const json* response = member(root, "response");
    const json* docs = response ? member(*response, "docs") : nullptr;
    if (!docs || !docs->is_array())
        return answer;
    answer.readable = true;
    answer.start = count(member(*response, "start")).value_or(0);
    for (const json& doc : *docs) {
        FoundItem item;
        item.identifier = text(member(doc, "identifier"));
        if (item.identifier.empty() || member(doc, "identifier")->is_array())
            continue;
        item.title = text(member(doc, "title"));
        item.creator = text(member(doc, "creator"));
        answer.items.push_back(std::move(item));
    }
    // Without a usable total the service is taken to have found what this page holds.
    const std::int64_t shown = answer.start + static_cast<std::int64_t>(answer.items.size());
    answer.numFound = count(member(*response, "numFound")).value_or(shown);
    return answer;
}

ItemAnswer parseItemAnswer(std::string_view body)
{
    ItemAnswer answer;
    const json root = parsed(body);
    if (!root.is_object())
        return answer;
    const json* files = member(root, "files");
    if (files && !files->is_array())
        return answer;
    answer.readable = true;
    answer.unknown = root.empty();
    const json* metadata = member(root, "metadata");
    answer.title = text(metadata ? member(*metadata, "title") : nullptr);
    answer.creator = text(metadata ? member(*metadata, "creator") : nullptr);
    if (!files)
        return answer;
    for (const json& entry : *files) {
        const json* name = member(entry, "name");
        if (!name || !name->is_string() || name->get_ref<const std::string&>().empty())
            continue;
        ItemFile file;
        file.name = name->get<std::string>();
        file.format = text(member(entry, "format"));
        file.title = text(member(entry, "title"));
        file.creator = text(member(entry, "creator"));
        file.md5 = md5Text(member(entry, "md5"));
        file.size = count(member(entry, "size")).value_or(-1);
        file.source = text(member(entry, "source"));
        file.original = text(member(entry, "original"));
        file.bitrate = count(member(entry, "bitrate")).value_or(-1);
        file.track = text(member(entry, "track"));
        answer.files.push_back(std::move(file));
    }
    return answer;
}

} // namespace search::archive
