#include "support/Samples.h"

#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <gtest/gtest.h>

QString SamplePath(const QString& name)
{
    return QStringLiteral(LANTRIX_SOURCE_DIR "/samples/") + name;
}

QImage LoadSample(const QString& name)
{
    QImage image(SamplePath(name));
    EXPECT_FALSE(image.isNull()) << "cannot load sample " << name.toStdString();
    return image;
}

QImage StackPictures(std::initializer_list<QImage> pictures, int margin)
{
    int width = 0, height = margin;
    for (const QImage& p : pictures) {
        width = std::max(width, p.width());
        height += p.height() + margin;
    }
    QImage canvas(width + 2 * margin, height, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    int y = margin;
    for (const QImage& p : pictures) {
        painter.drawImage(margin, y, p);
        y += p.height() + margin;
    }
    return canvas;
}

QImage SceneWithCode(int width, int height, const QImage& code, int x, int y)
{
    QImage scene(width, height, QImage::Format_RGB32);
    QPainter painter(&scene);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(200, 190, 170));
    gradient.setColorAt(1, QColor(90, 110, 130));
    painter.fillRect(scene.rect(), gradient);
    // Soft blotches, like objects in a room; deterministic for repeatable figures.
    QRandomGenerator random(42);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        painter.setBrush(QColor(random.bounded(60, 200), random.bounded(60, 200), random.bounded(60, 200)));
        const int w = random.bounded(20, std::max(21, width / 4));
        const int h = random.bounded(20, std::max(21, height / 4));
        painter.drawEllipse(random.bounded(width), random.bounded(height), w, h);
    }
    if (!code.isNull())
        painter.drawImage(x, y, code);
    return scene;
}
