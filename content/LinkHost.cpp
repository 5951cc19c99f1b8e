#include "content/LinkHost.h"

#include <QChar>
#include <QSet>
#include <QUrl>

#include <initializer_list>

namespace {

bool SubsetOf(const QSet<QChar::Script>& scripts, std::initializer_list<QChar::Script> allowed)
{
    for (const QChar::Script script : scripts)
        if (std::find(allowed.begin(), allowed.end(), script) == allowed.end())
            return false;
    return true;
}

} // namespace

bool MixesScripts(const QString& host)
{
    QSet<QChar::Script> scripts;
    const QList<uint> points = host.toUcs4();
    for (const uint point : points) {
        const QChar::Script script = QChar::script(point);
        if (script != QChar::Script_Common && script != QChar::Script_Inherited && script != QChar::Script_Unknown)
            scripts.insert(script);
    }
    if (scripts.size() <= 1)
        return false;
    return !SubsetOf(scripts, {QChar::Script_Han, QChar::Script_Hiragana, QChar::Script_Katakana, QChar::Script_Latin})
           && !SubsetOf(scripts, {QChar::Script_Han, QChar::Script_Hangul, QChar::Script_Latin})
           && !SubsetOf(scripts, {QChar::Script_Han, QChar::Script_Bopomofo, QChar::Script_Latin});
}

QString DisplayHost(const QString& url)
{
    const QUrl parsed(url.trimmed());
    // The ASCII form first: it is what the browser will ask for.
    QString ace = parsed.host(QUrl::EncodeUnicode).toLower();
    if (ace.endsWith(u'.'))
        ace.chop(1);
    if (ace.isEmpty())
        return QString();
    const QString unicode = QUrl::fromAce(ace.toLatin1(), QUrl::IgnoreIDNWhitelist);
    if (unicode.isEmpty() || MixesScripts(unicode))
        return ace;
    return unicode;
}
