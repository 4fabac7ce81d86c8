#pragma once
// Where exceptions that escape an event handler go instead of ending the program: the window
// installs its handler, the application object hands every escaped exception to it.
#include <QObject>
#include <exception>
#include <functional>

namespace ui {

using ExceptionHandler = std::function<void(QObject* sender, const std::exception& e)>;

void setExceptionHandler(ExceptionHandler handler);
// Hands e to the installed handler; true when one was installed.
bool handleException(QObject* sender, const std::exception& e);

} // namespace ui
