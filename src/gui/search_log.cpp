// Defines the search subsystem's logging category.
#include "gui/search_log.h"

Q_LOGGING_CATEGORY(searchLog, "corvale.search", QtInfoMsg)
