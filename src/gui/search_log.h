#pragma once
// The search subsystem's logging category, "corvale.search": debug lines for requests sent,
// pages parsed, paging, stops and chart or album pages. Off by default; turned on with
// QT_LOGGING_RULES="corvale.search.debug=true". Used by the search panel and its engines.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(searchLog)
