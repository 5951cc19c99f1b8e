#pragma once

#include "app/AppStartup.h"
#include "app/AppState.h"
#include "app/DecodeSettings.h"
#include "app/ImageFileScan.h"
#include "app/PictureInput.h"
#include "app/ScreenScan.h"
#include "app/WebcamScan.h"
#include "app/widgets/ActionRow.h"
#include "app/widgets/ErrorHandler.h"
#include "app/widgets/FormParts.h"
#include "app/widgets/PictureBox.h"
#include "localization/widgets/ResetToDefaults.h"

#include <QIcon>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QComboBox;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTimer;
class SettingsStore;
class TChecker;
class THistoryBrowser;
class THistoryTab;
class TNewVer;
class TPictureDecoder;
class TUpdateNotifier;
class TVideoImage;
class TWebcamTabView;
struct TCheckerEnvironment;

// Where the main window finds its executable, its shipped files and the user's
// configuration folder, and how it asks for a picture file. main() gives the
// real ones; tests give temporary folders and answer the dialog themselves.
struct TAppEnvironment {
    QString executableFile;
    QString executableFolder;
    QString configFolder;
    // The open dialog: parent, initial folder (empty: the platform's choice);
    // answers the chosen file or nothing. Empty: the platform's file dialog.
    std::function<std::optional<QString>(QWidget*, const QString&)> openFileDialog;
    // The identifier of the user's interface language; empty: the system's.
    TUILanguageSource uiLanguage;
    // The D-Bus address where the screenshot portal is looked for; empty:
    // the session bus.
    QString portalBusAddress;
    // The update check's page, host and path without a scheme. Empty: there
    // is none, and the check fails at once without sending anything.
    QString updateCheckAddress;
    // Changes what the update check uses before it starts; empty: nothing.
    std::function<void(TCheckerEnvironment&)> adjustUpdateCheck;
    // How Reset to Defaults restarts the program; empty members: for real.
    TResetActions resetActions;

    static TAppEnvironment ForThisProcess();
};

// The program's main window: the "Image File", "Webcam" and "History" tabs,
// the menus, the status bar and the update timer. Every code read in the
// window goes to the history (THistoryBrowser), which writes it off the
// GUI thread.
class TAppForm : public QMainWindow, private TImageScanView, private TScreenScanView {
    Q_OBJECT
public:
    explicit TAppForm(TAppEnvironment environment, QWidget* parent = nullptr);
    ~TAppForm() override;

    // Controls, named as the window's layout names them.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* Panel2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* ButtonBrowse = nullptr;
    TPictureBox* Image1 = nullptr;
    QTextEdit* Memo1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* Panel1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    TPictureBox* Image2 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QLabel* StatusBar1 = nullptr;     // the status bar's one panel
    TActionRow* ActionRow1 = nullptr; // the actions on Memo1's code, under it
    TActionRow* ActionRow2 = nullptr; // the actions on Memo2's code, under it
    THistoryTab* TabSheet3 = nullptr; // "History"; null when the window's creation failed before it was made
    QTimer* TimerChecker = nullptr;

    // Menu entries.
    QAction* LoadImageFile1 = nullptr;
    QAction* ScanScreen1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* CodeFormat1 = nullptr;
    QActionGroup* CodeFormatGroup = nullptr;
    QAction* ReadInvertedCodes1 = nullptr;
    QAction* ReadEveryFormat1 = nullptr;
    QAction* TryHarder1 = nullptr;
    QAction* KeepHistory1 = nullptr;
    QAction* ResettoDefaults1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* UpdateNotifications1 = nullptr;
    QAction* Language1 = nullptr;
    QAction* SendFeedback1 = nullptr;
    QAction* About1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* SelectAll1 = nullptr;
    QAction* Paste1 = nullptr; // Ctrl+V on the "Image File" tab; in no menu

    // Handlers.
    void ButtonBrowseClick();
    void LoadImageFile1Click();
    void ScanScreen1Click();
    void Paste1Click();
    void TabSheet1DragOver(QDragMoveEvent* event);
    void TabSheet1DragDrop(QDropEvent* event);
    void CodeFormatClick(QAction* entry);
    void CodeFormatDegisti(const QString& codeFormat);
    // A reading option's entry toggled (Read Inverted Codes, Read Every
    // Format, Try Harder: kDecodeSwitches).
    void DecodeSwitchClick(const TDecodeSwitch& option, bool checked);
    void KeepHistory1Click(bool checked);
    void Help2Click();
    void ResettoDefaults1Click();
    void Language1Click();
    void SendFeedback1Click();
    void About1Click();
    void Copy1Click();
    void SelectAll1Click();
    void Exit1Click();
    void TimerCheckerTimer();
    void UpdateNotifications1Click(bool checked);
    void SetLanguageFile(const QString& fileName);
    void PageControl1Change(int index);
    void Button1Click();

