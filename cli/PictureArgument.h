// Where lantrix-scan's pictures come from: a file named on the command line
// (its name is bytes, which need not be UTF-8), or standard input ("-").
#pragma once

#include <QByteArray>
#include <QString>

// The name as text for messages: UTF-8, a byte that is not shown as U+FFFD.
QString DisplayName(const QByteArray& file);

// Raises EPictureFileError "Cannot WHAT file "NAME". " and the system's text
// for `error` (an errno value), which is its reason.
[[noreturn]] void ThrowFileError(const char* what, const QString& name, int error);

// Standard input's bytes up to its end, waiting for them as long as it
// takes; at most 512 MiB. Raises EPictureError, also when nothing came.
QByteArray ReadStandardInput();

// True when `file` names a regular file whose extension is one of a format
// that Qt reads itself, without its plugins (PNG, BMP, PBM, PGM, PPM, XBM,
// XPM): the first picture of a run may then be read before the plugins and a
// GUI application are started, whose start is the larger part of a short scan.
bool NamesBuiltInFormat(const QByteArray& file);
