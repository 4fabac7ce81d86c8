#pragma once
// The small record kept beside a file that did not arrive whole ("<file>.part"): the file's
// length, the address it comes from and the byte ranges still missing. A later fetch of the same
// target from the same address, announced with the same length, fetches only those ranges.
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
};

// The record's path beside a file (file-system paths).
std::string resumeRecordPath(const std::string& nativeFile);
// Writes the record (replacing any old one); false when it cannot be written.
bool writeResumeRecord(const std::string& nativeFile, const ResumeRecord& record);
// The record beside the file; none when there is none or it is damaged (unreadable, cut
// short, ranges out of order or outside the file).
std::optional<ResumeRecord> readResumeRecord(const std::string& nativeFile);
bool resumeRecordExists(const std::string& nativeFile);
void removeResumeRecord(const std::string& nativeFile);

} // namespace download
