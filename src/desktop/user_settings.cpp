#include "desktop/user_settings.h"

namespace desktop {

std::unique_ptr<QSettings> userSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "corvale",
                                       "corvale");
}

} // namespace desktop
