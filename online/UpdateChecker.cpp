#include "online/UpdateChecker.h"

#include "localization/LanguageFiles.h"
#include "online/ClientDescription.h"

#include <QDate>
#include <QLocale>

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace {

// The class name of an error, as the log names it.
QString ClassName(const std::exception& error)
{
    const char* mangled = typeid(error).name();
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                          &std::free);
    return QString::fromUtf8(status == 0 && demangled ? demangled.get() : mangled);
}

QString MessageOf(const std::exception& error)
{
    return QString::fromUtf8(error.what());
}

} // namespace

QString TodayShortDate()
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

TChecker::TChecker(TCheckerEnvironment environment, QObject* parent)
    : QThread(parent)
    , fEnvironment(std::move(environment))
{
}

TChecker::~TChecker()
{
    Abort();
    wait();
}

void TChecker::Abort()
{
    fAborted.store(true, std::memory_order_release);
    if (fEnvironment.notice)
        fEnvironment.notice->Cancel();
}

void TChecker::run()
{
    Execute();
}

QString TChecker::Today() const
{
    return fEnvironment.today ? fEnvironment.today() : TodayShortDate();
}

void TChecker::Execute()
{
    CheckerFinished.store(false, std::memory_order_relaxed);
    Errors.Clear();
    try {
        Check();
    } catch (const std::exception& error) {
        Record(ClassName(error) + QStringLiteral(" Error:\r") + MessageOf(error));
    } catch (...) {
        Record(QStringLiteral("Unknown Error:\r"));
    }
    // Always the last write of a run.
    CheckerFinished.store(true, std::memory_order_release);
}

void TChecker::Check()
{
    QString machineId;
    try {
        machineId = fEnvironment.machineId ? fEnvironment.machineId() : MachineId();
    } catch (...) {
        machineId.clear();
        Record(QStringLiteral("Error: GUID generate problem!"));
    }

    try {
        fStore = std::make_unique<UpdateCheckStore>(fEnvironment.storeFile);
    } catch (...) {
        Record(QStringLiteral("Error: Registry open problem!"));
    }
    const QString section = QLatin1String(kUpdateSection);
    UpdateCheckStore* store = fStore.get();

    // What the store says; its defaults when it could not be opened.
    const QString lastCheckDay = store ? store->ReadString(section, kLastUpdateCheck, QString()) : QString();
    int count = store ? store->ReadInteger(section, kLastUpdateCheckCount, 0) : 0;
    const QString storedLink = store ? store->ReadString(section, kCurrentURL, QString()) : QString();
    if (!storedLink.isEmpty())
        DownloadLink = UnscrambleText(storedLink);
    ShowUpdateValue = store ? store->ReadInteger(section, kShowUpdate, 1) : 1;

    if (ShowUpdateValue == 0)
        return; // switched off: no request
    const QString today = Today();
    if (lastCheckDay == today && count >= kChecksPerDay)
        return; // enough for today

    try {
        const FormFields fields =
            CheckFields(fEnvironment.appCaption, fEnvironment.appVersion, OsDescription(), LocaleTag(), machineId);

        // https first; after a failure once more over plain http, whose
        // reply, when it comes, wipes every error noted so far. Not after a
        // certificate that failed the check: that request is not repeated in
        // clear text.
        QString reply;
        const QString address = fEnvironment.serverAddress;
        try {
            reply = PostForm(QStringLiteral("https://") + address, fields, fEnvironment.timeoutMs, &fAborted);
        } catch (const TWebAborted&) {
            return;
        } catch (const std::exception& secureError) {
            Record(QStringLiteral("HTTPS Response:\r") + MessageOf(secureError));
            if (!MayRetryOverPlainHttp(secureError))
                return;
            try {
                reply = PostForm(QStringLiteral("http://") + address, fields, fEnvironment.timeoutMs, &fAborted);
                Errors.Clear();
            } catch (const TWebAborted&) {
                return;
            } catch (const std::exception& plainError) {
                Record(QStringLiteral("HTTP Response:\r") + MessageOf(plainError));
                reply.clear();
            }
        }
        if (Aborted())
            return;

        if (reply.startsWith(QLatin1String("ERROR")))
            Record(QStringLiteral("INVALIDSERVERRESPONSE")); // the server's own error message
        if (Errors.CheckError)
            return;
        const QStringList lines = ReplyLines(reply);
        const QString result = lines.size() >= 4 ? ExtractTag(lines[3], QStringLiteral("result")) : QString();
        if (!IsValidResult(result)) {
            Record(QStringLiteral("INVALIDSERVERRESPONSE"));
            return;
        }

        // A valid reply. Each step goes on after its own failure; none writes
        // once the check has been given up.
        try {
            count = lastCheckDay == today ? count + 1 : 1;
            if (Aborted())
                return;
            if (store) {
                store->WriteString(section, kLastUpdateCheck, today);
                store->WriteInteger(section, kLastUpdateCheckCount, count);
            }
        } catch (...) {
        }
        try {
            LatestVersion = ExtractTag(lines[0], QStringLiteral("version"));
            if (Aborted())
                return;
            if (store)
                store->WriteString(section, kCurrentVersion, LatestVersion);
        } catch (...) {
        }
        try {
            DownloadLink = ExtractTag(lines[1], QStringLiteral("url"));
            if (Aborted())
                return;
            if (store)
                store->WriteString(section, kCurrentURL, ScrambleText(DownloadLink));
        } catch (...) {
        }
        try {
            const QString notice = lines.size() >= 6 ? ExtractTag(lines[5], QStringLiteral("important")) : QString();
            if (!notice.trimmed().isEmpty() && fEnvironment.notice && !Aborted())
                fEnvironment.notice->Show(Translate(QStringLiteral("IMPORTANT")), notice);
        } catch (...) {
        }
        if (Aborted())
            return;

        UpdateAvailable = IsUpdateDue(LatestVersion, fEnvironment.appVersion, lastCheckDay, today, count);
    } catch (const std::exception& error) {
        Record(ClassName(error) + QStringLiteral(" Error:\r") + MessageOf(error));
    }
}
