#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QWidget;

// Tahoma at a height in pixels; the system's sans-serif font stands in where
// Tahoma is missing.
QFont Tahoma(int pixelSize);

// Sets the colour of a widget's text.
void SetTextColour(QWidget* widget, const QColor& colour);

// Sets the colour of a widget's background (its window and base roles).
void SetBackgroundColour(QWidget* widget, const QColor& colour);

// A label named `name` that shows its text as plain text.
QLabel* PlainLabel(QWidget* parent, const char* name);
