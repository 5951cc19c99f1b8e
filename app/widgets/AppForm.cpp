#include "app/widgets/AppForm.h"

#include "app/AccessKeys.h"
#include "app/AppState.h"
#include "app/DecodeSettings.h"
#include "app/HelpAddress.h"
#include "app/SettingsStore.h"
#include "app/widgets/ErrorHandler.h"
#include "about/widgets/AboutBox.h"
#include "capture/VideoImage.h"
#include "decode/PictureLoader.h"
#include "localization/LanguageFiles.h"
#include "localization/widgets/ResetToDefaults.h"
#include "localization/widgets/TranslateForm.h"
#include "online/Feedback.h"
#include "online/UpdateChecker.h"
#include "online/widgets/FeedbackForm.h"
#include "online/widgets/NewVer.h"
#include "online/widgets/NoticeBox.h"
#include "platform/Folders.h"
#include "platform/WebHost.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);
constexpr int kPanelHeight = 33;
constexpr int kPaneHeight = 89;
// How long the window system gets to take the hidden window off the screen
// (and a compositor to fade it out) before the screen is grabbed.
constexpr int kScreenGrabDelayMs = 400;
// How long the status bar says that a screen scan's text is on the clipboard.
constexpr int kClipboardMessageMs = 5000;

// An error for the default error handler, with a text for the user.
[[noreturn]] void Fail(const QString& message)
{
    throw std::runtime_error(message.toStdString());
}

QFont Tahoma(int pixelSize)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

// The icon theme's picture first, our own as fallback.
QIcon Icon(const char* themeName, const char* ownName)
{
    return QIcon::fromTheme(QLatin1String(themeName),
                            QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(ownName))));
}

void SetBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

// A panel at the top of a tab: a field that fills it with 3-pixel margins and
// a 100 x 29 button on the right (margins: left 0, top 2, bottom 2, right 3).
QWidget* MakeTopPanel(QWidget* field, QPushButton* button)
{
    auto* panel = new QWidget;
    panel->setFixedHeight(kPanelHeight);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(3, 2, 3, 2);
    layout->setSpacing(3);
    field->setFixedHeight(kPanelHeight - 6);
    field->setFont(Tahoma(16));
    button->setFixedSize(100, 29);
    button->setFont(Tahoma(13));
    layout->addWidget(field, 1, Qt::AlignVCenter);
    layout->addWidget(button, 0, Qt::AlignVCenter);
    return panel;
}

QVBoxLayout* TabLayout(QWidget* tab)
{
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

// Gives every entry of a menu, and of its submenus, an access key.
void AssignAccessKeys(const QList<QAction*>& actions)
{
    QList<QAction*> entries;
    QStringList captions;
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        entries.append(action);
        captions.append(action->text());
    }
    const QStringList marked = WithAccessKeys(captions);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        entries[i]->setText(marked[i]);
        if (QMenu* submenu = entries[i]->menu())
            AssignAccessKeys(submenu->actions());
    }
}

} // namespace

// The pictures are compiled into this static library; their registration
// must be asked for. Asking again is harmless: Qt keeps each resource once.
static void InitResources()
{
    Q_INIT_RESOURCE(lantrix);
}

QIcon ApplicationIcon()
{
    InitResources();
    QIcon icon(QStringLiteral(":/icons/lantrix.svg"));
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/lantrix-%1.png").arg(size), QSize(size, size));
    return icon;
}

TAppEnvironment TAppEnvironment::ForThisProcess()
{
    TAppEnvironment environment;
    environment.executableFile = QCoreApplication::applicationFilePath();
    environment.executableFolder = QCoreApplication::applicationDirPath();
    environment.configFolder = UserConfigFolder();
    environment.updateCheckAddress = MakerWebHost() + QLatin1String(kCheckPath);
    return environment;
}


