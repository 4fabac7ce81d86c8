#pragma once
// The player's logging category, "corvale.player": off by default, turned on with
// QT_LOGGING_RULES="corvale.player.debug=true".
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)
