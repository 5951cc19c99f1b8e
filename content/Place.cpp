// Places: geo: (RFC 5870), WGS 84 only.
#include "content/Content.h"
#include "content/ContentLines.h"

#include <QRegularExpression>

namespace {

double NumberOr(const QString& text, bool& ok)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^[+-]?\d+(\.\d+)?$)"));
    ok = pattern.match(text).hasMatch();
    return ok ? text.toDouble() : 0;
}

QString CoordinateText(double value)
{
    static const QRegularExpression trailingZeros(QStringLiteral("\\.?0+$"));
    return QString::number(value, 'f', 6).remove(trailingZeros);
}

} // namespace

std::optional<TPlace> ParsePlace(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!HasPrefix(trimmed, QLatin1String("geo:")))
        return std::nullopt;
    QString rest = trimmed.mid(4);
    TPlace place;
    const qsizetype question = rest.indexOf(u'?');
    if (question >= 0) {
        for (const auto& [name, value] : QueryItems(rest.mid(question + 1)))
            if (name == QLatin1String("q"))
                place.query = value.trimmed();
        rest = rest.left(question);
    }
    QStringList parameters = rest.split(u';');
    const QStringList coordinates = parameters.takeFirst().split(u',');
    for (const QString& parameter : parameters) {
        const QString name = parameter.section(u'=', 0, 0).toLower();
        if (name == QLatin1String("crs") && parameter.section(u'=', 1).toLower() != QLatin1String("wgs84"))
            return std::nullopt; // another body's or another datum's coordinates
    }
    if (coordinates.size() < 2 || coordinates.size() > 3)
        return std::nullopt;
    bool okLatitude = false, okLongitude = false;
    place.latitude = NumberOr(coordinates.at(0), okLatitude);
    place.longitude = NumberOr(coordinates.at(1), okLongitude);
    if (!okLatitude || !okLongitude || place.latitude < -90 || place.latitude > 90 || place.longitude < -180
        || place.longitude > 180)
        return std::nullopt;
    if (coordinates.size() == 3) {
        bool ok = false;
        const double altitude = NumberOr(coordinates.at(2), ok);
        if (!ok)
            return std::nullopt;
        place.altitude = altitude;
    }
    return place;
}

QString PlaceGeoUrl(const TPlace& place)
{
    QString url = QStringLiteral("geo:") + CoordinateText(place.latitude) + u',' + CoordinateText(place.longitude);
    if (place.altitude)
        url += u',' + CoordinateText(*place.altitude);
    return url + QueryText({{QStringLiteral("q"), place.query}});
}

QString PlaceMapUrl(const TPlace& place)
{
    const QString latitude = CoordinateText(place.latitude);
    const QString longitude = CoordinateText(place.longitude);
    return QStringLiteral("https://www.openstreetmap.org/?mlat=%1&mlon=%2#map=16/%1/%2").arg(latitude, longitude);
}
