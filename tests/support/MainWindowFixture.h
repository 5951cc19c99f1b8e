// The main window over folders of its own, for the window's QtTest programs:
// a program folder in a temporary folder (the shipped samples linked in), a
// configuration folder beside it, an open dialog answered by the test, and
// the errors of the default error handler collected. A test class inherits
// it (after QObject) and calls Init() and Cleanup() from init() and cleanup().
#pragma once

#include "app/widgets/AppForm.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QWidget;

class TMainWindowFixture {
public:
    // What a test changes in the window's environment beyond the common one.
    using TAdjust = std::function<void(TAppEnvironment&)>;

    // A new temporary root with "program" (the samples linked in) and the
    // path of "config"; nothing answered, nothing recorded, the code format
    // Auto, and the default error handler's texts collected in `errors`.
    void Init();
    // Drops unanswered message-box answers, the error sink and the root, and
    // gives the interface language back its default.
    void Cleanup();

    // The window's environment: the built program, exeFolder and
    // configFolder as they are now, an open dialog that answers from
    // `answers` and records `dialogFolders`, and uiLanguage; then `adjust`,
    // if any, changes what the test needs changed.
    TAppEnvironment Environment(const TAdjust& adjust = {});
    // A shown main window made with Environment(adjust).
    std::unique_ptr<TAppForm> MakeForm(const TAdjust& adjust = {});

    QString SettingsFile() const;    // settings.ini in the program folder
    QByteArray ReadSettings() const; // its bytes; empty when there is none
    // Writes `bytes` to `name` in the root and gives its path.
    QString WriteFile(const QString& name, const QByteArray& bytes);
    // Saves `picture` as `name` in the root and gives its path.
    QString SavePicture(const QString& name, const QImage& picture);
    // Languages/LanguageCodes.csv naming German.lang.txt for 1031, and that
    // file with `lines`, in the program folder.
    void WriteGermanLanguage(const QByteArray& lines);

    static QColor PaneColour(const QWidget* pane);  // a result pane's ground
    static QStringList Captions(const QMenu* menu); // "-" for a separator

    std::unique_ptr<QTemporaryDir> root;
    QString exeFolder;    // <root>/program
    QString configFolder; // <root>/config, not made
    // What the open dialog answers, in turn (nullopt: cancelled); once they
    // are used up it is cancelled.
    std::deque<std::optional<QString>> answers;
    QStringList dialogFolders;                                   // where the open dialog was asked to start
    QStringList errors;                                          // texts of the default error handler
    TUILanguageSource uiLanguage = [] { return quint16(1033); }; // the user's interface language
};
