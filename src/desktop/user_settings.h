#pragma once
// What the user chose (the save folder, the search engine), kept for the next start in one file
// in the user's configuration folder.
#include <QSettings>
#include <memory>

namespace desktop {

std::unique_ptr<QSettings> userSettings();

} // namespace desktop
