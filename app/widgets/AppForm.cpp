#include "app/widgets/AppForm.h"

#include "about/widgets/AboutBox.h"
#include "app/AccessKeys.h"
#include "app/AppState.h"
#include "app/DecodeSettings.h"
#include "app/HelpAddress.h"
#include "app/HistoryBrowser.h"
#include "app/StatusHints.h"
#include "app/widgets/ErrorHandler.h"
#include "app/widgets/FormParts.h"
#include "app/widgets/HistoryTab.h"
#include "app/widgets/WebcamTab.h"
#include "capture/VideoImage.h"
#include "decode/PictureLoader.h"
#include "decoder/DecoderProcess.h"
#include "decoder/PictureDecoder.h"
#include "localization/LanguageFiles.h"
#include "localization/widgets/ResetToDefaults.h"
#include "localization/widgets/TranslateForm.h"
#include "online/Feedback.h"
#include "online/UpdateCheck.h"
#include "online/widgets/FeedbackForm.h"
#include "online/widgets/UpdateNotifier.h"
#include "platform/Folders.h"
#include "platform/SettingsStore.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
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
constexpr int kPaneHeight = 89;
// How long the status bar says what happened to the history: longer than a
// note, since recording may have stopped.
constexpr int kHistoryNoteMs = 15000;

} // namespace

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
    , fDecoder(std::make_unique<TPictureDecoder>(ExecDecoder(
          DecoderProgram(fEnvironment.executableFolder, QStringLiteral(LANTRIX_LIBRARY_FOLDER)), MaxPicturePixels())))
{
    setFont(Tahoma(11));
    setWindowIcon(ApplicationIcon());

    PageControl1 = new QTabWidget;
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    setCentralWidget(PageControl1);
    BuildImageTab();
    BuildWebcamTab();
    PageControl1->setCurrentIndex(0);

    // The actions on the code read last, in a row under each tab's result pane.
    ActionRow1 = AddActionRow(TabSheet1, "ActionRow1", statusBar());
    ActionRow2 = AddActionRow(TabSheet2, "ActionRow2", statusBar());
    // Each code that comes into view of a camera goes to the history.
    TWebcamTabControls webcamControls{ComboBox1, Button1, Image2, Memo2, ActionRow2, statusBar(), {}};
    webcamControls.codeAppeared = [this](const TDecodedCode& code, const QString& camera) {
        if (fHistory)
            fHistory->Record(code, camera);
    };
    fWebcamView = std::make_unique<TWebcamTabView>(webcamControls);

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
    fScreenScanner = new TScreenScanner(static_cast<TScreenScanView&>(*this), fEnvironment.portalBusAddress, this);
    fUpdateNotifier = std::make_unique<TUpdateNotifier>(
        TUpdateNotifierEnvironment{fState.AppCaption, fState.AppVersion, fState.AppProductName,
                                   fEnvironment.updateCheckAddress, fEnvironment.configFolder,
                                   fEnvironment.adjustUpdateCheck},
        this, TimerChecker, UpdateNotifications1);
    fImageScanner = std::make_unique<TImageFileScanner>(
        fSettings.get(), fStartup.ShippedFolder() + QStringLiteral("samples"), *fDecoder);
    fState.SelectedDecodeOptions = LoadDecodeOptions(fSettings.get(), fState.SelectedCodeFormat());
    for (const TDecodeSwitch& option : kDecodeSwitches)
        SwitchEntry(option.flag)->setChecked(fState.SelectedDecodeOptions.*option.flag);
    BuildHistoryTab();
    CaptionAddedEntries();
}

// The entries that this program adds to the window's classic layout keep
// English captions, as every menu, tab and button of this window does (only
// its messages, dialogs and status texts are translated). They take the
// access keys that the classic entries leave free.
void TAppForm::CaptionAddedEntries()
{
    ScanScreen1->setText(QStringLiteral("Scan Screen..."));
    AssignAccessKeys(menuBar()->actions().constFirst()->menu()->actions());
    for (const TDecodeSwitch& option : kDecodeSwitches)
        SwitchEntry(option.flag)->setText(QLatin1String(option.caption));
    KeepHistory1->setText(QStringLiteral("Keep History"));
    if (auto* settings = qobject_cast<QMenu*>(ReadInvertedCodes1->parent()))
        AssignAccessKeys(settings->actions());
}

