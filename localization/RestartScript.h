#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// The restart after a language change: a small shell script, start.sh in the
// data folder, that waits a second for this instance to end and starts the
// program again. The script is left in place and rewritten at every restart.

// Raised when start.sh cannot be written.
class ERestartScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `word` quoted for the POSIX shell: between single quotes, each single quote
// written as '\''. Nothing inside the quotes is special to the shell, so a
// quote, "$", a backquote or a line break stays part of the word.
QByteArray ShellQuote(const QByteArray& word);

// The script's bytes: "#!/bin/sh", two echo lines saying what the file is,
// "sleep 1", then the executable's quoted path; each line ends with LF (a
// shell reads a CR as part of the word). The path keeps its bytes on disk.
QByteArray RestartScriptText(const QString& executableFile);

// `dataFolder` (a trailing "/" ensured) + "start.sh".
QString RestartScriptPath(const QString& dataFolder);

// Writes the script for `executableFile` into `dataFolder`. Raises
// ERestartScriptError with the reason when it cannot be written.
void WriteRestartScript(const QString& dataFolder, const QString& executableFile);

// Starts "/bin/sh start.sh" detached with `dataFolder` as its working folder.
// Whether it started is not checked.
void StartRestartScript(const QString& dataFolder);

// Starts `executableFile` anew, detached, without arguments. Whether it
// started is not checked.
void StartNewInstance(const QString& executableFile);
