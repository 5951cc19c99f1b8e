#pragma once

#include "about/PopupGuard.h"
#include "about/Rain.h"
#include "about/WindowDrag.h"

#include <QDialog>
#include <QImage>

#include <cstdint>
#include <functional>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class TLinkLabel;

// What the About window shows and where it finds license.txt; the clock and
// the random numbers are seams that tests fix.
struct TAboutBoxInfo {
    QString productName;        // AppProductName
    QString version;            // AppVersion
    QString shippedFilesFolder; // ShippedFilesFolder(): holds license.txt
    // Milliseconds of a steady clock; empty: the system's.
    std::function<std::uint32_t()> tickCount;
    // Uniform numbers in 0 to n - 1; empty: a pseudo-random generator.
    TRainRandom random;
};

// The About window: logo, icon, product and version, OK and an "Info" menu of
// links and the licence, with the rain falling around its panel and a hidden
// picture behind the panel that a double-click on the icon reveals.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(TAboutBoxInfo info, QWidget* parent = nullptr);
    ~TAboutBox() override;

    // Creates a new window, makes it the current one (AboutBox), shows it
    // modally and destroys it when it closes.
    static void Execute(TAboutBoxInfo info, QWidget* owner);

    // Controls, named as the window's layout names them.
    QWidget* Panel1 = nullptr;
    QLabel* Image2 = nullptr; // the maker's logo
    QFrame* Bevel1 = nullptr;
    QLabel* Image1 = nullptr; // the application icon
    QLabel* Label2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    TLinkLabel* Label5 = nullptr;
    QWidget* PanelEgg = nullptr;
    QLabel* ImageEgg = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Credits1 = nullptr;
    QAction* Howtouninstall1 = nullptr;
    QAction* LicensePrivacyPolicy1 = nullptr;
    QTimer* tmTimer = nullptr;
    QTimer* TimerEgg = nullptr;

    // The rain's backing picture, which the paint event shows.
    QImage outCanvas;
    TRain rain;
    TWindowDrag drag;

    // Handlers.
    void tmTimerTimer();
    void TimerEggTimer();
    void Image1DblClick();
    void ImageEggDblClick();
    void BitBtn2Click();
    void Credits1Click();
    void Howtouninstall1Click();
    void LicensePrivacyPolicy1Click();
    void FormMouseDown(QMouseEvent* event);
    void FormMouseMove(QMouseEvent* event);
    void FormMouseUp(QMouseEvent* event);

    // Drops `menu` down under `button`, unless the click that closed it is
    // the one calling (TPopupGuard); returns when the menu closes.
    void ShowPopupBelow(QPushButton* button, QMenu* menu);

    // Renders the logo and the hidden picture at the window's current scale.
    void HighDPIImageYukle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void StartRain();
    void ResetRain();
    std::uint32_t TickCount() const;

    TAboutBoxInfo fInfo;
    TPopupGuard fPopupGuard;
    bool fScreenWatched = false;
};

// The open About window; null when none is open.
extern TAboutBox* AboutBox;
