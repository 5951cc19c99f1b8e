#include "localization/UILanguage.h"

#include <QList>
#include <QLocale>

#include <unicode/uloc.h>

namespace {

constexpr int kIdSize = ULOC_FULLNAME_CAPACITY;

// A neutral identifier names a language without a region (its sublanguage
// bits are 0).
bool IsNeutral(quint32 lcid)
{
    return (lcid >> 10) == 0;
}

QByteArray Part(const char* id, int32_t (*get)(const char*, char*, int32_t, UErrorCode*))
{
    char part[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    get(id, part, sizeof part, &status);
    return U_FAILURE(status) ? QByteArray() : QByteArray(part);
}

} // namespace

quint16 LanguageIdOfLocale(const QString& tag)
{
    const QByteArray bytes = tag.trimmed().toLatin1();
    char id[kIdSize] = {};
    UErrorCode status = U_ZERO_ERROR;
    if (bytes.contains('-')) {
        int32_t parsed = 0;
        uloc_forLanguageTag(bytes.constData(), id, kIdSize, &parsed, &status);
    } else {
        uloc_canonicalize(bytes.constData(), id, kIdSize, &status);
    }
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING)
        return 0;

    // A locale with a region names a specific language; its identifier serves
    // unless the table knows the locale only as a neutral one (de_Latn_DE).
    const quint32 lcid = uloc_getLCID(id);
    if (!Part(id, uloc_getCountry).isEmpty() && lcid != 0 && !IsNeutral(lcid))
        return static_cast<quint16>(lcid);

    // Widen the locale to its most likely script and region. The identifier
    // tables know language_script_region for some languages (zh_Hans_CN) and
    // language_region for the others.
    char likely[kIdSize] = {};
    status = U_ZERO_ERROR;
    uloc_addLikelySubtags(id, likely, kIdSize, &status);
    if (U_FAILURE(status))
        return static_cast<quint16>(lcid);
    const QByteArray language = Part(likely, uloc_getLanguage);
    const QByteArray script = Part(likely, uloc_getScript);
    const QByteArray country = Part(likely, uloc_getCountry);
    if (language.isEmpty() || country.isEmpty())
        return static_cast<quint16>(lcid);
    QList<QByteArray> candidates;
    if (!script.isEmpty())
        candidates.append(language + '_' + script + '_' + country);
    candidates.append(language + '_' + country);
    for (const QByteArray& candidate : candidates) {
        const quint32 specific = uloc_getLCID(candidate.constData());
        if (specific != 0 && !IsNeutral(specific))
            return static_cast<quint16>(specific);
    }
    return static_cast<quint16>(lcid);
}

quint16 UserDefaultUILanguage()
{
    const QStringList languages = QLocale::system().uiLanguages();
    return LanguageIdOfLocale(languages.isEmpty() ? QString() : languages.constFirst());
}
