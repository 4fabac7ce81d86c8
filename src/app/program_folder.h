#pragma once
#include <string>

namespace app {

// The folder that generated pages, the music folder and the pictures live in, as GBK text
// ending in the platform's separator: the program's own folder, or, where that folder cannot
// be written (an installed program), the program's per-user data folder. The default card
// picture is copied there when it is missing.
std::string programFolder();

} // namespace app
