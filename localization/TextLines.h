#pragma once

#include <QString>
#include <QStringList>

// The lines of a text; a line ends at CR LF, LF or CR. A line break at the very
// end adds no empty last line.
QStringList SplitLines(const QString& text);

// `text` without blanks and control characters at either end.
QString TrimBlanksAndControls(const QString& text);

// Whether two texts are equal when the case of the ASCII letters A to Z is
// ignored (other letters must match exactly).
bool SameTextAscii(const QString& a, const QString& b);
