#pragma once
// The download subsystem's logging category, "corvale.download": debug lines for files started,
// ended (complete or failed with the reason), rows skipped and the end of all transfers. Off by
// default; turned on with QT_LOGGING_RULES="corvale.download.debug=true". Used by the window's
// transfer handlers.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(downloadLog)
