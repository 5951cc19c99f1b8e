#include "app/widgets/PictureBox.h"

#include <QPainter>

PictureBox::PictureBox(Scaling scaling, QWidget* parent)
    : QWidget(parent)
    , scaling_(scaling)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(1, 1);
}

void PictureBox::SetPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

void PictureBox::SetScale(Scaling scaling)
{
    scaling_ = scaling;
    update();
}

QRect PictureBox::TargetRect() const
{
    if (picture_.isNull())
        return {};
    if (scaling_ == Scaling::Stretch)
        return rect();
    const QSize fitted = picture_.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint(0, 0), fitted);
}

void PictureBox::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scaling_ == Scaling::FitTopLeft);
    painter.drawImage(TargetRect(), picture_);
}
