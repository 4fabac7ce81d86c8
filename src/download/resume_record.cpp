#include "download/resume_record.h"

#include "download/atomic_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace download {

namespace {
constexpr const char* Magic = "corvale-part 1";
} // namespace

std::string resumeRecordPath(const std::string& nativeFile)
{
    return nativeFile + ".part";
}

std::string ifRangeValue(const ResumeRecord& record)
{
    // A weak ETag never matches in If-Range: a server would answer every range with the whole
    // file.
    const bool strong = !record.etag.empty() && record.etag.rfind("W/", 0) != 0;
    return strong ? record.etag : record.lastModified;
}

bool sameFile(const ResumeRecord& record, const std::string& address, std::int64_t size,
              const std::string& etag, const std::string& lastModified)
{
    return size > 0 && record.address == address && record.size == size && record.etag == etag &&
           record.lastModified == lastModified;
}

bool writeResumeRecord(const std::string& nativeFile, const ResumeRecord& record)
{
    std::ostringstream out;
    out << Magic << "\n"
        << "size " << record.size << "\n"
        << "address " << record.address << "\n";
    if (!record.etag.empty())
        out << "etag " << record.etag << "\n";
    if (!record.lastModified.empty())
        out << "modified " << record.lastModified << "\n";
    for (const ByteSpan& m : record.missing)
        out << "missing " << m.start << " " << m.stop << "\n";
    out << "end\n";
    return writeFileAtomically(resumeRecordPath(nativeFile), out.str());
}

std::optional<ResumeRecord> readResumeRecord(const std::string& nativeFile)
{
    std::ifstream in(resumeRecordPath(nativeFile), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string line;
    if (!std::getline(in, line) || line != Magic)
        return std::nullopt;
    ResumeRecord record;
    bool haveSize = false;
    bool ended = false;
    while (!ended && std::getline(in, line)) {
        if (line == "end") {
            ended = true;
        } else if (line.rfind("size ", 0) == 0) {
            std::istringstream v(line.substr(5));
            haveSize = static_cast<bool>(v >> record.size) && v.eof() && record.size > 0;
            if (!haveSize)
                return std::nullopt;
        } else if (line.rfind("address ", 0) == 0) {
            record.address = line.substr(8);
        } else if (line.rfind("etag ", 0) == 0) {
            record.etag = line.substr(5);
        } else if (line.rfind("modified ", 0) == 0) {
            record.lastModified = line.substr(9);
        } else if (line.rfind("missing ", 0) == 0) {
            std::istringstream v(line.substr(8));
            ByteSpan m;
            if (!(v >> m.start >> m.stop) || !v.eof())
                return std::nullopt;
            const std::int64_t floor = record.missing.empty() ? 0 : record.missing.back().stop;
            if (!haveSize || m.start < floor || m.stop <= m.start || m.stop > record.size)
                return std::nullopt;
            record.missing.push_back(m);
        } else {
            return std::nullopt;
        }
    }
    if (!ended || !haveSize || record.address.empty())
        return std::nullopt;
    return record;
}

bool resumeRecordExists(const std::string& nativeFile)
{
    std::error_code ec;
    return std::filesystem::exists(resumeRecordPath(nativeFile), ec);
}

void removeResumeRecord(const std::string& nativeFile)
{
    std::error_code ec;
    std::filesystem::remove(resumeRecordPath(nativeFile), ec);
}

} // namespace download
