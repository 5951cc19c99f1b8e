#include "localization/widgets/FocusRing.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace {
constexpr int kGap = 1;   // between the control and the ring
constexpr int kWidth = 2; // of the ring's line
} // namespace

TFocusRing* TFocusRing::Attach(QWidget* window)
{
    return new TFocusRing(window);
}

TFocusRing::TFocusRing(QWidget* window)
    : QWidget(window)
{
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { FocusChanged(now); });
}

void TFocusRing::FocusChanged(QWidget* now)
{
    QWidget* window = parentWidget();
    Follow(now && now != window && window->isAncestorOf(now) ? now : nullptr);
}

void TFocusRing::Follow(QWidget* target)
{
    for (const QPointer<QWidget>& widget : std::as_const(fWatched))
        if (widget)
            widget->removeEventFilter(this);
    fWatched.clear();
    fTarget = target;
    if (!target) {
        hide();
        return;
    }
    for (QWidget* widget = target; widget && widget != parentWidget(); widget = widget->parentWidget()) {
        widget->installEventFilter(this);
        fWatched.append(widget);
    }
    Place();
}

void TFocusRing::Place()
{
    if (!fTarget || !fTarget->isVisible()) {
        hide();
        return;
    }
    const int margin = kGap + kWidth;
    const QRect around(fTarget->mapTo(parentWidget(), QPoint(0, 0)), fTarget->size());
    setGeometry(around.adjusted(-margin, -margin, margin, margin));
    show();
    raise();
    update();
}

bool TFocusRing::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide: Place(); break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void TFocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), kWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal half = kWidth / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
}
