#pragma once

#include <QScreen>
#include <QWidget>

#include <memory>
#include <utility>

// Centres a window on the screen of its owner (of its own screen when it has
// no owner), not over the owner.
inline void CentreOnScreen(QWidget* window, QWidget* owner)
{
    if (QScreen* screen = owner ? owner->screen() : window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

// Creates a new window, makes it the current one of its kind (`current`)
// while it is shown modally, centred on the screen, and destroys it when it
// closes. The window's destructor clears `current`.
template <class Window, class Arguments>
void ExecuteAsCurrent(Window*& current, Arguments&& arguments, QWidget* owner)
{
    auto window = std::make_unique<Window>(std::forward<Arguments>(arguments), owner);
    current = window.get();
    CentreOnScreen(window.get(), owner);
    window->exec();
}
