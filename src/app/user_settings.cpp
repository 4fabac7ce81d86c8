#include "app/user_settings.h"

namespace app {

std::unique_ptr<QSettings> userSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "corvale",
                                       "corvale");
}

} // namespace app
