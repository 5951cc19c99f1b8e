#include "localization/widgets/LinkLabel.h"

#include "localization/widgets/WindowLook.h"

#include <QDesktopServices>
#include <QMouseEvent>

TLinkLabel::TLinkLabel(const QString& text, QUrl address, int pixelSize, const QColor& colour, QWidget* parent)
    : QLabel(parent)
    , address_(std::move(address))
{
    setTextFormat(Qt::PlainText);
    setText(text);
    QFont font = Tahoma(pixelSize);
    font.setUnderline(true);
    setFont(font);
    SetTextColour(this, colour);
    setCursor(Qt::PointingHandCursor);
    setToolTip(address_.toString());
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(address_);
}
