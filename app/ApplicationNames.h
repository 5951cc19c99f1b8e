#pragma once

// The names by which the desktop knows the program: the application name
// "Lantrix" and its desktop entry, com.dastrel.lantrix (the window's match in
// the application menu and task bar, and its icon), under X11 and Wayland.
//
// No application display name is set: Qt would add it to the title of every
// window that does not already end with it ("Sprache — Lantrix"), and each
// window's title is exactly the text the window gives itself.
void NameApplication();

inline constexpr char kApplicationName[] = "Lantrix";
inline constexpr char kDesktopFileName[] = "com.dastrel.lantrix";
