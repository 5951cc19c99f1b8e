#pragma once

#include "online/WebRequest.h"

#include <QString>
#include <QStringList>
#include <QUrl>

// The pieces of the update check: how its reply is read, how the stored
// download link is scrambled, how errors are noted, and when the update
// window is due. The checker thread (UpdateChecker.h) puts them together.

// The path of the check page on the maker's web server.
inline constexpr char kCheckPath[] = "/php/check2.php";
// How long each attempt may take to connect, and then to answer, in ms.
inline constexpr int kCheckTimeoutMs = 10000;
// Valid replies per calendar day; the last of them no longer shows the window,
// and no request is made that day after it.
inline constexpr int kChecksPerDay = 5;

// The value between "<tag>" and "</tag>" (the tag in lower case) when `line`
// begins with the one and ends with the other, both compared case-sensitively;
// empty otherwise, and when `line` or `tag` is empty. Nothing is trimmed.
QString ExtractTag(const QString& line, const QString& tag);

// The lines of a reply, split at CR, LF or CR LF. A break at the very end
// does not start another line; an empty reply has none.
QStringList ReplyLines(const QString& reply);

// A reversible scrambling of the stored download link, so that it is not read
// or changed by hand: the text's UTF-8 bytes, each mixed with a running key
// that advances with the scrambled byte, written as upper-case hexadecimal.
QString ScrambleText(const QString& text);

// The text that ScrambleText gave `hex` for (letter case ignored; a last
// unpaired character is ignored); empty when a pair of characters is not a
// hexadecimal number.
QString UnscrambleText(const QString& hex);

// The errors of one check, for diagnosis only: no window shows them.
struct TCheckErrors {
    bool CheckError = false;
    QString CheckErrorLog; // the messages, separated by CR CR

    void Clear();
};

// Notes `message` in `errors` unless it is blank after trimming: sets
// CheckError and appends the message to CheckErrorLog, after CR CR when the
// log holds an earlier one.
void RecordCheckError(TCheckErrors& errors, const QString& message);

// The fields of the check request, in their order: cmd, appname, version, os,
// local, guid.
FormFields CheckFields(const QString& appCaption, const QString& appVersion, const QString& osDescription,
                       const QString& localeTag, const QString& machineId);

// True when the result value of a reply (line 4) makes it valid: "0" or "1".
bool IsValidResult(const QString& result);

// True when `version` with every "." removed reads as an integer number: an
// optional sign and at least one decimal digit, nothing else.
bool IsNumericVersion(const QString& version);

// Whether the update window is due after a valid reply: the latest version
// differs from the running one (as text) and is numeric, and either the last
// check was on another day (`lastCheckDay` differs from `today`) or fewer
// than kChecksPerDay valid replies came today, `countToday` counting this one.
bool IsUpdateDue(const QString& latestVersion, const QString& appVersion, const QString& lastCheckDay,
                 const QString& today, int countToday);

// What the update window's link opens: `downloadLink` when it is an http or
// https address with a host, `homePage` otherwise (an empty link included).
// The link may have come over plain http, so nothing else is opened.
QUrl UpdateDownloadAddress(const QString& downloadLink, const QUrl& homePage);
