// The About window driven offscreen: title and texts with and without a
// language, the rain in its backing picture, the Info menu and its guard,
// the links and the licence, the hidden picture's slide and dragging.
#include "about/AboutLinks.h"
#include "about/widgets/AboutBox.h"
#include "localization/LanguageFiles.h"
#include "localization/widgets/LinkLabel.h"
#include "platform/WebHost.h"
#include "support/FifoGuard.h"
#include "support/KeyboardFocus.h"
#include "support/ModalAnswers.h"
#include "support/UrlCatcher.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

class AboutBoxTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> shipped;
    std::uint32_t now = 1000; // the window's clock, in milliseconds

    std::unique_ptr<TAboutBox> MakeBox(TRainRandom random = {})
    {
        TAboutBoxInfo info;
        info.productName = QStringLiteral("Lantrix");
        info.version = QStringLiteral("1.2");
        info.shippedFilesFolder = shipped->path();
        info.tickCount = [this] { return now; };
        info.random = std::move(random);
        auto box = std::make_unique<TAboutBox>(info);
        box->show();
        return box;
    }

    static void UseLanguage(const QStringList& lines)
    {
        LanguageFilePath = QStringLiteral("/languages/Test.lang.txt");
        LanguageLines = lines;
    }

private slots:
    void init()
    {
        shipped = std::make_unique<QTemporaryDir>();
        now = 1000;
    }

    void cleanup()
    {
        ForgetMessageBoxAnswers();
        LanguageFilePath.clear();
        LanguageLines.clear();
        shipped.reset();
    }

    void titleAndTexts_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("texts"); // OK, Info and the three menu entries

        const QStringList english{"OK", "Info", "Acknowledgements...", "How to uninstall...", "License..."};
        QTest::newRow("no language") << QStringList{} << "About Lantrix" << english;
        QTest::newRow("german") << QStringList{"{About %s}Über %s",
                                               "{OK}OK",
                                               "{Info}Info",
                                               "{Acknowledgements...}Danksagungen...",
                                               "{How to uninstall...}Deinstallation...",
                                               "{License...}Lizenz..."}
                                << "Über Lantrix"
                                << QStringList{"OK", "Info", "Danksagungen...", "Deinstallation...", "Lizenz..."};
        QTest::newRow("pattern after the name")
            << QStringList{"{About %s}%s hakkında"} << "Lantrix hakkında" << english;
        QTest::newRow("integer placeholder") << QStringList{"{About %s}Über %d"} << "About Lantrix" << english;
        QTest::newRow("two placeholders") << QStringList{"{About %s}%s über %s"} << "About Lantrix" << english;
        QTest::newRow("lone percent") << QStringList{"{About %s}100% %s"} << "About Lantrix" << english;
        QTest::newRow("no placeholder") << QStringList{"{About %s}Über"} << "About Lantrix" << english;
    }

    void titleAndTexts()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, title);
        QFETCH(QStringList, texts);
        UseLanguage(lines);
        auto box = MakeBox();
        QCOMPARE(box->windowTitle(), title);
        QCOMPARE((QStringList{box->BitBtn1->text(), box->BitBtn2->text(), box->Credits1->text(),
                              box->Howtouninstall1->text(), box->LicensePrivacyPolicy1->text()}),
                 texts);
        QCOMPARE(box->Label2->text(), QStringLiteral("Lantrix 1.2"));
        QCOMPARE(box->Label2->textFormat(), Qt::PlainText);
    }

    void layout()
    {
        auto box = MakeBox();
        QCOMPARE(box->size(), QSize(446, 374));
        QVERIFY(box->windowFlags().testFlag(Qt::Tool));
        QCOMPARE(box->Panel1->geometry(), QRect(48, 42, 350, 291));
        QCOMPARE(box->PanelEgg->geometry(), QRect(61, 77, 324, 220));
        QVERIFY(box->PanelEgg->isHidden());
        // PanelEgg lies below Panel1.
        const QObjectList children = box->children();
        QVERIFY(children.indexOf(box->PanelEgg) < children.indexOf(box->Panel1));
        QCOMPARE(box->BitBtn1->geometry(), QRect(49, 224, 122, 33));
        QCOMPARE(box->BitBtn2->geometry(), QRect(177, 224, 122, 33));
        QVERIFY(!box->Image2->pixmap().isNull());
        QVERIFY(!box->ImageEgg->pixmap().isNull());
        QVERIFY(!box->BitBtn2->icon().isNull());
        QCOMPARE(box->Label5->text(), QStringLiteral(LANTRIX_WEB_HOST));
        QCOMPARE(box->Label5->toolTip(), MakerSiteAddress(MakerWebHost()).toString());
        QVERIFY(box->tmTimer->isActive());
        QCOMPARE(box->tmTimer->interval(), 50);
        QVERIFY(!box->TimerEgg->isActive());
        QCOMPARE(box->TimerEgg->interval(), 5);
    }

    // One drop at the bottom of the first column, at full brightness: its
    // head shows in the margin below the panel.
    void rainDrawsIntoTheShownPicture()
    {
        auto box = MakeBox([](int n) { return n - 1; }); // row: last; speed 3; brightness 99
        QCOMPARE(box->rain.matrixWidth, 446 / 8);
        QCOMPARE(box->rain.matrixHeight, 374 / 12);
        QCOMPARE(int(box->rain.Drops().size()), 2 * (446 / 8));
        box->rain.Drops().resize(1);
        box->tmTimerTimer();
        const QRect head(0, 30 * 12, 8, 12);
        auto greenest = [&head](const QImage& picture) {
            int green = 0;
            for (int y = head.top(); y <= head.bottom(); ++y)
                for (int x = head.left(); x <= head.right(); ++x)
                    green = std::max(green, QColor(picture.pixel(x, y)).green());
            return green;
        };
        QVERIFY(greenest(box->outCanvas.scaled(box->size())) > 150);
        QVERIFY(greenest(box->grab().toImage().scaled(box->size())) > 150);
    }

    void resizeStartsNewDropsOnTheSameGrid()
    {
        auto box = MakeBox();
        box->rain.Drops()[0].y = 999;
        QResizeEvent resize(box->size(), box->size());
        QCoreApplication::sendEvent(box.get(), &resize);
        QCOMPARE(box->rain.matrixWidth, 446 / 8);
        QCOMPARE(int(box->rain.Drops().size()), 2 * (446 / 8));
        QVERIFY(box->rain.Drops()[0].y < box->rain.matrixHeight);
    }

    // A click on "Info" while its menu is open closes the menu and leaves it
    // closed; a click later opens it again.
    void infoMenuGuard()
    {
        auto box = MakeBox();
        int shown = 0;
        connect(box->PopupMenu1, &QMenu::aboutToShow, [&shown] { ++shown; });
        bool wasOpen = false;
        QTimer::singleShot(0, [&] {
            wasOpen = QApplication::activePopupWidget() == box->PopupMenu1;
            // Through the window system, as a user's click comes: the open
            // menu sees it first.
            const QPoint onButton = box->BitBtn2->mapTo(box.get(), box->BitBtn2->rect().center());
            QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, onButton);
            if (QApplication::activePopupWidget())
                QApplication::activePopupWidget()->close();
        });
        QTest::mouseClick(box->BitBtn2, Qt::LeftButton);
        QVERIFY(wasOpen);
        QCOMPARE(shown, 1);
        QVERIFY(!QApplication::activePopupWidget());
        // The same click, had it reached the button within 100 ms, is refused.
        bool reopened = false;
        QTimer::singleShot(0, [&reopened] {
            if (QApplication::activePopupWidget()) {
                reopened = true;
                QApplication::activePopupWidget()->close();
            }
        });
        box->BitBtn2->click();
        QCoreApplication::processEvents();
        QVERIFY(!reopened);
        QCOMPARE(shown, 1);

        now += 150;
        QTimer::singleShot(0, [&] {
            wasOpen = QApplication::activePopupWidget() == box->PopupMenu1;
            box->PopupMenu1->close();
        });
        box->BitBtn2->click();
        QVERIFY(wasOpen);
        QCOMPARE(shown, 2);
    }

    void menuDropsDownBelowTheButton()
    {
        auto box = MakeBox();
        QPoint at;
        QTimer::singleShot(0, [&] {
            at = box->PopupMenu1->pos();
            box->PopupMenu1->close();
        });
        box->BitBtn2->click();
        QCOMPARE(at, box->BitBtn2->mapToGlobal(QPoint(0, box->BitBtn2->height())));
    }

    void linksOpenTheMakersPages()
    {
        TUrlCatcher catcher({"http", "https"});
        auto box = MakeBox();
        box->Credits1->trigger();
        box->Howtouninstall1->trigger();
        QTest::mouseClick(box->Label5, Qt::LeftButton);
        QCOMPARE(catcher.urls, (QList<QUrl>{AcknowledgementsAddress(MakerWebHost()), UninstallAddress(MakerWebHost()),
                                            MakerSiteAddress(MakerWebHost())}));
    }

    // Every control that acts is reached with Tab, and shows that it has the
    // focus: the window looks different around it once the focus moves on.
    void everyControlByKeyboard_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("OK") << "BitBtn1";
        QTest::newRow("Info") << "BitBtn2";
        QTest::newRow("site link") << "Label5";
    }

    void everyControlByKeyboard()
    {
        QFETCH(QString, control);
        auto box = MakeBox();
        box->tmTimer->stop(); // the rain would change the picture by itself
        QVERIFY(ActivateWindow(box.get()));
        auto* widget = box->findChild<QWidget*>(control);
        QVERIFY(widget);
        QVERIFY2(TabUntilFocused(box.get(), widget) >= 0, "Tab does not reach it");
        const QImage focused = BandAround(box.get(), widget);
        QTest::keyClick(widget, Qt::Key_Tab);
        QVERIFY(!widget->hasFocus());
        QVERIFY2(BandAround(box.get(), widget) != focused, "the focus does not show");
    }

    void siteLinkOpensByKeyboard()
    {
        TUrlCatcher catcher({"http", "https"});
        auto box = MakeBox();
        QVERIFY(ActivateWindow(box.get()));
        QVERIFY(TabUntilFocused(box.get(), box->Label5) >= 0);
        QTest::keyClick(box->Label5, Qt::Key_Return);
        QCOMPARE(catcher.urls, QList<QUrl>{MakerSiteAddress(MakerWebHost())});
        QVERIFY(box->isVisible()); // the key opened the page, not the OK button
    }

    void licenceOpensInTheTextViewer()
    {
        QFile licence(shipped->filePath("license.txt"));
        QVERIFY(licence.open(QIODevice::WriteOnly));
        licence.close();
        TUrlCatcher catcher({"file"});
        auto box = MakeBox();
        box->LicensePrivacyPolicy1->trigger();
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(shipped->filePath("license.txt"))});
    }

    // Anything but a regular file of that name is a missing licence: the
    // desktop's viewer is never handed a FIFO to wait on.
    void missingLicenceIsSaid_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("inPlace"); // "", "fifo" or "folder" named license.txt
        QTest::addColumn<QString>("shown");
        QTest::newRow("english") << QStringList{} << ""
                                 << "License|File not found!";
        QTest::newRow("german") << QStringList{"{License}Lizenz", "{File not found!}Datei nicht gefunden!"} << ""
                                << "Lizenz|Datei nicht gefunden!";
        QTest::newRow("fifo") << QStringList{} << "fifo"
                              << "License|File not found!";
        QTest::newRow("folder") << QStringList{} << "folder"
                                << "License|File not found!";
    }

    void missingLicenceIsSaid()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, inPlace);
        QFETCH(QString, shown);
        UseLanguage(lines);
        std::unique_ptr<TFifoGuard> fifo;
        if (inPlace == "fifo") {
            fifo = std::make_unique<TFifoGuard>(shipped->filePath("license.txt"));
            QVERIFY(fifo->Made());
        } else if (inPlace == "folder") {
            QVERIFY(QDir(shipped->path()).mkdir("license.txt"));
        }
        TUrlCatcher catcher({"file"});
        auto box = MakeBox();
        QString seen;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int buttons = 0;
        AnswerNextMessageBox([&](QMessageBox* message) {
            seen = message->windowTitle() + "|" + message->text();
            icon = message->icon();
            buttons = int(message->buttons().size());
            message->button(QMessageBox::Ok)->click();
        });
        box->LicensePrivacyPolicy1->trigger();
        QCOMPARE(seen, shown);
        QVERIFY(catcher.urls.isEmpty());
        if (fifo) {
            fifo->Done();
            QVERIFY(!fifo->Rescued());
        }
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, 1);
    }

    void hiddenPictureSlide()
    {
        auto box = MakeBox();
        QTest::mouseDClick(box->Image1, Qt::LeftButton);
        QVERIFY(box->PanelEgg->isVisible());
        QVERIFY(box->TimerEgg->isActive());
        box->TimerEgg->stop(); // the test steps the slide itself
        box->TimerEgg->start();
        box->TimerEggTimer();
        QCOMPARE(box->Panel1->x(), 53);
        // During the slide both double-clicks are ignored.
        QTest::mouseDClick(box->Image1, Qt::LeftButton);
        QCOMPARE(box->Panel1->x(), 53);
        QTest::mouseDClick(box->ImageEgg, Qt::LeftButton);
        QVERIFY(box->PanelEgg->isVisible());
        QCOMPARE(box->Panel1->x(), 53);
        int ticks = 1;
        while (box->TimerEgg->isActive() && ticks < 1000) {
            box->TimerEggTimer();
            ++ticks;
        }
        QCOMPARE(ticks, 80);
        QCOMPARE(box->Panel1->x(), 448); // beyond the client width of 446
        QCOMPARE(box->Panel1->y(), 42);

        QTest::mouseDClick(box->ImageEgg, Qt::LeftButton);
        QVERIFY(box->PanelEgg->isHidden());
        QCOMPARE(box->Panel1->pos(), QPoint(48, 42));
    }

    void dragging_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("moved");
        QTest::newRow("left on the panel") << "Panel1" << int(Qt::LeftButton) << QPoint(30, 20);
        QTest::newRow("middle on the panel") << "Panel1" << int(Qt::MiddleButton) << QPoint(30, 20);
        QTest::newRow("right on the panel") << "Panel1" << int(Qt::RightButton) << QPoint(0, 0);
        QTest::newRow("left on the window") << "AboutBox" << int(Qt::LeftButton) << QPoint(30, 20);
        QTest::newRow("left on the logo") << "Image2" << int(Qt::LeftButton) << QPoint(30, 20);
        QTest::newRow("left on the product") << "Label2" << int(Qt::LeftButton) << QPoint(30, 20);
        QTest::newRow("middle on the icon") << "Image1" << int(Qt::MiddleButton) << QPoint(30, 20);
        QTest::newRow("left on a button") << "BitBtn1" << int(Qt::LeftButton) << QPoint(0, 0);
    }

    void dragging()
    {
        QFETCH(QString, part);
        QFETCH(int, button);
        QFETCH(QPoint, moved);
        auto box = MakeBox();
        QWidget* widget = part == box->objectName() ? box.get() : box->findChild<QWidget*>(part);
        QVERIFY(widget);
        const QPoint start = box->pos();
        const auto mouseButton = static_cast<Qt::MouseButton>(button);
        QTest::mousePress(widget, mouseButton, {}, QPoint(4, 4));
        QTest::mouseMove(widget, QPoint(34, 24));
        QTest::mouseRelease(widget, mouseButton, {}, QPoint(34, 24));
        QTRY_COMPARE(box->pos(), start + moved);
        QVERIFY(!box->drag.dragging);
    }

    void okAndEscapeClose()
    {
        auto box = MakeBox();
        QTest::mouseClick(box->BitBtn1, Qt::LeftButton);
        QVERIFY(!box->isVisible());
        auto again = MakeBox();
        again->BitBtn2->setFocus();
        QTest::keyClick(again->BitBtn2, Qt::Key_Escape);
        QVERIFY(!again->isVisible());
    }

    void executeMakesTheWindowCurrent()
    {
        TAboutBox* seen = nullptr;
        QTimer::singleShot(0, [&seen] {
            seen = AboutBox;
            if (AboutBox)
                AboutBox->close();
        });
        TAboutBox::Execute(TAboutBoxInfo{"Lantrix", "1.2", shipped->path(), {}, {}}, nullptr);
        QVERIFY(seen);
        QCOMPARE(AboutBox, nullptr);
    }
};

QTEST_MAIN(AboutBoxTest)
#include "tst_about_box.moc"
