#include "online/widgets/NewVer.h"

#include "about/AboutLinks.h"
#include "localization/LanguageFiles.h"
#include "localization/widgets/WindowLook.h"
#include "online/UpdateCheck.h"
#include "platform/WebHost.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

std::int64_t CloseCountdown = 11;

// The pictures are compiled into this static library; their registration
// must be asked for. Asking again is harmless: Qt keeps each resource once.
static void InitNewVerResources()
{
    Q_INIT_RESOURCE(online);
}

namespace {

constexpr int kBevel = 1;      // Panel1's raised edge
constexpr int kImageSize = 60; // Image1, with 3-pixel margins
constexpr int kImageMargin = 3;
constexpr int kPanel3Width = 22; // holds Button1, 22 x 22
constexpr int kLabel1Height = 20;

// `rect` shrunk to nothing at its centre.
QRect CentreOf(const QRect& rect)
{
    return QRect(rect.center(), QSize(1, 1));
}

} // namespace

// ---- The link ------------------------------------------------------------------

void TUpdateLinkLabel::mousePressEvent(QMouseEvent* event)
{
    event->accept(); // a press here neither drags the window nor reaches the panels
}

void TUpdateLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

// ---- The window ----------------------------------------------------------------

TNewVer::TNewVer(TNewVerEnvironment environment, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    , fEnvironment(std::move(environment))
    , fMainWindow(mainWindow)
{
    InitNewVerResources();
    setObjectName(QStringLiteral("NewVer"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(Tahoma(11));
    resize(kClientSize);

    // Panel1 keeps the window's full size and stays where the full window
    // stands while the window grows or shrinks around it, so the animation
    // uncovers the picture from the centre instead of moving it.
    const int width = kClientSize.width();
    const int height = kClientSize.height();
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(kBevel);
    Panel1->setAutoFillBackground(true);
    Panel1->setGeometry(0, 0, width, height);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setGeometry(kBevel + kImageMargin, kBevel + kImageMargin, kImageSize, kImageSize);

    Panel3 = new QFrame(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(width - kBevel - kPanel3Width, kBevel, kPanel3Width, height - 2 * kBevel);
    Button1 =
        new QPushButton(QIcon::fromTheme(QStringLiteral("window-close"), QIcon(QStringLiteral(":/online/close.svg"))),
                        QString(), Panel3);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFlat(true);
    Button1->setCursor(Qt::PointingHandCursor);
    Button1->setFocusPolicy(Qt::NoFocus);
    Button1->setIconSize(QSize(16, 16));
    Button1->setGeometry(0, 0, kPanel3Width, kPanel3Width);

    const int panel2Left = kBevel + kImageMargin + kImageSize + kImageMargin;
    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(panel2Left, kBevel, Panel3->x() - panel2Left, height - 2 * kBevel);
    Panel2->setAttribute(Qt::WA_NoMousePropagation); // neither Panel2 nor Label2 drags the window

    Label1 = PlainLabel(Panel2, "Label1");
    QFont bold = Tahoma(13);
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(0, 0, Panel2->width(), kLabel1Height);

    Label2 = new TUpdateLinkLabel(Panel2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText); // the version comes from the server
    QFont link = Tahoma(13);
    link.setUnderline(true);
    Label2->setFont(link);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    Label2->setAutoFillBackground(false);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->setGeometry(0, kLabel1Height, Panel2->width(), Panel2->height() - kLabel1Height);

    TimerStart = new QTimer(this);
    TimerStart->setInterval(1);
    TimerLink = new QTimer(this);
    TimerLink->setInterval(100);
    TimerClose = new QTimer(this);
    TimerClose->setInterval(1000);

    FormCreate();

    for (QObject* part : {static_cast<QObject*>(this), static_cast<QObject*>(Panel1), static_cast<QObject*>(Image1),
                          static_cast<QObject*>(Label1), static_cast<QObject*>(Panel3)})
        part->installEventFilter(this);
    connect(Label2, &TUpdateLinkLabel::clicked, this, &TNewVer::Label2Click);
    connect(Button1, &QPushButton::clicked, this, &TNewVer::Button1Click);
    connect(TimerStart, &QTimer::timeout, this, &TNewVer::TimerStartTimer);
    connect(TimerLink, &QTimer::timeout, this, &TNewVer::TimerLinkTimer);
    connect(TimerClose, &QTimer::timeout, this, &TNewVer::TimerCloseTimer);
    TimerStart->start();
    TimerLink->start();
    TimerClose->start();
}

TNewVer::~TNewVer() = default;

void TNewVer::FormCreate()
{
    const QIcon icon = fEnvironment.icon.isNull() ? QApplication::windowIcon() : fEnvironment.icon;
    Image1->setPixmap(icon.pixmap(QSize(48, 48)));

    // The top right corner of the primary screen's available area.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), kClientSize);
    fHome = QRect(QPoint(area.x() + area.width() - kClientSize.width() - kMargin, area.y() + kMargin), kClientSize);
    setGeometry(fHome);

    Label1->setText(Translate(QStringLiteral("UPDATE AVAILABLE")));
    Label2->setText(Translate(QStringLiteral("Click to download")) + QLatin1Char(' ') + fEnvironment.appProductName
                    + QLatin1Char(' ') + fEnvironment.latestVersion);
    SetTextColour(Label2, QApplication::palette().color(QPalette::WindowText));
}

void TNewVer::Animate(bool in)
{
    if (fAnimation) {
        fAnimation->stop();
        delete fAnimation;
    }
    // The window's full place: where it appears, or where it stands now
    // (perhaps dragged) when it goes.
    const QRect full = in ? fHome : geometry();
    fAnimation = new QPropertyAnimation(this, "geometry", this);
    fAnimation->setDuration(kAnimationMs);
    fAnimation->setStartValue(in ? CentreOf(full) : full);
    fAnimation->setEndValue(in ? full : CentreOf(full));
    connect(fAnimation, &QVariantAnimation::valueChanged, this,
            [this, full](const QVariant& value) { Panel1->move(full.topLeft() - value.toRect().topLeft()); });
    connect(fAnimation, &QAbstractAnimation::finished, this, [this, in, full] {
        fAnimation->deleteLater();
        fAnimation = nullptr;
        if (in) {
            setGeometry(full);
            Panel1->move(0, 0);
        } else {
            close();
        }
    });
    fAnimation->start();
}

void TNewVer::TimerStartTimer()
{
    TimerStart->stop();
    setGeometry(CentreOf(fHome));
    Panel1->move(fHome.topLeft() - geometry().topLeft());
    show();
    Animate(true);
    GiveFocusBack();
}

void TNewVer::GiveFocusBack()
{
    // The window does not take the focus; should the desktop have given it
    // all the same, it goes back to the main window.
    if (fMainWindow && fMainWindow->isVisible() && QApplication::activeWindow() == this)
        fMainWindow->activateWindow();
}

bool TNewVer::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate)
        GiveFocusBack();
    return handled;
}

void TNewVer::ShowLinkColour(const QPoint& globalPos)
{
    const QPalette standard = QApplication::palette();
    const bool over = Label2->rect().contains(Label2->mapFromGlobal(globalPos));
    SetTextColour(Label2, standard.color(over ? QPalette::Highlight : QPalette::WindowText));
}

void TNewVer::TimerLinkTimer()
{
    ShowLinkColour(QCursor::pos());
}

void TNewVer::TimerCloseTimer()
{
    --CloseCountdown;
    if (CloseCountdown > 0)
        return;
    TimerClose->stop();
    if (isVisible())
        Animate(false);
    else
        close();
}

void TNewVer::Label2Click()
{
    // The desktop's failure to open the page is not reported.
    const QUrl homePage = fEnvironment.homePage.isEmpty() ? MakerSiteAddress(MakerWebHost()) : fEnvironment.homePage;
    QDesktopServices::openUrl(UpdateDownloadAddress(fEnvironment.downloadLink, homePage));
    close();
}

void TNewVer::Button1Click()
{
    close();
}

void TNewVer::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; it is not shown again.
    TimerStart->stop();
    TimerLink->stop();
    TimerClose->stop();
    if (fAnimation) {
        fAnimation->stop();
        fAnimation->deleteLater();
        fAnimation = nullptr;
    }
    QWidget::closeEvent(event);
}

// ---- Dragging ------------------------------------------------------------------

void TNewVer::FormMouseDown(QMouseEvent* event)
{
    const QPoint at = event->globalPosition().toPoint();
    drag.MouseDown(event->button() == Qt::RightButton, at.x(), at.y());
}

void TNewVer::FormMouseMove(QMouseEvent* event)
{
    const QPoint at = event->globalPosition().toPoint();
    if (const std::optional<TWindowDrag::TOffset> offset = drag.MouseMove(at.x(), at.y()))
        move(x() + offset->dx, y() + offset->dy);
}

void TNewVer::FormMouseUp(QMouseEvent*)
{
    drag.MouseUp();
}

bool TNewVer::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: FormMouseDown(static_cast<QMouseEvent*>(event)); return true;
    case QEvent::MouseMove: FormMouseMove(static_cast<QMouseEvent*>(event)); return true;
    case QEvent::MouseButtonRelease: FormMouseUp(static_cast<QMouseEvent*>(event)); return true;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}
