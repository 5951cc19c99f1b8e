#pragma once

#include <QString>

#include <optional>

// `pattern` with its one "%s" replaced by `argument` ("%%" stands for "%");
// nothing when the pattern holds no "%s", more than one, or any other
// conversion ("%d", "%0:s", a lone "%"). The argument is inserted as it is.
std::optional<QString> FormatOneString(const QString& pattern, const QString& argument);

// The translation of `englishPattern` (a key holding one "%s") formatted with
// `argument`. A language file is data: its translation serves as the pattern
// only when it fits (FormatOneString); otherwise the English pattern does.
QString FormatTranslated(const QString& englishPattern, const QString& argument);
