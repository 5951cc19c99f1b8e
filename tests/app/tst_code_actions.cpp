// What the code actions do without a window: the desktop's handler for a
// scheme asked in the background and remembered, an action that acts only
// on the content it was offered for, and files written whole or not at all.
#include "app/CodeActions.h"
#include "support/UrlCatcher.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class CodeActionsTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    QByteArray path;

    // An xdg-mime in `folder` that logs each question and answers as the
    // scheme's name says: "slow..." names a handler after a second, "hangs..."
    // never answers, "none..." names none.
    void WriteXdgMime()
    {
        QFile script(folder.filePath(QStringLiteral("bin/xdg-mime")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n"
                     "echo \"$3\" >> \"$(dirname \"$0\")/asked\"\n"
                     "case \"$3\" in\n"
                     "  x-scheme-handler/slow*) sleep 1; echo maps.desktop ;;\n"
                     "  x-scheme-handler/hangs*) exec sleep 60 ;;\n"
                     "  x-scheme-handler/none*) exit 4 ;;\n"
                     "esac\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
    }

    int TimesAsked(const QString& scheme)
    {
        QFile log(folder.filePath(QStringLiteral("bin/asked")));
        if (!log.open(QIODevice::ReadOnly))
            return 0;
        return QString::fromUtf8(log.readAll()).split(u'\n').count(QStringLiteral("x-scheme-handler/") + scheme);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("bin")));
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("empty")));
        WriteXdgMime();
        path = qgetenv("PATH");
    }

    void cleanup() { qputenv("PATH", path); }

    void schemeHandlerIsAskedInTheBackgroundOnce_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<bool>("found"); // xdg-mime on the PATH
        QTest::addColumn<bool>("expected");
        QTest::newRow("a handler, named after a while") << "slow-geo" << true << true;
        QTest::newRow("no handler") << "none-geo" << true << false;
        QTest::newRow("xdg-mime never answers") << "hangs-geo" << true << false;
        QTest::newRow("no xdg-mime at all") << "missing-geo" << false << false;
    }

    void schemeHandlerIsAskedInTheBackgroundOnce()
    {
        QFETCH(QString, scheme);
        QFETCH(bool, found);
        QFETCH(bool, expected);
        // Our xdg-mime before the system's; or a PATH on which there is none.
        qputenv("PATH", found ? QFile::encodeName(folder.filePath(QStringLiteral("bin"))) + ':' + path
                              : QFile::encodeName(folder.filePath(QStringLiteral("empty"))));
        QObject context;
        std::optional<bool> first, second;
        AskDesktopSchemeHandler(scheme, &context, [&](bool has) { first = has; });
        AskDesktopSchemeHandler(scheme, &context, [&](bool has) { second = has; });
        QVERIFY(!first); // the question does not wait for xdg-mime
        QTRY_VERIFY_WITH_TIMEOUT(first && second, 15000);
        QCOMPARE(*first, expected);
        QCOMPARE(*second, expected);
        // Remembered: answered at once, without asking again.
        std::optional<bool> later;
        AskDesktopSchemeHandler(scheme, &context, [&](bool has) { later = has; });
        QCOMPARE(later, std::optional<bool>(expected));
        QCOMPARE(TimesAsked(scheme), found ? 1 : 0);
    }

    void answerForAGoneReceiverGoesNowhere()
    {
        qputenv("PATH", QFile::encodeName(folder.filePath(QStringLiteral("bin"))) + ':' + path);
        bool answered = false;
        auto context = std::make_unique<QObject>();
        AskDesktopSchemeHandler(QStringLiteral("slow-gone"), context.get(), [&](bool) { answered = true; });
        context.reset();
        std::optional<bool> other;
        QObject stays;
        AskDesktopSchemeHandler(QStringLiteral("slow-gone"), &stays, [&](bool has) { other = has; });
        QTRY_VERIFY_WITH_TIMEOUT(other.has_value(), 15000);
        QVERIFY(!answered);
    }

    // An action runs only on the content that offers it.
    void actionsActOnlyOnTheirContent_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("opened"); // empty: nothing
        QTest::newRow("call a number") << "tel:+15550100" << int(TCodeAction::Call) << "tel:+15550100";
        QTest::newRow("a number is no link") << "tel:+15550100" << int(TCodeAction::OpenLink) << "";
        QTest::newRow("a link is no number") << "https://lantrix.invalid/" << int(TCodeAction::Call) << "";
        QTest::newRow("plain text offers nothing") << "just text" << int(TCodeAction::OpenLink) << "";
    }

    void actionsActOnlyOnTheirContent()
    {
        QFETCH(QString, text);
        QFETCH(int, action);
        QFETCH(QString, opened);
        TUrlCatcher catcher({"http", "https", "tel"});
        TCodeActions actions;
        QVERIFY(actions.SetText(text));
        QVERIFY(!actions.SetText(text)); // the same text again changes nothing
        actions.Run(TCodeAction(action));
        QCOMPARE(catcher.urls.size(), opened.isEmpty() ? 0 : 1);
        if (!opened.isEmpty())
            QCOMPARE(catcher.urls.first().toString(), opened);
    }

    void filesAreWrittenWholeOrNotAtAll()
    {
        TCodeActions actions;
        QSignalSpy notes(&actions, &TCodeActions::StatusMessage);
        QSignalSpy warnings(&actions, &TCodeActions::Warning);
        QVERIFY(actions.SetText(QStringLiteral("MECARD:N:Lima,Ana;TEL:+15550100;;")));
        QVERIFY(!actions.FileOffer(TCodeAction::AddToCalendar));
        const std::optional<TFileOffer> offer = actions.FileOffer(TCodeAction::SaveContact);
        QVERIFY(offer);
        QVERIFY(offer->suggestedName.endsWith(QStringLiteral(".vcf")));
        const QString target = folder.filePath(QStringLiteral("Ana Lima.vcf"));
        actions.Save(*offer, target);
        QCOMPARE(notes.size(), 1);
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), offer->bytes);
        actions.Save(*offer, folder.filePath(QStringLiteral("no such folder/x.vcf")));
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings.first().first().toString().startsWith(QStringLiteral("The file could not be saved: ")));
    }
};

QTEST_MAIN(CodeActionsTest)
#include "tst_code_actions.moc"