    // A picture file as if picked in the open dialog, on the "Image File" tab.
    void OpenPictureFile(const QString& file);
    // The picture file named on the command line (QCoreApplication::arguments()
    // once Qt has taken its options), if any; nothing else is read from it.
    void OpenFromCommandLine(const QStringList& arguments);
    // Every screenshot ends here, whichever way it was taken: it is scanned
    // as a pasted picture, and a decoded text goes on the clipboard too,
    // which the status bar says for a few seconds. Errors go to the default
    // error handler.
    void ScreenScanned(const QImage& screenshot) override;
    void ScreenFileScanned(const QString& file) override;

    // The video front-end of the webcam tab; null only when the window's
    // creation failed before it was made.
    TVideoImage* VideoImage() const { return fWebcamScanner ? &fWebcamScanner->VideoImage() : nullptr; }

    // The history of the codes read; null only when the window's creation
    // failed before it was made.
    THistoryBrowser* History() const { return fHistory.get(); }

    // The program's identity, data folder and reading options.
    const TAppState& State() const { return fState; }
    TAppState& State() { return fState; }

    // The entry of the code-format menu for a format name ("QR_CODE").
    QAction* CodeFormatEntry(const QString& name) const;
    // The Settings entry of a reading option.
    QAction* SwitchEntry(TDecodeFlag flag) const;

    // The background update check, once the first timer tick has started it;
    // and the update window, once the check found an update.
    TChecker* Checker() const;
    TNewVer* NewVer() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void BuildImageTab();
    void BuildWebcamTab();
    void BuildHistoryTab();
    void BuildMenus();
    void CaptionAddedEntries();

    // TImageScanView
    std::optional<QString> AskForPictureFile(const QString& initialFolder) override;
    void ShowPath(const QString& path) override;
    void ShowPicture(const QImage& picture) override;
    void ShowResult(const std::optional<QString>& text) override;
    void CodeRead(const TDecodedCode& code, const QString& source) override;

    // TScreenScanView
    WId WindowId() const override;
    QScreen* WindowScreen() const override;
    bool HideForGrab() override;
    void ShowAfterGrab(bool wasVisible) override;
    void ScreenFailed(const QString& message) override;
    void ScanScreenshot(const TPictureInput& screenshot);

    // Connects a control's signal to one of the handlers above. The handler
    // takes the signal's first arguments, or none, and runs under the
    // default error handler.
    template <class Sender, class Signal, class... Args>
    void Bind(Sender* sender, Signal signal, void (TAppForm::*handler)(Args...))
    {
        connect(sender, signal, this,
                [this, handler](Args... args) { RunHandler([&] { (this->*handler)(args...); }); });
    }

    // The form's own fields, beside the controls above.
    TAppEnvironment fEnvironment;
    TAppStartup fStartup;
    TAppState fState; // outlives everything below that reads it
    std::unique_ptr<SettingsStore> fSettings;
    // Reads and decodes every picture and frame, in a process of its own;
    // outlives the scanners that use it.
    std::unique_ptr<TPictureDecoder> fDecoder;
    std::unique_ptr<TImageFileScanner> fImageScanner;
    std::unique_ptr<TWebcamTabView> fWebcamView; // outlives the scanner that drives it
    std::unique_ptr<TWebcamScanner> fWebcamScanner;
    std::unique_ptr<THistoryBrowser> fHistory; // outlives TabSheet3, which shows it
    QList<QAction*> fSwitchEntries;            // in the order of kDecodeSwitches
    bool fCentred = false;
    bool fScreenScan = false;                 // a screen scan's result is shown, which gives no hint
    TScreenScanner* fScreenScanner = nullptr; // a child of the window
    // The update check: started by the first tick of TimerChecker, given up
    // when the window closes.
    std::unique_ptr<TUpdateNotifier> fUpdateNotifier;
};
