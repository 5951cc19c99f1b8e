#include "about/widgets/AboutBox.h"
#include "platform/RegularFile.h"
#include "platform/WebHost.h"

#include "about/AboutLinks.h"
#include "localization/FormatPattern.h"
#include "localization/LanguageFiles.h"
#include "localization/widgets/CaptionedMessageDlg.h"
#include "localization/widgets/FocusRing.h"
#include "localization/widgets/LinkLabel.h"
#include "localization/widgets/ModalWindow.h"
#include "localization/widgets/WindowLook.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <memory>
#include <random>

TAboutBox* AboutBox = nullptr;

// The pictures are compiled into this static library; their registration
// must be asked for. Asking again is harmless: Qt keeps each resource once.
static void InitAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace {

constexpr QSize kClientSize(446, 374);
constexpr QRect kPanel1(48, 42, 350, 291);
constexpr QSize kPanelEgg(324, 220);
constexpr QSize kLogoSize(344, 105);
constexpr QSize kEggSize(320, 214);

QIcon Picture(const char* name)
{
    InitAboutResources();
    return QIcon(QStringLiteral(":/about/%1.svg").arg(QLatin1String(name)));
}

// The rain drawn into the window's backing picture.
class TPictureRainCanvas : public TRainCanvas {
public:
    explicit TPictureRainCanvas(QImage& picture)
        : fPainter(&picture)
    {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::Monospace);
        font.setPixelSize(12);
        fPainter.setFont(font);
    }

    void Clear(int width, int height) override { fPainter.fillRect(0, 0, width, height, Qt::black); }

    void FillBlack(int left, int top, int right, int bottom) override
    {
        fPainter.fillRect(left, top, right - left, bottom - top, Qt::black);
    }

    void WriteChar(int x, int y, char c, const TRainColour& colour) override
    {
        const QString text{QLatin1Char(c)};
        const QFontMetrics metrics = fPainter.fontMetrics();
        const QRect cell(x, y, metrics.horizontalAdvance(text), metrics.height());
        fPainter.fillRect(cell, Qt::black);
        fPainter.setPen(QColor(colour.red, colour.green, colour.blue));
        fPainter.drawText(cell, Qt::AlignLeft | Qt::AlignTop, text);
    }

private:
    QPainter fPainter;
};

TRainRandom SystemRandom()
{
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    return [engine](int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(*engine); };
}

QPushButton* PanelButton(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(Tahoma(16));
    button->setGeometry(geometry);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, QColor(40, 40, 40));
    palette.setColor(QPalette::ButtonText, Qt::white);
    button->setPalette(palette);
    return button;
}

} // namespace

