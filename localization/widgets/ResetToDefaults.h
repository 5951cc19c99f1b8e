#pragma once

#include <QString>

#include <functional>

class QWidget;

// How Reset to Defaults restarts the program; empty members are the real
// actions. Tests put stand-ins here.
struct TResetActions {
    std::function<void()> startNewInstance; // StartNewInstance(QCoreApplication::applicationFilePath())
    std::function<void()> terminate;        // QCoreApplication::quit(): the normal shutdown
};

// Settings > "Reset to Defaults". Asks the translated restart question
// (ConfirmRestart, owned by `owner`); on Yes deletes dataFolder +
// "settings.ini" (a failure is ignored), lets pending events run, starts the
// program anew and ends this instance the normal way, so the settings store is
// never written back and the new instance starts with defaults. On any other
// answer nothing changes.
void ResetToDefaults(const QString& dataFolder, QWidget* owner, const TResetActions& actions = {});
