#include "app/ScreenshotPortal.h"

#include "localization/LanguageFiles.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QUrl>

namespace {

QString Failure(const QString& detail)
{
    QString message = Translate(QStringLiteral("The screenshot could not be taken."));
    if (!detail.isEmpty())
        message += QLatin1Char('\n') + detail;
    return message;
}

} // namespace

QString PortalRequestPath(const QString& sender, const QString& token)
{
    QString name = sender;
    if (name.startsWith(QLatin1Char(':')))
        name.remove(0, 1);
    name.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QLatin1String(kPortalPath) + QStringLiteral("/request/") + name + QLatin1Char('/') + token;
}

TScreenshotOutcome ScreenshotOutcome(uint response, const QVariantMap& results)
{
    TScreenshotOutcome outcome;
    switch (response) {
    case 0: {
        // A file of this machine's: no host (Qt makes "//host/path" of one,
        // which here is another file) and an absolute path.
        const QUrl uri(results.value(QStringLiteral("uri")).toString());
        if (uri.isLocalFile() && uri.host().isEmpty() && uri.toLocalFile().startsWith(QLatin1Char('/'))
            && !uri.toLocalFile().startsWith(QLatin1String("//"))) {
            outcome.status = TScreenshotOutcome::TStatus::Taken;
            outcome.file = uri.toLocalFile();
        } else {
            outcome.message = Failure(Translate(QStringLiteral("The desktop gave no picture file.")));
        }
        break;
    }
    case 1: outcome.status = TScreenshotOutcome::TStatus::Cancelled; break;
    default: outcome.message = Failure(QString()); break;
    }
    return outcome;
}

TScreenshotOutcome ScreenshotCallError(const QString& errorName, const QString& errorMessage)
{
    static const QStringList kMissing = {
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
    };
    TScreenshotOutcome outcome;
    outcome.status =
        kMissing.contains(errorName) ? TScreenshotOutcome::TStatus::NoPortal : TScreenshotOutcome::TStatus::Failed;
    outcome.message = Failure(errorMessage.isEmpty() ? errorName : errorMessage);
    return outcome;
}

bool ScreenshotPortalPresent(const QDBusConnection& bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QString service = QLatin1String(kPortalService);
    if (bus.interface()->isServiceRegistered(service))
        return true;
    const QDBusReply<QStringList> activatable = bus.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(service);
}

TScreenshotRoad ChooseScreenshotRoad(bool portalPresent, const QString& platformName)
{
    if (portalPresent)
        return TScreenshotRoad::Portal;
    if (platformName == QLatin1String("xcb"))
        return TScreenshotRoad::ScreenGrab;
    return TScreenshotRoad::None;
}

TScreenshotPortal::TScreenshotPortal(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , fBus(std::move(bus))
{
    qRegisterMetaType<TScreenshotOutcome>();
}

TScreenshotPortal::~TScreenshotPortal()
{
    StopListening();
}

void TScreenshotPortal::Request(const QString& parentWindow)
{
    StopListening();
    if (!fBus.isConnected()) {
        Finish(
            ScreenshotCallError(QStringLiteral("org.freedesktop.DBus.Error.Disconnected"), fBus.lastError().message()));
        return;
    }

    // The Response may follow the call's reply at once: listen on the path
    // the portal will use before asking.
    const QString token = QStringLiteral("lantrix%1").arg(++fSerial);
    if (!Listen(PortalRequestPath(fBus.baseService(), token))) {
        Finish(ScreenshotCallError(fBus.lastError().name(), fBus.lastError().message()));
        return;
    }

    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kPortalService), QLatin1String(kPortalPath),
                                       QLatin1String(kScreenshotInterface), QStringLiteral("Screenshot"));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("interactive"), true},
                              {QStringLiteral("modal"), true}};
    call << parentWindow << options;
    auto* watcher = new QDBusPendingCallWatcher(fBus.asyncCall(call), this);
    const quint64 serial = fSerial;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, serial](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (serial != fSerial || !Pending())
            return; // a later request, or this one has been answered already
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (reply.isError()) {
            StopListening();
            Finish(ScreenshotCallError(reply.error().name(), reply.error().message()));
            return;
        }
        // Portals before version 0.9 choose the path themselves.
        const QString path = reply.value().path();
        if (path != fRequestPath && !Listen(path))
            Finish(ScreenshotCallError(fBus.lastError().name(), fBus.lastError().message()));
    });
}

bool TScreenshotPortal::Listen(const QString& path)
{
    StopListening();
    if (!fBus.connect(QLatin1String(kPortalService), path, QLatin1String(kRequestInterface), QStringLiteral("Response"),
                      this, SLOT(Response(uint, QVariantMap))))
        return false;
    fRequestPath = path;
    return true;
}

void TScreenshotPortal::StopListening()
{
    if (fRequestPath.isEmpty())
        return;
    fBus.disconnect(QLatin1String(kPortalService), fRequestPath, QLatin1String(kRequestInterface),
                    QStringLiteral("Response"), this, SLOT(Response(uint, QVariantMap)));
    fRequestPath.clear();
}

void TScreenshotPortal::Response(uint response, const QVariantMap& results)
{
    StopListening();
    Finish(ScreenshotOutcome(response, results));
}

void TScreenshotPortal::Finish(const TScreenshotOutcome& outcome)
{
    emit Finished(outcome);
}