TAppForm::TAppForm(TAppEnvironment environment, QWidget* parent)
    : QMainWindow(parent)
    , fEnvironment(std::move(environment))
    , fStartup({fEnvironment.executableFile, fEnvironment.executableFolder, fEnvironment.configFolder})
{
    InitResources();
    setFont(Tahoma(11));
    setWindowIcon(ApplicationIcon());

    PageControl1 = new QTabWidget;
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    setCentralWidget(PageControl1);
    BuildImageTab();
    BuildWebcamTab();
    PageControl1->setCurrentIndex(0);

    StatusBar1 = new QLabel(QStringLiteral("Code Format: Auto"));
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(StatusBar1, 1);
    statusBar()->setFixedHeight(19);

    BuildMenus();

    TimerChecker = new QTimer(this);
    TimerChecker->setInterval(1000);
    Bind(TimerChecker, &QTimer::timeout, &TAppForm::TimerCheckerTimer);
    TimerChecker->start();
    Bind(PageControl1, &QTabWidget::currentChanged, &TAppForm::PageControl1Change);

    resize(672, 563 + menuBar()->sizeHint().height());

    RunHandler([this] { FormCreate(); });
    fImageScanner = std::make_unique<ImageFileScanner>(fSettings.get(), fStartup.ShippedFolder() + QStringLiteral("samples"));
    SelectedDecodeOptions = LoadDecodeOptions(fSettings.get());
    ReadInvertedCodes1->setChecked(SelectedDecodeOptions.inverted);
    TranslateAddedTexts();
}

// The entries that this program adds to the window's classic layout speak the
// user's language, which is known once the window has been created.
void TAppForm::TranslateAddedTexts()
{
    ScanScreen1->setText(Translate(QStringLiteral("Scan Screen...")));
    AssignAccessKeys(menuBar()->actions().constFirst()->menu()->actions());
    ReadInvertedCodes1->setText(Translate(QStringLiteral("Read Inverted Codes")));
    if (auto* settings = qobject_cast<QMenu*>(ReadInvertedCodes1->parent()))
        AssignAccessKeys(settings->actions());
}

TAppForm::~TAppForm()
{
    // A check still under way is given up and its thread ended; its notice,
    // a child of this window, goes before the window does.
    fChecker.reset();
    fNotice.reset();
    // Stops a running capture and drops its queued frames before any control goes.
    fWebcamScanner.reset();
    if (Settings == fSettings.get())
        Settings = nullptr;
}

void TAppForm::FormCreate()
{
    fStartup.ReadIdentity();
    setWindowTitle(AppCaption);
    fStartup.ChooseDataFolder();

    // The webcam tab with its video front-end, kept for the life of the window.
    Image2->SetScale(PictureBox::Scaling::Stretch);
    fWebcamScanner = std::make_unique<TWebcamScanner>(static_cast<WebcamScanView&>(*this), this);

    fSettings = fStartup.OpenSettings();
    fStartup.LoadLanguage(fEnvironment.uiLanguage);
}

