#pragma once

#include <QString>

#include <functional>

class QWidget;

// Runs a window's event handler. An error it raises goes to `showError` (the
// program's default error handler), or, when that is empty, to an error
// message box over `parent` that shows its text as plain text.
void RunGuarded(const std::function<void()>& handler, const std::function<void(const QString&)>& showError,
                QWidget* parent);