TAboutBox::TAboutBox(TAboutBoxInfo info, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , rain(info.random ? info.random : SystemRandom())
    , fInfo(std::move(info))
{
    setObjectName(QStringLiteral("AboutBox"));
    setFixedSize(kClientSize);
    setFont(Tahoma(11));
    SetBackgroundColour(this, Qt::black);
    setAutoFillBackground(false); // the paint event shows the rain's picture

    // Below Panel1, seen only when Panel1 slides away.
    PanelEgg = new QWidget(this);
    PanelEgg->setObjectName(QStringLiteral("PanelEgg"));
    PanelEgg->resize(kPanelEgg);
    SetBackgroundColour(PanelEgg, Qt::black);
    PanelEgg->hide();
    ImageEgg = PlainLabel(PanelEgg, "ImageEgg");
    ImageEgg->setGeometry(2, 0, kPanelEgg.width() - 4, kPanelEgg.height());
    ImageEgg->setScaledContents(true);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(kPanel1);
    SetBackgroundColour(Panel1, Qt::black);
    SetTextColour(Panel1, Qt::white);

    Image2 = PlainLabel(Panel1, "Image2");
    Image2->setGeometry((kPanel1.width() - kLogoSize.width()) / 2, 0, kLogoSize.width(), kLogoSize.height());
    Image2->setScaledContents(true);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(9, 122, 34, 34);
    Image1 = PlainLabel(Panel1, "Image1");
    Image1->setGeometry(10, 123, 32, 32);
    Image1->setAlignment(Qt::AlignCenter);

    Label2 = PlainLabel(Panel1, "Label2");
    Label2->setGeometry(49, 122, 290, 40);
    Label2->setFont(Tahoma(16));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    BitBtn1 = PanelButton(Panel1, "BitBtn1", QRect(49, 224, 122, 33));
    BitBtn2 = PanelButton(Panel1, "BitBtn2", QRect(177, 224, 122, 33));
    BitBtn2->setIcon(Picture("arrow"));
    BitBtn2->setLayoutDirection(Qt::RightToLeft); // the arrow at the button's right end
    BitBtn1->setDefault(true);

    Label5 = new TLinkLabel(MakerWebHost(), MakerSiteAddress(MakerWebHost()), 11, QColor(0, 255, 0), Panel1);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setGeometry(0, kPanel1.height() - 22, kPanel1.width(), 18);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Credits1 = PopupMenu1->addAction(QStringLiteral("Acknowledgements..."));
    Credits1->setObjectName(QStringLiteral("Credits1"));
    Howtouninstall1 = PopupMenu1->addAction(QStringLiteral("How to uninstall..."));
    Howtouninstall1->setObjectName(QStringLiteral("Howtouninstall1"));
    LicensePrivacyPolicy1 = PopupMenu1->addAction(QStringLiteral("License..."));
    LicensePrivacyPolicy1->setObjectName(QStringLiteral("LicensePrivacyPolicy1"));

    tmTimer = new QTimer(this);
    tmTimer->setObjectName(QStringLiteral("tmTimer"));
    TimerEgg = new QTimer(this);
    TimerEgg->setObjectName(QStringLiteral("TimerEgg"));
    TimerEgg->setInterval(5);

    FormCreate();
    TFocusRing::Attach(this);

    connect(tmTimer, &QTimer::timeout, this, [this] { tmTimerTimer(); });
    connect(TimerEgg, &QTimer::timeout, this, [this] { TimerEggTimer(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { accept(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(Credits1, &QAction::triggered, this, [this] { Credits1Click(); });
    connect(Howtouninstall1, &QAction::triggered, this, [this] { Howtouninstall1Click(); });
    connect(LicensePrivacyPolicy1, &QAction::triggered, this, [this] { LicensePrivacyPolicy1Click(); });
    for (QWidget* part :
         {static_cast<QWidget*>(this), Panel1, static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2),
          static_cast<QWidget*>(Label2), static_cast<QWidget*>(ImageEgg)})
        part->installEventFilter(this);
}

TAboutBox::~TAboutBox()
{
    if (AboutBox == this)
        AboutBox = nullptr;
}

void TAboutBox::Execute(TAboutBoxInfo info, QWidget* owner)
{
    ExecuteAsCurrent(AboutBox, std::move(info), owner);
}

void TAboutBox::FormCreate()
{
    rain.charSet = "dst";
    StartRain();
    setWindowTitle(FormatTranslated(QStringLiteral("About %s"), fInfo.productName));
    Image1->setPixmap(QApplication::windowIcon().pixmap(QSize(32, 32), devicePixelRatio()));
    Label2->setText(fInfo.productName + QLatin1Char(' ') + fInfo.version);
    BitBtn1->setText(Translate(QStringLiteral("OK")));
    BitBtn2->setText(Translate(QStringLiteral("Info")));
    Credits1->setText(Translate(QStringLiteral("Acknowledgements...")));
    Howtouninstall1->setText(Translate(QStringLiteral("How to uninstall...")));
    LicensePrivacyPolicy1->setText(Translate(QStringLiteral("License...")));
    HighDPIImageYukle();
    PanelEgg->move((width() - PanelEgg->width()) / 2, (height() - PanelEgg->height()) / 2);
}

// ---- The rain ----------------------------------------------------------------

void TAboutBox::StartRain()
{
    outCanvas = QImage(size() * devicePixelRatio(), QImage::Format_RGB32);
    outCanvas.setDevicePixelRatio(devicePixelRatio());
    TPictureRainCanvas canvas(outCanvas);
    rain.Start(canvas, width(), height());
    tmTimer->setInterval(50);
    tmTimer->start();
}

void TAboutBox::ResetRain()
{
    if (outCanvas.deviceIndependentSize() != QSizeF(size())) {
        outCanvas = QImage(size() * devicePixelRatio(), QImage::Format_RGB32);
        outCanvas.setDevicePixelRatio(devicePixelRatio());
    }
    TPictureRainCanvas canvas(outCanvas);
    rain.Reset(canvas, width(), height());
    update();
}

void TAboutBox::tmTimerTimer()
{
    {
        TPictureRainCanvas canvas(outCanvas);
        rain.Step(canvas);
    }
    update();
}

void TAboutBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, outCanvas);
}

void TAboutBox::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ResetRain();
}

// ---- Pictures ----------------------------------------------------------------

void TAboutBox::HighDPIImageYukle()
{
    const qreal scale = devicePixelRatio();
    Image2->clear();
    Image2->setPixmap(Picture("logo").pixmap(kLogoSize, scale));
    ImageEgg->clear();
    ImageEgg->setPixmap(Picture("cat").pixmap(kEggSize, scale));
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!fScreenWatched && windowHandle()) {
        fScreenWatched = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { HighDPIImageYukle(); });
    }
}