void TAppForm::BuildImageTab()
{
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    Edit1 = new QLineEdit(QStringLiteral("[None]"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    SetBackground(Edit1, palette().color(QPalette::Button));
    ButtonBrowse = new QPushButton(QStringLiteral("Browse..."));
    ButtonBrowse->setObjectName(QStringLiteral("ButtonBrowse"));
    Panel2 = MakeTopPanel(Edit1, ButtonBrowse);
    Panel2->setObjectName(QStringLiteral("Panel2"));

    Image1 = new PictureBox(PictureBox::Scaling::FitTopLeft);
    Image1->setObjectName(QStringLiteral("Image1"));

    Memo1 = new QTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setAcceptRichText(true);
    Memo1->setFont(Tahoma(16));
    Memo1->setFixedHeight(kPaneHeight);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetBackground(Memo1, kLime);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    Memo1->hide();

    QVBoxLayout* layout = TabLayout(TabSheet1);
    layout->addWidget(Panel2);
    layout->addWidget(Image1, 1);
    layout->addWidget(Memo1);
    PageControl1->addTab(TabSheet1, Icon("image-x-generic", "image"), QStringLiteral("Image File"));

    Bind(ButtonBrowse, &QPushButton::clicked, &TAppForm::ButtonBrowseClick);
    // Pictures dropped anywhere on the tab; its controls pass drops on to it.
    TabSheet1->setAcceptDrops(true);
    TabSheet1->installEventFilter(this);
}

// Drops the mouse and key input of the widget it filters while it is closed.
class TInputGate : public QObject {
public:
    using QObject::QObject;
    bool fClosed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (fClosed) {
            switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease: return true;
            default: break;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void TAppForm::BuildWebcamTab()
{
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(false);
    Button1 = new QPushButton(QStringLiteral("Start"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Panel1 = MakeTopPanel(ComboBox1, Button1);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    Image2 = new PictureBox(PictureBox::Scaling::Stretch);
    Image2->setObjectName(QStringLiteral("Image2"));

    Memo2 = new QPlainTextEdit;
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setReadOnly(true);
    Memo2->setFont(Tahoma(16));
    Memo2->setFixedHeight(kPaneHeight);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setContextMenuPolicy(Qt::NoContextMenu);
    SetBackground(Memo2, kLime);
    Memo2->hide();

    QVBoxLayout* layout = TabLayout(TabSheet2);
    layout->addWidget(Panel1);
    layout->addWidget(Image2, 1);
    layout->addWidget(Memo2);
    PageControl1->addTab(TabSheet2, Icon("camera-web", "webcam32"), QStringLiteral("Webcam"));

    Bind(Button1, &QPushButton::clicked, &TAppForm::Button1Click);
    fButton1Gate = new TInputGate(Button1);
    Button1->installEventFilter(fButton1Gate);
}

void TAppForm::BuildMenus()
{
    auto entry = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    LoadImageFile1 = entry(file, "LoadImageFile1", QStringLiteral("Load Image File..."));
    Bind(LoadImageFile1, &QAction::triggered, &TAppForm::LoadImageFile1Click);
    LoadImageFile1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    LoadImageFile1->setShortcutContext(Qt::WindowShortcut);
    addAction(LoadImageFile1);
    ScanScreen1 = entry(file, "ScanScreen1", QStringLiteral("Scan Screen..."));
    Bind(ScanScreen1, &QAction::triggered, &TAppForm::ScanScreen1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    Exit1 = entry(file, "Exit1", QStringLiteral("Exit"));
    Exit1->setIcon(Icon("application-exit", "exit"));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Exit1->setShortcutContext(Qt::WindowShortcut);
    addAction(Exit1);
    Bind(Exit1, &QAction::triggered, &TAppForm::Exit1Click);

    QMenu* settings = menuBar()->addMenu(QStringLiteral("Settings"));
    CodeFormat1 = settings->addMenu(QStringLiteral("Code Format"));
    CodeFormat1->setObjectName(QStringLiteral("CodeFormat1"));
    CodeFormatGroup = new QActionGroup(this);
    CodeFormatGroup->setExclusive(true);
    for (const CodeFormatInfo& format : kCodeFormats) {
        QString name = QLatin1String(format.name);
        QAction* action = entry(CodeFormat1, "", name);
        action->setObjectName(name.remove(QLatin1Char('_')) + QLatin1Char('1'));
        action->setCheckable(true);
        action->setData(static_cast<uint>(format.value));
        CodeFormatGroup->addAction(action);
    }
    Bind(CodeFormatGroup, &QActionGroup::triggered, &TAppForm::CodeFormatClick);
    QAction* autoEntry = CodeFormatEntry(QStringLiteral("Auto"));
    autoEntry->setChecked(true);
    QFont bold = autoEntry->font();
    bold.setBold(true);
    autoEntry->setFont(bold); // the submenu's default entry
    // Its caption, in the user's language, comes once the language is known
    // (TranslateAddedTexts), after the classic entries have their access keys.
    ReadInvertedCodes1 = entry(settings, "ReadInvertedCodes1", QString());
    ReadInvertedCodes1->setCheckable(true);
    Bind(ReadInvertedCodes1, &QAction::triggered, &TAppForm::ReadInvertedCodes1Click);
    settings->addSeparator()->setObjectName(QStringLiteral("N2"));
    ResettoDefaults1 = entry(settings, "ResettoDefaults1", QStringLiteral("Reset to Defaults"));
    Bind(ResettoDefaults1, &QAction::triggered, &TAppForm::ResettoDefaults1Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    Help2 = entry(help, "Help2", QStringLiteral("Online Help"));
    Help2->setIcon(Icon("help-contents", "help"));
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
    Help2->setShortcutContext(Qt::WindowShortcut);
    addAction(Help2); // F1 anywhere in the window
    Bind(Help2, &QAction::triggered, &TAppForm::Help2Click);
    help->addSeparator()->setObjectName(QStringLiteral("N3"));
    UpdateNotifications1 = entry(help, "UpdateNotifications1", QStringLiteral("Update Notifications"));
    UpdateNotifications1->setCheckable(true);
    UpdateNotifications1->setChecked(true);
    UpdateNotifications1->setEnabled(false);
    Bind(UpdateNotifications1, &QAction::triggered, &TAppForm::UpdateNotifications1Click);
    help->addSeparator()->setObjectName(QStringLiteral("UpdateNotificationsBar"));
    Language1 = entry(help, "Language1", QStringLiteral("Language..."));
    Language1->setIcon(Icon("preferences-desktop-locale", "flag"));
    Language1->setVisible(false); // hidden for the whole run; nothing shows it
    Bind(Language1, &QAction::triggered, &TAppForm::Language1Click);
    SendFeedback1 = entry(help, "SendFeedback1", QStringLiteral("Send &Feedback..."));
    SendFeedback1->setIcon(Icon("mail-send", "feedback"));
    Bind(SendFeedback1, &QAction::triggered, &TAppForm::SendFeedback1Click);
    About1 = entry(help, "About1", QStringLiteral("&About..."));
    About1->setIcon(Icon("help-about", "about"));
    Bind(About1, &QAction::triggered, &TAppForm::About1Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Copy1 = entry(PopupMenu1, "Copy1", QStringLiteral("Copy"));
    Copy1->setIcon(Icon("edit-copy", "copy"));
    Bind(Copy1, &QAction::triggered, &TAppForm::Copy1Click);
    SelectAll1 = entry(PopupMenu1, "SelectAll1", QStringLiteral("Select All"));
    Bind(SelectAll1, &QAction::triggered, &TAppForm::SelectAll1Click);

    Paste1 = new QAction(this);
    Paste1->setObjectName(QStringLiteral("Paste1"));
    Paste1->setShortcuts(QKeySequence::Paste);
    Paste1->setShortcutContext(Qt::WindowShortcut);
    addAction(Paste1);
    Bind(Paste1, &QAction::triggered, &TAppForm::Paste1Click);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(Memo1->viewport()->mapToGlobal(at)); });

    // The keyboard road into the menus: Alt and a menu's letter, then an
    // entry's letter; F10 opens the first menu.
    AssignAccessKeys(menuBar()->actions());
    AssignAccessKeys(PopupMenu1->actions());
    auto* openFirstMenu = new QAction(this);
    openFirstMenu->setObjectName(QStringLiteral("OpenFirstMenu"));
    openFirstMenu->setShortcut(QKeySequence(Qt::Key_F10));
    openFirstMenu->setShortcutContext(Qt::WindowShortcut);
    addAction(openFirstMenu);
    connect(openFirstMenu, &QAction::triggered, this, [this] {
        if (!menuBar()->actions().isEmpty())
            menuBar()->setActiveAction(menuBar()->actions().constFirst());
    });
}

QAction* TAppForm::CodeFormatEntry(const QString& name) const
{
    for (QAction* action : CodeFormatGroup->actions())
        if (WithoutAccessKey(action->text()) == name)
            return action;
    return nullptr;
}

void TAppForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!fCentred && screen()) {
        fCentred = true;
        move(screen()->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
}

// ---- Image file tab --------------------------------------------------------

void TAppForm::ButtonBrowseClick()
{
    fImageScanner->Browse(*this, SelectedCodeFormat, SelectedDecodeOptions);
}

void TAppForm::LoadImageFile1Click()
{
    PageControl1->setCurrentIndex(0);
    ButtonBrowse->click();
}

void TAppForm::OpenPictureFile(const QString& file)
{
    RunHandler([&] {
        PageControl1->setCurrentIndex(0);
        fImageScanner->ScanFile(*this, file, SelectedCodeFormat, SelectedDecodeOptions);
    });
}

void TAppForm::OpenFromCommandLine(const QStringList& arguments)
{
    if (const std::optional<QString> file = PictureFileArgument(arguments))
        OpenPictureFile(*file);
}

void TAppForm::ScanPictureInput(const TPictureInput& input, TPictureSource source)
{
    switch (input.kind) {
    case TPictureInput::Kind::File:
        fImageScanner->ScanFile(*this, input.file, SelectedCodeFormat, SelectedDecodeOptions);
        break;
    case TPictureInput::Kind::Picture:
        fImageScanner->ScanPicture(*this, input.picture, PictureSourceText(source), SelectedCodeFormat,
                                   SelectedDecodeOptions);
        break;
    case TPictureInput::Kind::None: break;
    }
}

void TAppForm::Paste1Click()
{
    if (PageControl1->currentWidget() != TabSheet1)
        return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const TPictureInput input = data ? PictureInputFromMime(*data) : TPictureInput();
    if (!input)
        Fail(Translate(QStringLiteral("The clipboard holds no picture and no picture file.")));
    ScanPictureInput(input, TPictureSource::Clipboard);
}

namespace {

// Accepts a drag or drop that offers a picture, as a copy: nothing is moved
// or linked, the picture is only read. Refuses any other.
bool AcceptPictureOffer(QDropEvent* event)
{
    if (!OffersPictureInput(*event->mimeData())) {
        event->ignore();
        return false;
    }
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

void TAppForm::TabSheet1DragOver(QDragMoveEvent* event)
{
    AcceptPictureOffer(event);
}

void TAppForm::TabSheet1DragDrop(QDropEvent* event)
{
    if (!AcceptPictureOffer(event))
        return;

    // The offer is read now, while the drop holds it; the scan runs once the
    // drop is over, so that a message does not keep the program the picture
    // came from waiting.
    std::function<void()> scan;
    try {
        scan = [this, input = PictureInputFromMime(*event->mimeData())] {
            ScanPictureInput(input, TPictureSource::Drop);
        };
    } catch (...) {
        scan = [error = std::current_exception()] { std::rethrow_exception(error); };
    }
    QMetaObject::invokeMethod(this, [scan] { RunHandler(scan); }, Qt::QueuedConnection);
}

bool TAppForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TabSheet1) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            RunHandler([&] { TabSheet1DragOver(static_cast<QDragMoveEvent*>(event)); });
            return true;
        case QEvent::Drop:
            RunHandler([&] { TabSheet1DragDrop(static_cast<QDropEvent*>(event)); });
            return true;
        default: break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Screen scan -----------------------------------------------------------

void TAppForm::ScanScreen1Click()
{
    PageControl1->setCurrentIndex(0);
    const QString& address = fEnvironment.portalBusAddress;
    QDBusConnection bus = address.isEmpty() ? QDBusConnection::sessionBus()
                                            : QDBusConnection::connectToBus(address, QStringLiteral("lantrix ") + address);
    switch (ChooseScreenshotRoad(ScreenshotPortalPresent(bus), QGuiApplication::platformName())) {
    case TScreenshotRoad::Portal: {
        if (!fScreenshotPortal) {
            fScreenshotPortal = new TScreenshotPortal(bus, this);
            Bind(fScreenshotPortal, &TScreenshotPortal::Finished, &TAppForm::PortalFinished);
        }
        const QString parent = QGuiApplication::platformName() == QLatin1String("xcb")
                                   ? QStringLiteral("x11:%1").arg(winId(), 0, 16)
                                   : QString();
        fScreenshotPortal->Request(parent);
        break;
    }
    case TScreenshotRoad::ScreenGrab: GrabScreen(); break;
    case TScreenshotRoad::None:
        Fail(Translate(QStringLiteral("The screen cannot be read here: the desktop offers no screenshot portal.")));
    }
}

void TAppForm::PortalFinished(const TScreenshotOutcome& outcome)
{
    switch (outcome.status) {
    case TScreenshotOutcome::Status::Taken: ScreenScanned(LoadPicture(outcome.file)); break;
    case TScreenshotOutcome::Status::Cancelled: break; // the user changed their mind
    case TScreenshotOutcome::Status::Failed: Fail(outcome.message);
    case TScreenshotOutcome::Status::NoPortal:
        // A portal without a screenshot service: on X11 the screen is grabbed.
        if (ChooseScreenshotRoad(false, QGuiApplication::platformName()) == TScreenshotRoad::ScreenGrab)
            GrabScreen();
        else
            Fail(outcome.message);
        break;
    }
}

void TAppForm::GrabScreen()
{
    const QPointer<QScreen> screen = this->screen(); // the screen that holds the window
    const bool wasVisible = isVisible();
    ScanScreen1->setEnabled(false);
    hide();
    QTimer::singleShot(kScreenGrabDelayMs, this, [this, screen, wasVisible] {
        const QImage shot = screen ? screen->grabWindow(0).toImage() : QImage();
        if (wasVisible) {
            show();
            raise();
            activateWindow();
        }
        ScanScreen1->setEnabled(true);
        RunHandler([&] {
            if (shot.isNull())
                Fail(Translate(QStringLiteral("The screen could not be read.")));
            ScreenScanned(shot);
        });
    });
}

void TAppForm::ScreenScanned(const QImage& screenshot)
{
    PageControl1->setCurrentIndex(0);
    const std::optional<QString> text = fImageScanner->ScanPicture(
        *this, screenshot, PictureSourceText(TPictureSource::Screen), SelectedCodeFormat, SelectedDecodeOptions);
    if (!text)
        return; // the pane says "Unreadable!"; the clipboard keeps what it had
    // A code on the screen is usually wanted somewhere else.
    QGuiApplication::clipboard()->setText(*text);
    // The message hides the code format's panel while it shows, and the panel comes back after it.
    statusBar()->showMessage(Translate(QStringLiteral("The text is on the clipboard.")), kClipboardMessageMs);
}

std::optional<QString> TAppForm::AskForPictureFile(const QString& initialFolder)
{
    if (fEnvironment.openFileDialog)
        return fEnvironment.openFileDialog(this, initialFolder);
    const QString file = QFileDialog::getOpenFileName(this, QString(), initialFolder);
    if (file.isEmpty())
        return std::nullopt;
    return QFileInfo(file).absoluteFilePath();
}

void TAppForm::ShowPath(const QString& path)
{
    Edit1->setText(path);
}

void TAppForm::ShowPicture(const QImage& picture)
{
    Image1->SetPicture(picture);
}

void TAppForm::ShowResult(const std::optional<QString>& text)
{
    Memo1->show();
    SetBackground(Memo1, text ? kLime : kRed);
    Memo1->setPlainText(text ? *text : QStringLiteral("Unreadable!"));
}

// ---- Webcam tab ------------------------------------------------------------
// The webcam tab's logic is TWebcamScanner's; the handlers hand it on.

void TAppForm::PageControl1Change(int index)
{
    fWebcamScanner->PageChanged(index);
}

void TAppForm::Button1Click()
{
    fWebcamScanner->StartStop();
}

void TAppForm::NewVideoFrame(TVideoImage* Sender, std::int32_t Width, std::int32_t Height, const std::uint8_t* DataPtr)
{
    fWebcamScanner->NewVideoFrame(Sender, Width, Height, DataPtr);
}

void TAppForm::VideoCaptureEnded(TVideoImage* Sender, const QString& Message)
{
    fWebcamScanner->VideoCaptureEnded(Sender, Message);
}

void TAppForm::ShowDevices(const QStringList& devices)
{
    ComboBox1->clear();
    ComboBox1->addItems(devices);
    if (ComboBox1->count() > 0)
        ComboBox1->setCurrentIndex(0);
}

void TAppForm::SetDeviceListNotice(const QString& notice)
{
    ComboBox1->setPlaceholderText(notice); // shown while nothing is selected
}

int TAppForm::DeviceCount() const
{
    return ComboBox1->count();
}

QString TAppForm::SelectedDevice() const
{
    return ComboBox1->currentText();
}

QString TAppForm::ButtonCaption() const
{
    return WithoutAccessKey(Button1->text());
}

void TAppForm::SetButtonCaption(const QString& caption)
{
    Button1->setText(caption);
}

void TAppForm::SetButtonEnabled(bool enabled)
{
    Button1->setEnabled(enabled);
}

void TAppForm::DropQueuedButtonInput()
{
    // Clicks that waited while the start ran were made on "Start": taken now,
    // they would stop a capture the user has not seen start. From here on the
    // button shows "STOP", and a click is a STOP the user sees.
    fButton1Gate->fClosed = true;
    QCoreApplication::processEvents();
    fButton1Gate->fClosed = false;
}

void TAppForm::ShowFrame(const QImage& frame)
{
    Image2->SetPicture(frame);
}

void TAppForm::ClearFrame()
{
    Image2->Clear();
}

void TAppForm::ShowDecodedText(const QString& text)
{
    if (Memo2->isHidden())
        Memo2->show();
    Memo2->setPlainText(text);
}

void TAppForm::ClearDecodedText()
{
    Memo2->clear();
    Memo2->hide();
}

void TAppForm::ReportError(const QString& message)
{
    ShowException(message);
}

void TAppForm::closeEvent(QCloseEvent* event)
{
    // A closed window receives no further frames.
    if (fWebcamScanner)
        fWebcamScanner->Stop();
    // Closing the window ends the program: an update check under way is
    // given up at once, its notice taken away, and its results go nowhere.
    if (fChecker)
        fChecker->Abort();
    QMainWindow::closeEvent(event);
}

// ---- Menus -----------------------------------------------------------------

void TAppForm::CodeFormatClick(QAction* entry)
{
    SelectedCodeFormat = static_cast<TBarcodeFormat>(entry->data().toUInt());
    entry->setChecked(true);
    CodeFormatDegisti(entry->text());
}

void TAppForm::CodeFormatDegisti(const QString& codeFormat)
{
    StatusBar1->setText(QStringLiteral("Code Format: ") + QString(codeFormat).remove(QLatin1Char('&')));
}

void TAppForm::ReadInvertedCodes1Click(bool checked)
{
    // The entry has toggled its check mark already. The option applies from
    // the next decode on (the shown picture is not decoded again) and is kept
    // in settings.ini; when the file cannot be written, it holds for this run.
    SelectedDecodeOptions.inverted = checked;
    if (fSettings)
        SaveDecodeOptions(*fSettings, SelectedDecodeOptions);
}

void TAppForm::Help2Click()
{
    // The browser's failure to open the page is not reported.
    QDesktopServices::openUrl(OnlineHelpAddress(AppProductName, MakerWebHost()));
}

void TAppForm::ResettoDefaults1Click()
{
    ResetToDefaults(DataFolder, this, fEnvironment.resetActions);
}

void TAppForm::Language1Click()
{
    TTranslateFormEnvironment environment;
    environment.dataFolder = DataFolder;
    environment.executableFile = fEnvironment.executableFile;
    environment.setLanguageFile = [this](const QString& fileName) { SetLanguageFile(fileName); };
    environment.showError = ShowException;
    TTranslateForm::Execute(std::move(environment), this);
}

void TAppForm::SendFeedback1Click()
{
    TFeedbackFormEnvironment environment;
    environment.appProductName = AppProductName;
    environment.appCaption = AppCaption;
    environment.appVersion = AppVersion;
    environment.serverAddress = MakerWebHost() + QLatin1String(kFeedbackPath);
    environment.showError = ShowException;
    TFeedbackForm::Execute(std::move(environment), this);
}

void TAppForm::About1Click()
{
    TAboutBox::Execute({AppProductName, AppVersion, fStartup.ShippedFolder(), {}, {}}, this);
}

void TAppForm::Copy1Click()
{
    if (Memo1->textCursor().hasSelection())
        Memo1->copy();
}

void TAppForm::SelectAll1Click()
{
    Memo1->selectAll();
}

void TAppForm::Exit1Click()
{
    if (fWebcamScanner)
        fWebcamScanner->Stop();
    QCoreApplication::quit();
}

void TAppForm::TimerCheckerTimer()
{
    if (!fCheckStarted) {
        // The first tick starts the check; nothing else happens on it.
        fCheckStarted = true;
        TCheckerEnvironment environment;
        environment.appCaption = AppCaption;
        environment.appVersion = AppVersion;
        environment.serverAddress = fEnvironment.updateCheckAddress;
        environment.storeFile = UpdateCheckStore::FileIn(fEnvironment.configFolder);
        fNotice = std::make_shared<TNoticeBox>(this);
        environment.notice = fNotice;
        if (fEnvironment.adjustUpdateCheck)
            fEnvironment.adjustUpdateCheck(environment);
        fChecker = std::make_unique<TChecker>(std::move(environment));
        fChecker->start();
        return;
    }
    if (!fChecker || !fChecker->Finished())
        return;

    // The check is complete: its results are read once, and the timer never
    // runs again.
    TimerChecker->stop();
    UpdateNotifications1->setEnabled(true);
    if (fChecker->ShowUpdateValue == 0)
        UpdateNotifications1->setChecked(false);
    if (fChecker->UpdateAvailable) {
        TNewVerEnvironment environment;
        environment.appProductName = AppProductName;
        environment.latestVersion = fChecker->LatestVersion;
        environment.downloadLink = fChecker->DownloadLink;
        environment.icon = windowIcon();
        fNewVer = new TNewVer(std::move(environment), this);
    }
}

void TAppForm::UpdateNotifications1Click(bool checked)
{
    // The entry has toggled its check mark already; the new state goes into
    // the store and takes effect at the next start. The entry is usable only
    // after the check has finished, so the store is no longer the checker's.
    if (!fChecker || !fChecker->Finished())
        return;
    if (UpdateCheckStore* store = fChecker->Store())
        store->WriteInteger(QLatin1String(kUpdateSection), QLatin1String(kShowUpdate), checked ? 1 : 0);
}

void TAppForm::SetLanguageFile(const QString&)
{
    // The chosen language is not stored in this build.
}
