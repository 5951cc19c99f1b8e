#include "app/widgets/PictureBox.h"

#include <QPainter>

PictureBox::PictureBox(Scaling scaling, QWidget* parent)
    : QWidget(parent)
    , fScaling(scaling)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(1, 1);
}

void PictureBox::SetPicture(const QImage& picture)
{
    fPicture = picture;
    update();
}

void PictureBox::SetScale(Scaling scaling)
{
    fScaling = scaling;
    update();
}

QRect PictureBox::TargetRect() const
{
    if (fPicture.isNull())
        return {};
    if (fScaling == Scaling::Stretch)
        return rect();
    const QSize fitted = fPicture.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint(0, 0), fitted);
}

void PictureBox::paintEvent(QPaintEvent*)
{
    if (fPicture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, fScaling == Scaling::FitTopLeft);
    painter.drawImage(TargetRect(), fPicture);
}
