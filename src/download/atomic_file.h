#pragma once
// Files that a crash or a power loss leaves either as they were or as they are meant to be.
#include <string>

namespace download {

// Writes the text to path + ".new", forces it to disk, renames it over the path and forces the
// folder's entry to disk; false (the old file untouched) when any step fails.
bool writeFileAtomically(const std::string& nativePath, const std::string& text);

} // namespace download
