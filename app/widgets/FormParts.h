// The main window's building blocks: its icons, colours, the panels and layouts
// of its tabs, the rows of actions under its result panes, access keys for its
// menus, and the gate that holds a button's input back.
#pragma once

#include "localization/widgets/WindowLook.h"

#include <QIcon>
#include <QList>
#include <QObject>

class QAction;
class QColor;
class QDropEvent;
class QPushButton;
class QStatusBar;
class QVBoxLayout;
class QWidget;
class TActionRow;

// How long a note shows in the status bar (that a text is on the clipboard, say).
constexpr int kStatusNoteMs = 5000;

// The program's icon: our own picture at every size a desktop asks for.
QIcon ApplicationIcon();

// The icon theme's picture first, our own as fallback.
QIcon Icon(const char* themeName, const char* ownName);

void SetBackground(QWidget* widget, const QColor& colour);

// A panel at the top of a tab: a field that fills it with 3-pixel margins and
// a 100 x 29 button on the right (margins: left 0, top 2, bottom 2, right 3).
QWidget* MakeTopPanel(QWidget* field, QPushButton* button);

// A tab's layout: its parts from the top down, without margins or spacing.
QVBoxLayout* TabLayout(QWidget* tab);

// A row of actions, given the object name `name`, added at the bottom of the
// tab's layout; its notes show in the status bar for kStatusNoteMs.
TActionRow* AddActionRow(QWidget* tab, const char* name, QStatusBar* statusBar);

// Gives every entry of a menu, and of its submenus, an access key.
void AssignAccessKeys(const QList<QAction*>& actions);

// Accepts a drag or drop that offers a picture, as a copy: nothing is moved
// or linked, the picture is only read. Refuses any other.
bool AcceptPictureOffer(QDropEvent* event);

// Drops the mouse and key input of the widget it filters while it is closed.
class TInputGate : public QObject {
public:
    using QObject::QObject;
    bool fClosed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
