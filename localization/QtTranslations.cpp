#include "localization/QtTranslations.h"

#include "localization/LanguageFiles.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <array>
#include <memory>
#include <utility>

namespace {

// The languages of the language window's flags, by display name.
constexpr std::array<std::pair<const char*, const char*>, 29> kQtNames{{
    {"German", "de"},
    {"French", "fr"},
    {"Turkish", "tr"},
    {"Albanian", "sq"},
    {"Arabic", "ar"},
    {"Bulgarian", "bg"},
    {"ChineseSimplified", "zh_CN"},
    {"ChineseTraditional", "zh_TW"},
    {"Czech", "cs"},
    {"Dutch", "nl"},
    {"Finnish", "fi"},
    {"Greek", "el"},
    {"Hebrew", "he"},
    {"Hungarian", "hu"},
    {"Italian", "it"},
    {"Japanese", "ja"},
    {"Korean", "ko"},
    {"Persian", "fa"},
    {"Polish", "pl"},
    {"PortugueseBrazil", "pt_BR"},
    {"PortuguesePortugal", "pt_PT"},
    {"Romanian", "ro"},
    {"Russian", "ru"},
    {"Slovenian", "sl"},
    {"Spanish", "es"},
    {"Swedish", "sv"},
    {"Ukrainian", "uk"},
    {"Vietnamese", "vi"},
    {"Slovak", "sk"},
}};

QPointer<QTranslator> gInstalled;

} // namespace

QString QtLanguageName(const QString& displayName)
{
    for (const auto& [name, qtName] : kQtNames)
        if (displayName == QLatin1String(name))
            return QLatin1String(qtName);
    return {};
}

bool InstallQtTranslations(const QString& folder)
{
    if (gInstalled) {
        QCoreApplication::removeTranslator(gInstalled);
        delete gInstalled;
    }
    // A language file that could not be read leaves the program in English.
    const QString name = LanguageLines.isEmpty() ? QString() : QtLanguageName(CurrentLanguage);
    if (name.isEmpty() || !QCoreApplication::instance())
        return false;
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    // The exact name only: QTranslator's fallback from "pt_PT" to "pt" would
    // be another language.
    const QString file = from + QStringLiteral("/qtbase_") + name + QStringLiteral(".qm");
    if (!IsRegularFile(file) || !translator->load(file) || !QCoreApplication::installTranslator(translator.get()))
        return false;
    gInstalled = translator.release();
    return true;
}
