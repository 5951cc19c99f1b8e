#pragma once

#include <QString>
#include <QStringList>

// The three values that describe the client to the maker's web server,
// computed anew on each use.

// An identifier of this machine for this program: the machine ID, hashed with
// a keyed hash under a key of the program's own (the machine's ID itself
// never leaves the machine), in GUID form: 36 lower-case hexadecimal digits
// and dashes, version 4 bits set. Empty when no machine ID can be read.
QString MachineId();

// MachineId from the first of `machineIdFiles` that holds a valid machine ID
// (32 hexadecimal digits); empty when none does.
QString MachineIdFromFiles(const QStringList& machineIdFiles);

// Where the machine ID is kept, in the order they are read.
QStringList MachineIdFiles();

// The user locale's name in language-region form ("en-US"); "xx" when the
// system gives no locale of a language.
QString LocaleTag();

// One line describing the operating system: product name, kernel version and
// build, and edition, e.g. "Debian GNU/Linux 12 (bookworm) (Version 6.1,
// Build 0, 64-bit Edition)".
QString OsDescription();

// The description line from its parts; `servicePack` 0 means none.
QString FormatOsDescription(const QString& productName, int major, int minor, int build, int servicePack, bool is64Bit);
