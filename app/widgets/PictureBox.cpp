#include "app/widgets/PictureBox.h"

#include <QPainter>

TPictureBox::TPictureBox(TScaling scaling, QWidget* parent)
    : QWidget(parent)
    , fScaling(scaling)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(1, 1);
}

void TPictureBox::SetPicture(const QImage& picture)
{
    fPicture = picture;
    update();
}

void TPictureBox::SetScale(TScaling scaling)
{
    fScaling = scaling;
    update();
}

QRect TPictureBox::TargetRect() const
{
    if (fPicture.isNull())
        return {};
    if (fScaling == TScaling::Stretch)
        return rect();
    const QSize fitted = fPicture.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint(0, 0), fitted);
}

void TPictureBox::paintEvent(QPaintEvent*)
{
    if (fPicture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, fScaling == TScaling::FitTopLeft);
    painter.drawImage(TargetRect(), fPicture);
}
