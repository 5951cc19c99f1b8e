#include "localization/LanguageWindow.h"

#include "localization/LanguageFiles.h"
#include "localization/TextLines.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Entry text and flag picture; the first equal text decides.
constexpr std::array<std::pair<const char*, const char*>, 30> kFlags{{
    {"English", "flag"},
    {"German", "de"},
    {"French", "fr"},
    {"Turkish", "tr"},
    {"Albanian", "al"},
    {"Arabic", "sa"},
    {"Bulgarian", "bg"},
    {"ChineseSimplified", "cn"},
    {"ChineseTraditional", "tw"},
    {"Czech", "cz"},
    {"Dutch", "nl"},
    {"Finnish", "fi"},
    {"Greek", "gr"},
    {"Hebrew", "il"},
    {"Hungarian", "hu"},
    {"Italian", "it"},
    {"Japanese", "jp"},
    {"Korean", "kr"},
    {"Persian", "ir"},
    {"Polish", "pl"},
    {"PortugueseBrazil", "br"},
    {"PortuguesePortugal", "pt"},
    {"Romanian", "ro"},
    {"Russian", "ru"},
    {"Slovenian", "si"},
    {"Spanish", "es"},
    {"Swedish", "se"},
    {"Ukrainian", "ua"},
    {"Vietnamese", "vi"},
    {"Slovak", "sk"},
}};

} // namespace

QStringList LanguageEntries(const QStringList& languageFiles)
{
    QStringList entries{QLatin1String(kEnglishEntry)};
    for (const QString& file : languageFiles)
        entries.append(LanguageDisplayName(file));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return entries;
}

QString FlagImageName(const QString& entry)
{
    for (const auto& [text, image] : kFlags)
        if (entry == QLatin1String(text))
            return QLatin1String(image);
    return QStringLiteral("xx");
}

QStringList FlagImageNames()
{
    QStringList names{QStringLiteral("xx")};
    for (const auto& flag : kFlags)
        names.append(QLatin1String(flag.second));
    names.append(QStringLiteral("us"));
    return names;
}

QString TranslatorText(const QString& entry, const QString& languageFolder)
{
    if (entry == QLatin1String(kEnglishEntry))
        return QStringLiteral("Dastrel");
    try {
        const QStringList lines =
            ReadLanguageFileLines(languageFolder + QLatin1Char('/') + entry + QStringLiteral(".lang.txt"));
        return LookupTranslation(QLatin1String(kTranslatedByKey), lines);
    } catch (const ELanguageFileError&) {
        return {};
    }
}

QStringList TranslatorLines(const QString& text)
{
    if (text.isEmpty())
        return {};
    QStringList pieces = text.split(QLatin1Char(','));
    if (pieces.size() > 1 && pieces.constLast().isEmpty())
        pieces.removeLast();
    for (QString& piece : pieces)
        piece = TrimBlanksAndControls(piece);
    return pieces;
}

QUrl TranslationPageAddress(const QString& webHost)
{
    return QUrl(QStringLiteral("https://") + webHost + QStringLiteral("/translation/"));
}
