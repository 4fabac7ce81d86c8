// Defines the search subsystem's logging category for the window's search handlers (compiled
// with them into the main window, which links Qt).
#include "search/search_log.h"

Q_LOGGING_CATEGORY(searchLog, "corvale.search", QtInfoMsg)