TAppForm::~TAppForm()
{
    // A check still under way is given up and its thread ended; its notice,
    // a child of this window, goes before the window does.
    fUpdateNotifier.reset();
    // Stops a running capture and drops its queued frames before any control goes.
    fWebcamScanner.reset();
    // The tab shows the history's list: it goes first, without a page change
    // reaching the scanners. The history then writes what is still queued.
    disconnect(PageControl1, nullptr, this, nullptr);
    delete TabSheet3;
    TabSheet3 = nullptr;
    fHistory.reset();
}

void TAppForm::FormCreate()
{
    fStartup.ReadIdentity(fState);
    setWindowTitle(fState.AppCaption);
    fStartup.ChooseDataFolder(fState);

    // The webcam tab with its video front-end, kept for the life of the window.
    Image2->SetScale(TPictureBox::TScaling::Stretch);
    fWebcamScanner = std::make_unique<TWebcamScanner>(*fWebcamView, this, *fDecoder, fState);

    fSettings = fStartup.OpenSettings(fState);
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

    Image1 = new TPictureBox(TPictureBox::TScaling::FitTopLeft);
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

    Image2 = new TPictureBox(TPictureBox::TScaling::Stretch);
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
}

// The history's file in the data folder, opened as the window starts; the
// tab is the third, after "Image File" and "Webcam".
void TAppForm::BuildHistoryTab()
{
    fHistory = std::make_unique<THistoryBrowser>(
        fState.DataFolder.isEmpty() ? QString() : fState.DataFolder + QLatin1String(kHistoryFileName), fSettings.get());
    connect(fHistory.get(), &THistoryBrowser::StatusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text, kHistoryNoteMs); });
    TabSheet3 = new THistoryTab(*fHistory, statusBar());
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet3, Icon("document-open-recent", "history"), QStringLiteral("History"));
    KeepHistory1->setChecked(fHistory->KeepHistory());
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
    for (const TCodeFormatInfo& format : kCodeFormats) {
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
    // Their captions come at the end of the window's creation
    // (CaptionAddedEntries), after the classic entries have their access keys.
    // One entry for each reading option, named after its settings key.
    for (const TDecodeSwitch& option : kDecodeSwitches) {
        QAction* action = entry(settings, "", QString());
        action->setObjectName(QLatin1String(option.key) + u'1');
        action->setCheckable(true);
        connect(action, &QAction::triggered, this,
                [this, &option](bool checked) { RunHandler([&] { DecodeSwitchClick(option, checked); }); });
        fSwitchEntries.append(action);
    }
    ReadInvertedCodes1 = SwitchEntry(&TDecodeOptions::inverted);
    ReadEveryFormat1 = SwitchEntry(&TDecodeOptions::everyFormat);
    TryHarder1 = SwitchEntry(&TDecodeOptions::tryHarder);
    settings->addSeparator()->setObjectName(QStringLiteral("HistoryBar"));
    // Its caption comes with the reading options' (CaptionAddedEntries).
    KeepHistory1 = entry(settings, "KeepHistory1", QString());
    KeepHistory1->setCheckable(true);
    KeepHistory1->setChecked(true);
    Bind(KeepHistory1, &QAction::triggered, &TAppForm::KeepHistory1Click);
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
    fImageScanner->Browse(*this, fState.SelectedDecodeOptions);
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
        fImageScanner->ScanFile(*this, file, fState.SelectedDecodeOptions);
    });
}

void TAppForm::OpenFromCommandLine(const QStringList& arguments)
{
    if (const std::optional<QString> file = PictureFileArgument(arguments))
        OpenPictureFile(*file);
}

void TAppForm::Paste1Click()
{
    if (PageControl1->currentWidget() != TabSheet1)
        return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const TPictureInput input = data ? PictureInputFromMime(*data) : TPictureInput();
    if (!input)
        throw std::runtime_error(
            Translate(QStringLiteral("The clipboard holds no picture and no picture file.")).toStdString());
    fImageScanner->ScanInput(*this, input, TPictureSource::Clipboard, fState.SelectedDecodeOptions);
}

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
            fImageScanner->ScanInput(*this, input, TPictureSource::Drop, fState.SelectedDecodeOptions);
        };
    } catch (...) {
        scan = [error = std::current_exception()] { std::rethrow_exception(error); };
    }
    const auto run = [scan] { RunHandler(scan); };
    QMetaObject::invokeMethod(this, run, Qt::QueuedConnection);
}

