#pragma once

#include <QImage>
#include <QWidget>

// A picture on the window: either scaled to fit with its proportions kept and
// drawn from the top-left corner, or stretched to the whole area.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    enum class Scaling { FitTopLeft, Stretch };

    explicit PictureBox(Scaling scaling, QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    void Clear() { SetPicture(QImage()); }
    const QImage& Picture() const { return fPicture; }
    Scaling Scale() const { return fScaling; }
    void SetScale(Scaling scaling);

    // Where the picture is drawn inside the widget.
    QRect TargetRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Scaling fScaling;
    QImage fPicture;
};