// ---- The hidden picture --------------------------------------------------------

void TAboutBox::Image1DblClick()
{
    if (TimerEgg->isActive())
        return;
    PanelEgg->show();
    TimerEgg->start();
}

void TAboutBox::TimerEggTimer()
{
    Panel1->move(Panel1->x() + 5, Panel1->y());
    if (width() < Panel1->x())
        TimerEgg->stop();
}

void TAboutBox::ImageEggDblClick()
{
    if (TimerEgg->isActive())
        return;
    PanelEgg->hide();
    Panel1->move((width() - Panel1->width()) / 2, Panel1->y());
}

// ---- Info menu and links ---------------------------------------------------------

std::uint32_t TAboutBox::TickCount() const
{
    if (fInfo.tickCount)
        return fInfo.tickCount();
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TAboutBox::ShowPopupBelow(QPushButton* button, QMenu* menu)
{
    if (menu->isVisible() || !fPopupGuard.MayOpen(button, menu, TickCount()))
        return;
    menu->exec(button->mapToGlobal(QPoint(0, button->height())));
    fPopupGuard.Closed(button, menu, TickCount());
}

void TAboutBox::BitBtn2Click()
{
    ShowPopupBelow(BitBtn2, PopupMenu1);
}

void TAboutBox::Credits1Click()
{
    QDesktopServices::openUrl(AcknowledgementsAddress(MakerWebHost()));
}

void TAboutBox::Howtouninstall1Click()
{
    QDesktopServices::openUrl(UninstallAddress(MakerWebHost()));
}

void TAboutBox::LicensePrivacyPolicy1Click()
{
    const QString file = LicenseFile(fInfo.shippedFilesFolder);
    // Only a regular file is handed to the desktop's viewer; anything else of
    // that name (a FIFO would leave the viewer waiting) is a missing licence.
    if (IsRegularFile(file)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
        return;
    }
    CaptionedMessageDlg(Translate(QStringLiteral("File not found!")), TMsgDlgType::mtError, {TMsgDlgBtn::mbOK},
                        Translate(QStringLiteral("License")), {}, this);
}

// ---- Dragging ----------------------------------------------------------------------

void TAboutBox::FormMouseDown(QMouseEvent* event)
{
    const QPoint at = event->globalPosition().toPoint();
    drag.MouseDown(event->button() == Qt::RightButton, at.x(), at.y());
}

void TAboutBox::FormMouseMove(QMouseEvent* event)
{
    const QPoint at = event->globalPosition().toPoint();
    if (const std::optional<TWindowDrag::TOffset> offset = drag.MouseMove(at.x(), at.y()))
        move(x() + offset->dx, y() + offset->dy);
}

void TAboutBox::FormMouseUp(QMouseEvent*)
{
    drag.MouseUp();
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: FormMouseDown(static_cast<QMouseEvent*>(event)); break;
    case QEvent::MouseMove: FormMouseMove(static_cast<QMouseEvent*>(event)); break;
    case QEvent::MouseButtonRelease: FormMouseUp(static_cast<QMouseEvent*>(event)); break;
    case QEvent::MouseButtonDblClick:
        if (watched == Image1)
            Image1DblClick();
        else if (watched == ImageEgg)
            ImageEggDblClick();
        break;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}
