#pragma once

// The names by which the desktop knows the program: the application name, the
// product's ("Lantrix"), and its desktop entry, the application id (the
// window's match in the application menu and task bar, and its icon), under
// X11 and Wayland; both come from platform/ProgramNames.h.
//
// No application display name is set: Qt would add it to the title of every
// window that does not already end with it ("Sprache — Lantrix"), and each
// window's title is exactly the text the window gives itself.
void NameApplication();
