#pragma once

#include <QPointer>
#include <QWidget>

// A ring around the control of a window that has the keyboard focus, drawn in
// the highlight colour just outside the control, so that the focus shows on
// every control whatever the style draws (a default button looks the same
// with and without the focus; a text box shows none). It follows the focus
// and the control's moves, and takes no mouse input.
class TFocusRing : public QWidget {
    Q_OBJECT
public:
    // Shows the focus of `window`'s controls; owned by `window`.
    static TFocusRing* Attach(QWidget* window);

    // The control the ring is around; null while it is hidden.
    QWidget* Target() const { return fTarget; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TFocusRing(QWidget* window);
    void FocusChanged(QWidget* now);
    void Follow(QWidget* target);
    void Place();

    QPointer<QWidget> fTarget;
    QList<QPointer<QWidget>> fWatched; // the target and its parents below the window
};
