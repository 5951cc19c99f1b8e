#pragma once

#include <QString>

// Takes a shared lock on a file named `name` in $XDG_RUNTIME_DIR (else the
// temporary folder) and holds it until the process ends. Other instances take
// the same shared lock, so it marks running instances without keeping a second
// one from starting. Answers false when the lock file cannot be opened.
bool HoldInstanceLock(const QString& name);
