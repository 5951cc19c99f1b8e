#pragma once

#include <QString>

#include <memory>
#include <stdexcept>

class QSettings;

// Raised when the update-check store cannot be opened.
class TUpdateCheckStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The section that holds every value of the store, and the values' names.
inline constexpr char kUpdateSection[] = "Settings";
inline constexpr char kShowUpdate[] = "ShowUpdate";                     // 1 = check, 0 = do not
inline constexpr char kLastUpdateCheck[] = "LastUpdateCheck";           // day of the last valid reply
inline constexpr char kLastUpdateCheckCount[] = "LastUpdateCheckCount"; // valid replies that day
inline constexpr char kCurrentVersion[] = "CurrentVersion";             // version of the last valid reply
inline constexpr char kCurrentURL[] = "CurrentURL";                     // its link, scrambled

// The user's own store of the update check: an INI file (through QSettings)
// whose sections hold string values; numbers are written as decimal text.
// Opened once by the checker and kept for the rest of the run; afterwards the
// main window's "Update Notifications" entry writes through the same object.
// Used by one thread at a time.
class UpdateCheckStore {
public:
    // Opens the store in the file `fileName`, creating its folder when
    // missing (the file itself is written with the first value). Raises
    // TUpdateCheckStoreError when there is no file name, the folder cannot be
    // made, or the file cannot be read.
    explicit UpdateCheckStore(const QString& fileName);
    ~UpdateCheckStore();
    UpdateCheckStore(const UpdateCheckStore&) = delete;
    UpdateCheckStore& operator=(const UpdateCheckStore&) = delete;

    // The store's file in the user's configuration folder:
    // configFolder/<maker>/<product>.ini (DASTREL/Lantrix.ini); empty when `configFolder` is.
    static QString FileIn(const QString& configFolder);

    QString FileName() const { return fFileName; }

    // The value, or `defaultValue` when it is absent or cannot be read.
    QString ReadString(const QString& section, const QString& name, const QString& defaultValue) const;
    // The value read as a decimal number, or `defaultValue` when it is
    // absent, cannot be read or is not a number.
    int ReadInteger(const QString& section, const QString& name, int defaultValue) const;

    // Write the value and save the file at once. A write that fails is
    // skipped without a message.
    void WriteString(const QString& section, const QString& name, const QString& value);
    void WriteInteger(const QString& section, const QString& name, int value);

private:
    QString fFileName;
    std::unique_ptr<QSettings> fSettings;
};