bool TAppForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TabSheet1) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: RunHandler([&] { TabSheet1DragOver(static_cast<QDragMoveEvent*>(event)); }); return true;
        case QEvent::Drop: RunHandler([&] { TabSheet1DragDrop(static_cast<QDropEvent*>(event)); }); return true;
        default: break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Screen scan -----------------------------------------------------------

void TAppForm::ScanScreen1Click()
{
    PageControl1->setCurrentIndex(0);
    fScreenScanner->Start();
}

WId TAppForm::WindowId() const
{
    return winId();
}

QScreen* TAppForm::WindowScreen() const
{
    return screen();
}

bool TAppForm::HideForGrab()
{
    const bool wasVisible = isVisible();
    ScanScreen1->setEnabled(false);
    hide();
    return wasVisible;
}

void TAppForm::ShowAfterGrab(bool wasVisible)
{
    if (wasVisible) {
        show();
        raise();
        activateWindow();
    }
    ScanScreen1->setEnabled(true);
}

void TAppForm::ScreenFailed(const QString& message)
{
    ShowException(message);
}

void TAppForm::ScreenScanned(const QImage& screenshot)
{
    TPictureInput input;
    input.kind = TPictureInput::TKind::Picture;
    input.picture = screenshot;
    ScanScreenshot(input);
}

void TAppForm::ScreenFileScanned(const QString& file)
{
    TPictureInput input;
    input.kind = TPictureInput::TKind::File;
    input.file = file;
    ScanScreenshot(input);
}

void TAppForm::ScanScreenshot(const TPictureInput& screenshot)
{
    RunHandler([&] {
        PageControl1->setCurrentIndex(0);
        const QScopedValueRollback screenScan(fScreenScan, true);
        const std::optional<QString> text =
            fImageScanner->ScanPicture(*this, screenshot, TPictureSource::Screen, fState.SelectedDecodeOptions);
        if (!text)
            return; // the pane says "Unreadable!"; the clipboard keeps what it had
        // A code on the screen is usually wanted somewhere else.
        QGuiApplication::clipboard()->setText(*text);
        // The message hides the code format's panel while it shows, and the panel comes back after it.
        statusBar()->showMessage(Translate(QStringLiteral("The text is on the clipboard.")), kStatusNoteMs);
    });
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
    ActionRow1->ShowContent(text.value_or(QString()));
    // The Settings entries that may read more, for a few seconds in the
    // status bar; the pane stays as it is.
    if (const QString hint = text || fScreenScan ? QString() : UnreadableHint(fState.SelectedDecodeOptions);
        !hint.isEmpty())
        statusBar()->showMessage(hint, kStatusHintMs);
}

void TAppForm::CodeRead(const TDecodedCode& code, const QString& source)
{
    if (fHistory)
        fHistory->Record(code, source);
}

// ---- Webcam tab ------------------------------------------------------------
// The webcam tab's logic is TWebcamScanner's; the handlers hand it on, and
// TWebcamTabView shows what it gives back.

void TAppForm::PageControl1Change(int index)
{
    fWebcamScanner->PageChanged(index);
    if (TabSheet3 && PageControl1->widget(index) == TabSheet3)
        TabSheet3->Activated();
}

void TAppForm::Button1Click()
{
    fWebcamScanner->StartStop();
}

void TAppForm::closeEvent(QCloseEvent* event)
{
    // A closed window receives no further frames.
    if (fWebcamScanner)
        fWebcamScanner->Stop();
    // Closing the window ends the program: an update check under way is
    // given up at once, its notice taken away, and its results go nowhere.
    if (fUpdateNotifier)
        fUpdateNotifier->Abort();
    QMainWindow::closeEvent(event);
}

// ---- Menus -----------------------------------------------------------------

