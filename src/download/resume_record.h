#pragma once
// The small record kept beside a file that did not arrive whole ("<file>.part"): the file's
// length, the address it comes from, the validators the server gave it (ETag, Last-Modified)
// and the byte ranges still missing. A later fetch of the same target from the same address,
// announced with the same length and the same validators, fetches only those ranges.
#include "download/segment_map.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace download {

struct ResumeRecord {
    std::int64_t size = 0;
    std::string address;
    std::vector<ByteSpan> missing;
    std::string etag{};         // empty when the server gave none
    std::string lastModified{}; // empty when the server gave none
};

// The If-Range value that asks for a range of this very file: a strong ETag, else the
// Last-Modified date; empty when the server gave neither.
std::string ifRangeValue(const ResumeRecord& record);
// True when a record of this file still describes what the server now announces.
bool sameFile(const ResumeRecord& record, const std::string& address, std::int64_t size,
              const std::string& etag, const std::string& lastModified);

// The record's path beside a file (file-system paths).
std::string resumeRecordPath(const std::string& nativeFile);
// Writes the record to a temporary file, forces it to disk and renames it over any old one, so
// a crash leaves either the old record or the new one; false when it cannot be written.
bool writeResumeRecord(const std::string& nativeFile, const ResumeRecord& record);
// The record beside the file; none when there is none or it is damaged (unreadable, cut
// short, ranges out of order or outside the file).
std::optional<ResumeRecord> readResumeRecord(const std::string& nativeFile);
bool resumeRecordExists(const std::string& nativeFile);
void removeResumeRecord(const std::string& nativeFile);

} // namespace download
