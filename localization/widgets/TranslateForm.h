#pragma once

#include <QComboBox>
#include <QDialog>

#include <functional>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class TLinkLabel;

// What the language window needs from the program around it. The two
// actions of the restart are seams: empty ones are the real actions.
struct TTranslateFormEnvironment {
    QString dataFolder;     // DataFolder: where start.sh is written
    QString executableFile; // the program that start.sh starts again
    // The main window's SetLanguageFile, given the chosen file's name
    // ("German.lang.txt"); empty: nobody is told.
    std::function<void(const QString&)> setLanguageFile;
    // The default error handler (ShowException); empty: an error message box.
    std::function<void(const QString&)> showError;

    std::function<void(const QString&)> startRestartScript; // StartRestartScript(dataFolder)
    std::function<void()> terminate;                        // QCoreApplication::quit
};

// The drop-down list of languages: each entry drawn with its flag, in the
// list and in the closed field.
class TLanguageComboBox : public QComboBox {
    Q_OBJECT
public:
    // The item data role that holds an entry's flag picture name ("de").
    static constexpr int kFlagRole = Qt::UserRole + 1;

    explicit TLanguageComboBox(QWidget* parent = nullptr);

    // Adds an entry at the end, with its flag.
    void AddEntry(const QString& entry);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The flag picture of an entry's flag name, 16 x 16 at 96 dpi and scaled.
QIcon FlagPicture(const QString& flagName);

// The "Language" window: the languages found at start-up with their flags,
// who translated the selected one, a link to the translation page, and OK,
// which restarts the program in another language after a confirmation.
class TTranslateForm : public QDialog {
    Q_OBJECT
public:
    explicit TTranslateForm(TTranslateFormEnvironment environment, QWidget* parent = nullptr);
    ~TTranslateForm() override;

    // Creates a new window, makes it the current one (TranslateForm), shows
    // it modally and destroys it when it closes.
    static void Execute(TTranslateFormEnvironment environment, QWidget* owner);

    // Controls, named as the window's layout names them.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TLanguageComboBox* ComboBox1 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr;
    QFrame* Panel2 = nullptr;
    QWidget* Panel1 = nullptr;
    TLinkLabel* Label3 = nullptr;
    QPushButton* Button1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* SelectAll1 = nullptr;

    // The entry selected when the window finished opening.
    QString InitialLanguage;

    // Handlers.
    void ComboBox1Change();
    void Button1Click(); // raises when start.sh cannot be written
    void Copy1Click();
    void SelectAll1Click();

private:
    void FormCreate();
    void Guarded(const std::function<void()>& handler);

    TTranslateFormEnvironment fEnvironment;
};

// The open language window; null when none is open.
extern TTranslateForm* TranslateForm;
