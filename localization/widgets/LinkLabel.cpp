#include "localization/widgets/LinkLabel.h"

#include "localization/widgets/WindowLook.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

TLinkLabel::TLinkLabel(const QString& text, QUrl address, int pixelSize, const QColor& colour, QWidget* parent)
    : QLabel(parent)
    , fAddress(std::move(address))
{
    setTextFormat(Qt::PlainText);
    setText(text);
    QFont font = Tahoma(pixelSize);
    font.setUnderline(true);
    setFont(font);
    SetTextColour(this, colour);
    setCursor(Qt::PointingHandCursor);
    setToolTip(fAddress.toString());
    setFocusPolicy(Qt::TabFocus);
}

void TLinkLabel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (event->modifiers() & ~Qt::KeypadModifier)
            break;
        QDesktopServices::openUrl(fAddress);
        event->accept();
        return;
    default: break;
    }
    QLabel::keyPressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(fAddress);
}
