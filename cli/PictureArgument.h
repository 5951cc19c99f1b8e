// Where lantrix-scan's pictures come from: a file named on the command line
// (its name is bytes, which need not be UTF-8), or standard input ("-").
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>

// The name as text for messages: UTF-8, a byte that is not shown as U+FFFD.
QString DisplayName(const QByteArray& file);

// Raises EPictureFileError "Cannot WHAT file "NAME". " and the system's text
// for `error` (an errno value), which is its reason.
[[noreturn]] void ThrowFileError(const char* what, const QString& name, int error);

// Standard input's bytes up to its end, waiting for them as long as it
// takes; at most 512 MiB. Raises EPictureError, also when nothing came.
QByteArray ReadStandardInput();

// Loads the picture of one argument as the window loads a picture file: "-"
// from standard input; any other name as a file, also when it is not UTF-8.
// The type is taken from the content. Raises EPictureError (EPictureFileError
// when the file cannot be opened).
QImage LoadPictureArgument(const QByteArray& file);

// The same for the first picture of a run that has not started the GUI yet:
// Qt's image-format plugins, whose search is the larger part of a short
// scan's start-up, and a GUI application (an SVG drawing's text needs fonts)
// are started by `startGui` only when the picture is not one Qt reads itself.
// For one picture per process only (it changes Qt's library paths for a moment).
QImage LoadFirstPictureArgument(const QByteArray& file, const std::function<void()>& startGui);
