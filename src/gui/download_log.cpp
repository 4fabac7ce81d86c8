// Defines the download subsystem's logging category for the window's transfer handlers
// (compiled with them into the main window, which links Qt).
#include "gui/download_log.h"

Q_LOGGING_CATEGORY(downloadLog, "corvale.download", QtInfoMsg)
