#include "download/queue_file.h"

#include "download/atomic_file.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>

namespace download {

namespace {

constexpr const char* kMagic = "corvale-download-list 1";

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescaped(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

const char* statusName(RowStatus status)
{
    switch (status) {
    case RowStatus::Running:
        return "running";
    case RowStatus::Complete:
        return "complete";
    case RowStatus::Failed:
        return "failed";
    case RowStatus::Paused:
        return "paused";
    case RowStatus::Waiting:
        break;
    }
    return "waiting";
}

RowStatus statusFromName(const std::string& name)
{
    if (name == "complete")
        return RowStatus::Complete;
    if (name == "failed")
        return RowStatus::Failed;
    if (name == "paused")
        return RowStatus::Paused;
    return RowStatus::Waiting; // "running" too: it was cut off and resumes when started
}

} // namespace

std::string queueFileText(const std::vector<QueueRow>& rows)
{
    std::ostringstream out;
    out << kMagic << "\n";
    for (const QueueRow& row : rows) {
        out << "row\n"
            << "caption " << escaped(row.entry.caption) << "\n"
            << "icon " << row.entry.imageIndex << "\n";
        for (const std::string& sub : row.entry.subItems)
            out << "sub " << escaped(sub) << "\n";
        if (!row.entry.md5.empty())
            out << "md5 " << escaped(row.entry.md5) << "\n";
        if (row.entry.sizeBytes >= 0)
            out << "bytes " << row.entry.sizeBytes << "\n";
        out << "status " << statusName(row.status) << "\n";
        if (!row.failure.empty())
            out << "failure " << escaped(row.failure) << "\n";
        out << "end\n";
    }
    return out.str();
}

std::optional<std::vector<QueueRow>> readQueueFileText(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line))
        return std::vector<QueueRow>{}; // an empty file holds no rows
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line != kMagic)
        return std::nullopt;
    // Whatever is not understood is passed over: blank lines, unknown keys, lines outside a
    // row, a row cut short by a crash. Every complete row is kept.
    std::vector<QueueRow> rows;
    std::optional<QueueRow> row;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value =
            space == std::string::npos ? "" : unescaped(line.substr(space + 1));
        if (key == "row") {
            row.emplace(); // a row that never ended is dropped
        } else if (!row) {
            continue;
        } else if (key == "end") {
            rows.push_back(std::move(*row));
            row.reset();
        } else if (key == "caption") {
            row->entry.caption = value;
        } else if (key == "icon") {
            row->entry.imageIndex = std::atoi(value.c_str());
        } else if (key == "sub") {
            row->entry.subItems.push_back(value);
        } else if (key == "md5") {
            row->entry.md5 = value;
        } else if (key == "bytes") {
            row->entry.sizeBytes = std::strtoll(value.c_str(), nullptr, 10);
        } else if (key == "status") {
            row->status = statusFromName(value);
        } else if (key == "failure") {
            row->failure = value;
        }
    }
    return rows;
}

bool QueueFile::save(const std::vector<QueueRow>& rows, std::uint64_t version)
{
    std::lock_guard lock(mutex_);
    if (version < written_)
        return true;
    written_ = version;
    return writeFileAtomically(path_, queueFileText(rows));
}

QueueFile::Loaded QueueFile::load() const
{
    Loaded loaded;
    std::ifstream in(path_, std::ios::binary);
    if (!in)
        return loaded;
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    in.close();
    if (std::optional<std::vector<QueueRow>> rows = readQueueFileText(text)) {
        loaded.rows = std::move(*rows);
        return loaded;
    }
    // Not a list this program can read: kept aside, so the next write does not overwrite it.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string aside = path_ + ".bad-" + stamp;
    if (std::rename(path_.c_str(), aside.c_str()) == 0)
        loaded.setAsideAs = aside;
    return loaded;
}

} // namespace download
