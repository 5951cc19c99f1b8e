#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

// The desktop's screenshot portal (org.freedesktop.portal.Screenshot on the
// session bus), asked for an interactive screenshot so that the desktop lets
// the user choose what to take. The portal answers in two steps: the call
// gives the path of a Request object at once, and that object later sends its
// Response signal with a code (0 taken, 1 cancelled by the user, 2 failed)
// and, when taken, the picture's "uri".

inline constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
inline constexpr char kScreenshotInterface[] = "org.freedesktop.portal.Screenshot";
inline constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";

// The path of the Request object that the portal makes for a call from the
// connection with unique name `sender` (":1.42") and the handle token
// `token`: /org/freedesktop/portal/desktop/request/1_42/<token>.
QString PortalRequestPath(const QString& sender, const QString& token);

// How a screenshot request ended.
struct TScreenshotOutcome {
    enum class TStatus {
        Taken,     // `file` holds the picture
        Cancelled, // the user closed the portal's dialog: nothing to say
        Failed,    // `message` says why, for the user
        NoPortal,  // no portal answers for screenshots; `message` has the bus's word
    };
    TStatus status = TStatus::Failed;
    QString file;
    QString message;
};

// The outcome that a Response signal gives.
TScreenshotOutcome ScreenshotOutcome(uint response, const QVariantMap& results);

// The outcome of a call that the bus answered with an error: a missing
// portal, or one without a screenshot service, is NoPortal; anything else
// has failed.
TScreenshotOutcome ScreenshotCallError(const QString& errorName, const QString& errorMessage);

// Whether the bus has the portal running, or can start it.
bool ScreenshotPortalPresent(const QDBusConnection& bus);

// How the screen is taken: through the portal when there is one, else by a
// grab of the screen where the window system lets a program read it (X11).
enum class TScreenshotRoad { Portal, ScreenGrab, None };
TScreenshotRoad ChooseScreenshotRoad(bool portalPresent, const QString& platformName);

// One screenshot request at a time; a new request drops the one before it.
class TScreenshotPortal : public QObject {
    Q_OBJECT
public:
    explicit TScreenshotPortal(QDBusConnection bus, QObject* parent = nullptr);
    ~TScreenshotPortal() override;

    // Asks for an interactive screenshot. `parentWindow` identifies the
    // window the portal's dialog belongs to ("x11:<hex id>", or empty).
    // Finished follows once, unless another request comes first.
    void Request(const QString& parentWindow);

    bool Pending() const { return !fRequestPath.isEmpty(); }
    // The path listened on for the pending request's Response.
    const QString& RequestPath() const { return fRequestPath; }

signals:
    void Finished(const TScreenshotOutcome& outcome);

private slots:
    void Response(uint response, const QVariantMap& results);

private:
    // False when the bus does not take the subscription.
    bool Listen(const QString& path);
    void StopListening();
    void Finish(const TScreenshotOutcome& outcome);

    QDBusConnection fBus;
    QString fRequestPath;
    quint64 fSerial = 0;
};

Q_DECLARE_METATYPE(TScreenshotOutcome)
