#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

// Raised when settings.ini cannot be read or written.
class ESettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An INI file held wholly in memory. Loaded whole when constructed (a missing
// file gives an empty store and is not created); changes reach the disk only
// through UpdateFile(), which rewrites the whole file from memory, so sections,
// keys and comments the program does not know survive. Section and key names
// compare without regard to case. Used from the GUI thread only.
class SettingsStore {
public:
    // Reads `fileName` as UTF-8. Lines, section names, keys and values lose
    // the blanks around them: white space, and byte-order marks, so that the
    // file's leading one and one at the start of any later line (files joined
    // with cat) are skipped. Raises ESettingsError when the file cannot be read
    // or is not valid UTF-8.
    explicit SettingsStore(QString fileName);

    const QString& FileName() const { return fFileName; }

    // A value in double quotes is read without them.
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;

    // Sets the value of `key` in `section`, exactly as ReadString will give it
    // back, also after a flush and a new load: a value with blanks at either
    // end (or one in double quotes) is written in double quotes. A value, key
    // or section name the file cannot hold that way (a line break anywhere, a
    // key with "=", ...) is not written: the store keeps what it had, and the
    // answer is false. So no value ever adds a line, key or section of its own.
    bool WriteString(const QString& section, const QString& key, const QString& value);

    // Whether WriteString takes these.
    static bool CanHold(const QString& section, const QString& key, const QString& value);

    // Writes the byte-order mark, then per section "[name]", its lines and one
    // empty line, all ending in CR LF. The new file replaces the old one only
    // once it is complete, so a failed write leaves the old file as it was.
    // Raises ESettingsError on failure.
    void UpdateFile() const;

private:
    struct TSection {
        QString name;
        QStringList lines; // "key=value" lines, and comment lines kept as they were
    };

    TSection* FindSection(const QString& name);
    const TSection* FindSection(const QString& name) const;
    static qsizetype FindKey(const TSection& section, const QString& key);

    QString fFileName;
    QStringList fLeadingLines; // lines before the first section
    std::vector<TSection> fSections;
};