void TAppForm::CodeFormatClick(QAction* entry)
{
    fState.SelectedCodeFormat() = static_cast<TBarcodeFormat>(entry->data().toUInt());
    entry->setChecked(true);
    CodeFormatDegisti(entry->text());
    // A format without a reader says so for a few seconds; any earlier word goes.
    statusBar()->showMessage(CodeFormatNotice(fState.SelectedDecodeOptions), kStatusHintMs);
}

void TAppForm::CodeFormatDegisti(const QString& codeFormat)
{
    StatusBar1->setText(QStringLiteral("Code Format: ") + QString(codeFormat).remove(QLatin1Char('&')));
}

QAction* TAppForm::SwitchEntry(TDecodeFlag flag) const
{
    for (std::size_t i = 0; i < kDecodeSwitches.size(); ++i)
        if (kDecodeSwitches[i].flag == flag)
            return fSwitchEntries.value(qsizetype(i));
    return nullptr;
}

void TAppForm::DecodeSwitchClick(const TDecodeSwitch& option, bool checked)
{
    // The entry has toggled its check mark already. The option applies from
    // the next decode on and is kept in settings.ini; when the file cannot be
    // written, it holds for this run, and that is said after the rest.
    std::exception_ptr saveError;
    try {
        SetDecodeSwitch(fState.SelectedDecodeOptions, option.flag, checked, fSettings.get());
    } catch (...) {
        saveError = std::current_exception();
    }
    // The chosen code format may gain or lose its reader.
    if (option.flag == &TDecodeOptions::everyFormat)
        statusBar()->showMessage(CodeFormatNotice(fState.SelectedDecodeOptions), kStatusHintMs);
    // An option turned on while the pane says "Unreadable!" (what its hint
    // suggested) reads the picture on screen again.
    if (checked && PageControl1->currentWidget() == TabSheet1)
        fImageScanner->RereadUnreadable(*this, fState.SelectedDecodeOptions);
    if (saveError)
        std::rethrow_exception(saveError);
}

void TAppForm::KeepHistory1Click(bool checked)
{
    // Applies at once and is kept in settings.ini; when the file cannot be
    // written, the choice holds for this run and that is said.
    fHistory->SetKeepHistory(checked);
}

void TAppForm::Help2Click()
{
    // The browser's failure to open the page is not reported.
    QDesktopServices::openUrl(OnlineHelpAddress(fState.AppProductName, MakerWebHost()));
}

void TAppForm::ResettoDefaults1Click()
{
    ResetToDefaults(fState.DataFolder, this, fEnvironment.resetActions);
}

void TAppForm::Language1Click()
{
    TTranslateFormEnvironment environment;
    environment.dataFolder = fState.DataFolder;
    environment.executableFile = fEnvironment.executableFile;
    environment.setLanguageFile = [this](const QString& fileName) { SetLanguageFile(fileName); };
    environment.showError = ShowException;
    TTranslateForm::Execute(std::move(environment), this);
}

void TAppForm::SendFeedback1Click()
{
    TFeedbackFormEnvironment environment;
    environment.appProductName = fState.AppProductName;
    environment.appCaption = fState.AppCaption;
    environment.appVersion = fState.AppVersion;
    environment.serverAddress = MakerWebHost() + QLatin1String(kFeedbackPath);
    environment.showError = ShowException;
    TFeedbackForm::Execute(std::move(environment), this);
}

void TAppForm::About1Click()
{
    TAboutBox::Execute({fState.AppProductName, fState.AppVersion, fStartup.ShippedFolder(), {}, {}}, this);
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
    fUpdateNotifier->TimerTick();
}

void TAppForm::UpdateNotifications1Click(bool checked)
{
    fUpdateNotifier->EntryToggled(checked);
}

TChecker* TAppForm::Checker() const
{
    return fUpdateNotifier ? fUpdateNotifier->Checker() : nullptr;
}

TNewVer* TAppForm::NewVer() const
{
    return fUpdateNotifier ? fUpdateNotifier->NewVer() : nullptr;
}

void TAppForm::SetLanguageFile(const QString&)
{
    // The language window hands its choice here, and it is not stored: the
    // interface language follows the desktop's (LanguageCodes.csv), and the
    // window that would choose another is not reachable in this build. The
    // hook stays so that the language window keeps one way to hand a choice
    // back, which its tests follow.
}
