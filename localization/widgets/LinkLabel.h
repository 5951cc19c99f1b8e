#pragma once

#include <QLabel>
#include <QUrl>

// A label that opens a web address when clicked: plain underlined text in the
// given height and colour, a hand cursor, the address as its hint. Tab reaches
// it, and Enter or Space opens the address as a click does. The desktop opens
// the address; whether it could is not checked.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    TLinkLabel(const QString& text, QUrl address, int pixelSize, const QColor& colour, QWidget* parent = nullptr);

    const QUrl& Address() const { return fAddress; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QUrl fAddress;
};
