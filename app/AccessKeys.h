#pragma once

#include <QStringList>

// Access keys for the captions of one menu, as a menu assigns them itself:
// a caption that already holds one ("Send &Feedback...") keeps it; every
// other caption gets "&" before its first letter or digit that no caption
// before it in the menu uses yet (compared without case), and none when all
// of them are taken. Empty captions (separators) stay empty; "&&" is a
// literal ampersand, not an access key.
QStringList WithAccessKeys(const QStringList& captions);

// The caption without its access-key marker ("&&" becomes "&").
QString WithoutAccessKey(const QString& caption);
