#pragma once

#include <QImage>
#include <QWidget>

// A picture on the window: either scaled to fit with its proportions kept and
// drawn from the top-left corner, or stretched to the whole area.
class TPictureBox : public QWidget {
    Q_OBJECT
public:
    enum class TScaling { FitTopLeft, Stretch };

    explicit TPictureBox(TScaling scaling, QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    void Clear() { SetPicture(QImage()); }
    const QImage& Picture() const { return fPicture; }
    TScaling Scale() const { return fScaling; }
    void SetScale(TScaling scaling);

    // Where the picture is drawn inside the widget.
    QRect TargetRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TScaling fScaling;
    QImage fPicture;
};
