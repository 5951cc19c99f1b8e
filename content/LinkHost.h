// The host a web link goes to, as the user is shown it before the link is
// opened.
#pragma once

#include <QString>

// The host of `url` in lower case, without a trailing dot. An international
// host is shown in its own letters when they all come from one script (or
// from one of the combinations a language writes together: Japanese kana
// and Han, Korean Hangul and Han, Chinese Han and Bopomofo, each also with
// Latin), and otherwise in its ASCII form ("xn--..."), so that a host that
// mixes look-alike letters of several scripts ("аpple.com" with a Cyrillic
// "а") shows for what it is. Empty when the link has no host.
QString DisplayHost(const QString& url);

// Whether the letters of `host` come from more than one script, by the rule above.
bool MixesScripts(const QString& host);
