#include "gui/exception_handler.h"

#include <utility>

namespace ui {
namespace {
ExceptionHandler& installedHandler()
{
    static ExceptionHandler handler;
    return handler;
}
} // namespace

void setExceptionHandler(ExceptionHandler handler)
{
    installedHandler() = std::move(handler);
}

bool handleException(QObject* sender, const std::exception& e)
{
    if (!installedHandler())
        return false;
    try {
        installedHandler()(sender, e);
    } catch (...) {
        // The handler itself must never end the program.
    }
    return true;
}

} // namespace ui
