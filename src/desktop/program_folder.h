#pragma once
#include <QString>
#include <string>

namespace desktop {

// The folder that generated pages, the music folder and the pictures live in, as GBK text
// ending in the platform's separator. Run from its build folder (or any folder of its own that
// it can write), that is the program's own folder. An installed program (one with its data in
// ../share/corvale beside its folder), or one whose folder cannot be written, uses the program's
// per-user data folder instead, and the pictures it ships are copied there when missing.
std::string programFolder();

// The folder songs are saved in at start, as GBK text ending in the separator: the folder the
// user chose last time, while it exists; else "music" in the program folder when that is the
// program's own folder; else "Corvale" in the user's Music folder (an installed program).
std::string startSaveFolder(const std::string& programFolder);
// Keeps the folder the user chose for the next start.
void rememberSaveFolder(const std::string& saveFolder);

// The shipped data file at a path relative to the data folder (for example "pic/0103.jpg"):
// beside the program (the build folder), in ../share/corvale relative to the program, or in
// corvale/ under the system's data folders; empty when none has it.
QString shippedDataFile(const QString& relative);

} // namespace desktop
