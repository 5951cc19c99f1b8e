// The webcam tab driven offscreen with test cameras: device list, Start/STOP,
// decoding of the frames with the selected code format, cameras that fail to
// start or end by themselves, a start that waits for no frame, closing during
// capture, a device provider that hangs while the list is made.
#include "app/widgets/AppForm.h"
#include "capture/CameraSources.h"
#include "capture/DeviceProviders.h"
#include "capture/TestDeviceProviders.h"
#include "capture/VideoImage.h"
#include "support/GatedCamera.h"
#include "support/MainWindowFixture.h"
#include "support/TestCameras.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
const QString kBroken = QStringLiteral("Webcam Tab Broken Camera");
constexpr int kTimeout = 30000;
} // namespace

class WebcamTabTest : public QObject, TMainWindowFixture {
    Q_OBJECT

    // As the user does it: a click on the "Webcam" tab.
    static void ActivateWebcamTab(TAppForm& form)
    {
        QTabBar* bar = form.PageControl1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    }

    static void ActivateImageTab(TAppForm& form)
    {
        QTabBar* bar = form.PageControl1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    }

    static bool SelectDevice(TAppForm& form, const QString& name)
    {
        const int index = form.ComboBox1->findText(name);
        form.ComboBox1->setCurrentIndex(index);
        return index >= 0;
    }

    // Waits until the front-end has stored and the window has handled at
    // least count further frames.
    static bool WaitForFrames(TAppForm& form, int count)
    {
        TVideoImage* video = form.VideoImage();
        const std::int64_t conversions = video->ConversionCount();
        const std::int32_t frames = video->FrameCount();
        return QTest::qWaitFor(
            [&] { return video->ConversionCount() >= conversions + count && video->FrameCount() >= frames + count; },
            kTimeout);
    }

    // A window whose webcam tab has started the gated camera, which has not
    // been given a frame.
    std::unique_ptr<TAppForm> StartGatedCamera(const TGatedCamera& camera, const QString& name)
    {
        TCameraSources::Add(name, camera.Description());
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        if (!SelectDevice(*form, name))
            return nullptr;
        form->Button1->click();
        return form;
    }

    // cameras.ini in the data folder of the windows MakeForm makes.
    bool WriteCamerasIni(const QString& text)
    {
        QFile file(exeFolder + QStringLiteral("/cameras.ini"));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
    }

    static QStringList ListedDevices(const TAppForm& form)
    {
        QStringList listed;
        for (int i = 0; i < form.ComboBox1->count(); ++i)
            listed.append(form.ComboBox1->itemText(i));
        return listed;
    }

    static bool RealCamerasPresent()
    {
        QStringList devices;
        TVideoImage::GetListOfDevices(devices);
        return devices.size() > TCameraSources::Added().size();
    }

private slots:
    void init()
    {
        Init();
        TCameraSources::Clear();
        RegisterStandardTestCameras(kSamples + QStringLiteral("/qr_code.png"));
    }

    void cleanup()
    {
        TCameraSources::Clear();
        Cleanup();
        SetDeviceProviderTimeout(kDeviceProviderTimeout);
    }

    void deviceListIsRebuiltAtEachActivation()
    {
        auto form = MakeForm();
        QCOMPARE(form->ComboBox1->count(), 0); // empty until the tab is first activated
        ActivateWebcamTab(*form);
        QTRY_VERIFY_WITH_TIMEOUT(!form->VideoImage()->DeviceListPending(), kTimeout);
        QStringList expected;
        TVideoImage::GetListOfDevices(expected);
        QStringList listed;
        for (int i = 0; i < form->ComboBox1->count(); ++i)
            listed.append(form->ComboBox1->itemText(i));
        QCOMPARE(listed, expected);
        QCOMPARE(form->ComboBox1->currentIndex(), 0);

        form->ComboBox1->setCurrentIndex(3);
        TCameraSources::Add(QStringLiteral("Plugged In Later"),
                            TestPatternDescription(TTestCameraFormat::YUY2, 160, 120));
        ActivateImageTab(*form);
        QCOMPARE(form->ComboBox1->count(), expected.size()); // only the webcam tab lists
        ActivateWebcamTab(*form);
        QCOMPARE(form->ComboBox1->count(), expected.size() + 1);
        QCOMPARE(form->ComboBox1->itemText(expected.size()), QStringLiteral("Plugged In Later"));
        QCOMPARE(form->ComboBox1->currentIndex(), 0);
    }

    // The user's camera sources come after the real cameras and before the
    // test cameras; the file is read anew at every listing, and a source is
    // started like any camera.
    // A camera with a long name (cameras.ini may give any) is listed without
    // making the window wider: the list shows the beginning of its name.
    void longCameraNameLeavesTheWindowsWidth()
    {
        const QString name = QStringLiteral("Camera ") + QString(300, u'x');
        QVERIFY(WriteCamerasIni(name + QStringLiteral(" = videotestsrc ! videoconvert\n")));
        auto form = MakeForm();
        form->resize(1024, 700);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QSize minimum = form->minimumSizeHint();
        ActivateWebcamTab(*form);
        QTRY_VERIFY_WITH_TIMEOUT(ListedDevices(*form).contains(name), kTimeout);
        QVERIFY(SelectDevice(*form, name));
        QTest::qWait(0);
        QCOMPARE(form->minimumSizeHint().width(), minimum.width());
        QCOMPARE(form->width(), 1024);
        const QRect button(form->Button1->mapTo(form.get(), QPoint(0, 0)), form->Button1->size());
        QVERIFY(form->rect().contains(button));
    }

    void camerasIniSourcesAreListedAfterTheRealCameras()
    {
        const QString qr =
            StillPictureDescription(kSamples + QStringLiteral("/qr_code.png"), TTestCameraFormat::I420, 320, 240);
        QVERIFY(
            WriteCamerasIni(QStringLiteral("; my cameras\r\n[Cameras]\r\nShop Door = %1\r\n\r\nnot a camera line\r\n"
                                           "# Old One = videotestsrc\r\nK\u00fcche = videotestsrc ! videoconvert\r\n")
                                .arg(qr)));
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QTRY_VERIFY_WITH_TIMEOUT(!form->VideoImage()->DeviceListPending(), kTimeout); // the real cameras too
        const QStringList listed = ListedDevices(*form);
        const qsizetype testCameras = TCameraSources::Added().size();
        const qsizetype real = listed.size() - 2 - testCameras;
        QVERIFY(real >= 0);
        QCOMPARE(listed.mid(real, 2), (QStringList{QStringLiteral("Shop Door"), QStringLiteral("K\u00fcche")}));
        QCOMPARE(listed.mid(real + 2).size(), testCameras);
        QCOMPARE(listed.at(real + 2), TCameraSources::Added().first().name);

        // An edit shows at the next activation of the tab.
        // Back Door's decoder gives its output pad only once it runs.
        const QString decoded =
            QStringLiteral("filesrc location=\"%1/qr_code.png\" ! decodebin ! videoconvert ! videoscale ! "
                           "video/x-raw,width=320,height=240 ! imagefreeze is-live=true ! videoconvert")
                .arg(kSamples);
        QVERIFY(WriteCamerasIni(QStringLiteral("Shop Door = %1\nBack Door = %2\n").arg(qr, decoded)));
        ActivateImageTab(*form);
        ActivateWebcamTab(*form);
        QCOMPARE(ListedDevices(*form).mid(real, 2),
                 (QStringList{QStringLiteral("Shop Door"), QStringLiteral("Back Door")}));

        QVERIFY(SelectDevice(*form, QStringLiteral("Back Door")));
        form->Button1->click();
        QCOMPARE(form->Button1->text(), QStringLiteral("STOP"));
        QTRY_COMPARE_WITH_TIMEOUT(form->Memo2->toPlainText(), kQrText, kTimeout);
        QCOMPARE(form->Image2->Picture().size(), QSize(320, 240));
        form->Button1->click();
        QVERIFY(errors.isEmpty());
    }

    void qrCodeFromCamera_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::newRow("YUY2") << QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480);
        QTest::newRow("I420") << QrCodeCameraName(TTestCameraFormat::I420, 640, 480);
        QTest::newRow("motion JPEG") << QrCodeCameraName(TTestCameraFormat::JPEG, 640, 480);
        QTest::newRow("RGB") << QrCodeCameraName(TTestCameraFormat::RGB, 640, 480);
        QTest::newRow("GRAY8") << QrCodeCameraName(TTestCameraFormat::GRAY8, 640, 480);
        QTest::newRow("NV12") << QrCodeCameraName(TTestCameraFormat::NV12, 640, 480);
    }

    void qrCodeFromCamera()
    {
        QFETCH(QString, camera);
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, camera));
        QVERIFY(form->Memo2->isHidden());
        form->Button1->click();
        QCOMPARE(form->Button1->text(), QStringLiteral("STOP"));
        QVERIFY(form->VideoImage()->VideoRunning());
        QTRY_COMPARE_WITH_TIMEOUT(form->Memo2->toPlainText(), kQrText, kTimeout);
        QVERIFY(!form->Memo2->isHidden());
        QCOMPARE(form->Image2->Picture().size(), QSize(640, 480));

        // With EAN-13 selected the QR code never changes the pane.
        form->CodeFormatEntry(QStringLiteral("EAN_13"))->trigger();
        QCOMPARE(form->State().SelectedCodeFormat(), TBarcodeFormat::EAN_13);
        form->Memo2->setPlainText(QStringLiteral("marker"));
        QVERIFY(WaitForFrames(*form, 10));
        QCOMPARE(form->Memo2->toPlainText(), QStringLiteral("marker"));

        // Capture goes on on the hidden tab, and the code is read again with Auto.
        ActivateImageTab(*form);
        form->CodeFormatEntry(QStringLiteral("Auto"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(form->Memo2->toPlainText(), kQrText, kTimeout);
        ActivateWebcamTab(*form);
        QVERIFY(form->VideoImage()->VideoRunning());

        form->Button1->click(); // STOP
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        QVERIFY(!form->VideoImage()->VideoRunning());
        QVERIFY(form->Image2->Picture().isNull());
        QCOMPARE(form->Memo2->toPlainText(), kQrText);
        QVERIFY(!form->Memo2->isHidden());
        QVERIFY(errors.isEmpty());
    }

    void secondOfTwoCamerasOfOneNameStartsItself()
    {
        const QString twin = QStringLiteral("Webcam Tab Twin");
        TCameraSources::Add(twin, StillPictureDescription(kSamples + QStringLiteral("/qr_code.png"),
                                                          TTestCameraFormat::YUY2, 640, 480));
        TCameraSources::Add(twin, StillPictureDescription(kSamples + QStringLiteral("/data_matrix.png"),
                                                          TTestCameraFormat::YUY2, 640, 480));
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        const int first = form->ComboBox1->findText(twin);
        QVERIFY(first >= 0);
        QCOMPARE(form->ComboBox1->itemText(first + 1), twin + QStringLiteral(" #2"));

        const QStringList expected = {kQrText, QStringLiteral("Lantrix Data Matrix 0042")};
        for (int i : {1, 0}) {
            form->ComboBox1->setCurrentIndex(first + i);
            form->Memo2->clear();
            form->Button1->click();
            QTRY_COMPARE_WITH_TIMEOUT(form->Memo2->toPlainText(), expected[i], kTimeout);
            form->Button1->click(); // STOP
        }
        QVERIFY(errors.isEmpty());
    }

    void pictureWithoutCodeLeavesThePaneAsItIs()
    {
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, TestPatternCameraName(TTestCameraFormat::YUY2, 640, 480)));
        form->Button1->click();
        QVERIFY(WaitForFrames(*form, 10));
        QVERIFY(form->Memo2->isHidden());
        QVERIFY(form->Memo2->toPlainText().isEmpty());
        QCOMPARE(form->Image2->Picture().size(), QSize(640, 480));
        form->Button1->click();
    }

    // A light code on a dark ground in front of the camera: read with
    // Settings > "Read Inverted Codes" only, from the next frame on.
    void lightCodeOnDarkGroundFromCamera_data()
    {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QString>("text");
        QTest::newRow("QR code") << "qr_code.png" << kQrText;
        QTest::newRow("Data Matrix") << "data_matrix.png"
                                     << "Lantrix Data Matrix 0042";
    }

    void lightCodeOnDarkGroundFromCamera()
    {
        QFETCH(QString, sample);
        QFETCH(QString, text);
        QImage negative = QImage(kSamples + QLatin1Char('/') + sample).convertToFormat(QImage::Format_RGB32);
        negative.invertPixels();
        const QString png = root->filePath(QStringLiteral("negative.png"));
        QVERIFY(negative.save(png));
        const QString camera = QStringLiteral("Webcam Tab Light Code");
        TCameraSources::Add(camera, StillPictureDescription(png, TTestCameraFormat::YUY2, 640, 480));

        auto form = MakeForm();
        QVERIFY(!form->ReadInvertedCodes1->isChecked());
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, camera));
        form->Button1->click();
        QVERIFY(WaitForFrames(*form, 10));
        QVERIFY(form->Memo2->isHidden());
        QVERIFY(form->Memo2->toPlainText().isEmpty());

        form->ReadInvertedCodes1->trigger(); // during the capture
        QTRY_COMPARE_WITH_TIMEOUT(form->Memo2->toPlainText(), text, kTimeout);
        QVERIFY(!form->Memo2->isHidden());

        form->ReadInvertedCodes1->trigger(); // off again: the pane keeps the last text
        form->Memo2->setPlainText(QStringLiteral("marker"));
        QVERIFY(WaitForFrames(*form, 10));
        QCOMPARE(form->Memo2->toPlainText(), QStringLiteral("marker"));
        form->Button1->click();
        QVERIFY(errors.isEmpty());
    }

    // Without a camera the list says so and Start is greyed, until a camera
    // (or a source of cameras.ini) is listed.
    void noCameraFoundGreysStart()
    {
        TCameraSources::Clear();
        if (RealCamerasPresent())
            QSKIP("this machine has a camera");
        auto form = MakeForm();
        QVERIFY(!form->Button1->isEnabled()); // nothing listed yet
        ActivateWebcamTab(*form);
        QCOMPARE(form->ComboBox1->count(), 0);
        QCOMPARE(form->ComboBox1->placeholderText(), QStringLiteral("Looking for cameras..."));
        QVERIFY(!form->Button1->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(form->ComboBox1->placeholderText(), QStringLiteral("No camera found"), kTimeout);
        QCOMPARE(form->ComboBox1->count(), 0);
        QCOMPARE(form->ComboBox1->currentIndex(), -1); // so the notice shows
        QVERIFY(!form->Button1->isEnabled());

        QVERIFY(WriteCamerasIni(QStringLiteral("Webcam Tab Ini Camera = %1\n")
                                    .arg(TestPatternDescription(TTestCameraFormat::YUY2, 160, 120))));
        ActivateImageTab(*form);
        ActivateWebcamTab(*form);
        QCOMPARE(form->ComboBox1->currentText(), QStringLiteral("Webcam Tab Ini Camera"));
        QVERIFY(form->Button1->isEnabled());
    }

    // The pane speaks for the camera shown: another camera's start empties
    // it, a STOP and a restart of the same camera keep it.
    void anotherCameraEmptiesThePane()
    {
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480)));
        form->Button1->click();
        QTRY_COMPARE_WITH_TIMEOUT(form->Memo2->toPlainText(), kQrText, kTimeout);
        form->Button1->click(); // STOP
        QCOMPARE(form->Memo2->toPlainText(), kQrText);
        form->Button1->click(); // the same camera again
        QCOMPARE(form->Memo2->toPlainText(), kQrText);
        QVERIFY(!form->Memo2->isHidden());
        form->Button1->click(); // STOP
        QVERIFY(SelectDevice(*form, TestPatternCameraName(TTestCameraFormat::YUY2, 640, 480)));
        form->Button1->click();
        QVERIFY(form->Memo2->isHidden());
        QVERIFY(form->Memo2->toPlainText().isEmpty());
        QVERIFY(WaitForFrames(*form, 5));
        QVERIFY(form->Memo2->isHidden());
        form->Button1->click(); // STOP
        QVERIFY(errors.isEmpty());
    }

    // A source of cameras.ini that ends in caps (fixing the size, as
    // GStreamer users do) starts and gives frames of that size.
    void camerasIniSourceEndingInCaps()
    {
        QVERIFY(
            WriteCamerasIni(QStringLiteral("Webcam Tab Scaled = %1 ! videoscale ! video/x-raw,width=200,height=150\n")
                                .arg(TestPatternDescription(TTestCameraFormat::YUY2, 320, 240))));
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, QStringLiteral("Webcam Tab Scaled")));
        form->Button1->click();
        QTRY_COMPARE_WITH_TIMEOUT(form->Image2->Picture().size(), QSize(200, 150), kTimeout);
        form->Button1->click(); // STOP
        QVERIFY(errors.isEmpty());
    }

    // A device provider that hangs while the list is made: the window goes on
    // handling events, the other provider's camera joins the list when its
    // answer comes, the status bar names the silent provider once, and the
    // camera listed starts at once.
    void aHangingProviderLeavesTheWindowFree()
    {
        SetDeviceProviderTimeout(std::chrono::milliseconds(1000));
        TTestDeviceProviders providers;
        static int run = 0;
        ++run;
        const TTestProviderSpec hanging{.name = QStringLiteral("lantrix-tab-test-hanging-%1").arg(run), .hangs = true};
        const QString camera = QStringLiteral("Webcam Tab Provider Camera");
        const TTestProviderSpec answering{.name = QStringLiteral("lantrix-tab-test-answering-%1").arg(run),
                                          .cameras = {camera}};
        QVERIFY(providers.Add(hanging));
        QVERIFY(providers.Add(answering));
        const QString note = hanging.LongName() + QStringLiteral(" does not answer; its cameras are not listed.");

        auto form = MakeForm();
        int notes = 0;
        connect(form->statusBar(), &QStatusBar::messageChanged, this, [&](const QString& text) {
            if (text == note)
                ++notes;
        });
        int ticksWhilePending = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (form->ComboBox1->findText(camera) < 0)
                ++ticksWhilePending;
        });
        ticker.start();
        ActivateWebcamTab(*form);
        QCOMPARE(form->ComboBox1->findText(camera), -1);
        QTRY_VERIFY_WITH_TIMEOUT(form->ComboBox1->findText(camera) >= 0, kTimeout);
        QVERIFY2(ticksWhilePending >= 2, qPrintable(QString::number(ticksWhilePending)));
        QCOMPARE(notes, 1);
        QCOMPARE(providers.Waiting(hanging.name), 1);

        ActivateImageTab(*form);
        ActivateWebcamTab(*form);
        QTRY_VERIFY_WITH_TIMEOUT(!form->VideoImage()->DeviceListPending(), kTimeout);
        QCOMPARE(notes, 1);
        QCOMPARE(providers.Probes(hanging.name), 1);

        QVERIFY(SelectDevice(*form, camera));
        form->Button1->click();
        QCOMPARE(form->Button1->text(), QStringLiteral("STOP"));
        QVERIFY(WaitForFrames(*form, 3));
        QCOMPARE(form->Image2->Picture().size(), QSize(320, 240));
        form->Button1->click();                        // STOP
        QCOMPARE(providers.Probes(answering.name), 2); // the two listings, not the start
        QVERIFY(errors.isEmpty());
    }

    void startWithoutDevicesDoesNothing()
    {
        TCameraSources::Clear();
        if (RealCamerasPresent())
            QSKIP("this machine has a camera");
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QCOMPARE(form->ComboBox1->count(), 0);
        form->Button1->click();
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        QVERIFY(!form->VideoImage()->VideoRunning());
        QVERIFY(errors.isEmpty());
    }

    // A camera that cannot be started, or whose capture fails or ends by
    // itself: the tab stays idle or goes back to it as STOP does (caption
    // "Start", no picture), and the reason is reported once.
    // A camera is a test camera, or a camera source of the user's cameras.ini.
    void cameraThatFailsOrEndsIsReportedOnce_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("goneSinceListed");
        QTest::addColumn<bool>("endsAfterFrames");
        QTest::addColumn<bool>("fromCamerasIni");
        const QString pattern = TestPatternDescription(TTestCameraFormat::YUY2, 160, 120);
        QTest::newRow("no such source") << QStringLiteral("nosuchgstelement_lantrix") << false << false << false;
        QTest::newRow("missing device") << QStringLiteral("v4l2src device=/dev/lantrix-no-such-camera") << false
                                        << false << false;
        QTest::newRow("error before the first frame")
            << pattern + QStringLiteral(" ! identity error-after=1") << false << false << false;
        QTest::newRow("gone since the list was made") << pattern << true << false << false;
        QTest::newRow("error after some frames")
            << pattern + QStringLiteral(" ! identity error-after=20") << false << true << false;
        QTest::newRow("end of stream after some frames")
            << QStringLiteral("videotestsrc is-live=true num-buffers=20 ! capsfilter "
                              "caps=\"video/x-raw,format=YUY2,width=320,height=240,framerate=30/1\"")
            << false << true << false;
        QTest::newRow("cameras.ini: description does not parse")
            << QStringLiteral("nosuchgstelement_lantrix ! videoconvert") << false << false << true;
        QTest::newRow("cameras.ini: unbalanced quote")
            << QStringLiteral("videotestsrc ! capsfilter caps=\"video/x-raw") << false << false << true;
        QTest::newRow("cameras.ini: no description") << QString() << false << false << true;
        QTest::newRow("cameras.ini: a sink, no source")
            << QStringLiteral("videotestsrc ! fakesink") << false << false << true;
        QTest::newRow("cameras.ini: network camera not there")
            << QStringLiteral("rtspsrc location=rtsp://127.0.0.1:1/none timeout=1000000 tcp-timeout=1000000 retry=1 ! "
                              "decodebin ! videoconvert")
            << false << false << true;
        QTest::newRow("cameras.ini: file that is not there")
            << QStringLiteral("filesrc location=/no/such/lantrix.mkv ! decodebin ! videoconvert") << false << false
            << true;
        QTest::newRow("cameras.ini: gone since the list was made") << pattern << true << false << true;
        QTest::newRow("cameras.ini: error after some frames")
            << pattern + QStringLiteral(" ! identity error-after=20") << false << true << true;
    }

    void cameraThatFailsOrEndsIsReportedOnce()
    {
        QFETCH(QString, description);
        QFETCH(bool, goneSinceListed);
        QFETCH(bool, endsAfterFrames);
        QFETCH(bool, fromCamerasIni);
        if (fromCamerasIni)
            QVERIFY(WriteCamerasIni(QStringLiteral("; the user's cameras\n%1 = %2\n").arg(kBroken, description)));
        else
            TCameraSources::Add(kBroken, description);
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, kBroken));
        if (goneSinceListed && fromCamerasIni)
            QVERIFY(WriteCamerasIni(QStringLiteral("; emptied\n")));
        else if (goneSinceListed)
            TCameraSources::Remove(kBroken);
        form->Memo2->setPlainText(QStringLiteral("kept"));
        form->Button1->click();
        if (endsAfterFrames)
            QCOMPARE(form->Button1->text(), QStringLiteral("STOP"));
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, kTimeout);
        if (endsAfterFrames)
            QVERIFY(form->VideoImage()->ConversionCount() > 0); // frames were shown first
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        QVERIFY(!form->VideoImage()->VideoRunning());
        QVERIFY(form->Image2->Picture().isNull());
        QVERIFY(!errors.first().trimmed().isEmpty());
        QTest::qWait(200);
        QCOMPARE(errors.size(), 1);
        QVERIFY(form->Image2->Picture().isNull()); // no late frame shows up again
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        // The pane held no code of this camera: the start emptied it, and a
        // failure leaves it so.
        QVERIFY(form->Memo2->toPlainText().isEmpty());
        QVERIFY(form->Memo2->isHidden());
    }

    // Start does not wait for the camera: the window goes on handling events
    // until the first frame arrives, and takes the stream's format from it.
    void startReturnsBeforeTheFirstFrame()
    {
        TGatedCamera camera(160, 120);
        auto form = StartGatedCamera(camera, QStringLiteral("Webcam Tab Slow Camera"));
        QVERIFY(form);
        // Start has returned, and the camera has not been given a frame yet.
        QCOMPARE(form->Button1->text(), QStringLiteral("STOP"));
        QVERIFY(form->VideoImage()->VideoRunning());
        QCOMPARE(form->VideoImage()->FrameCount(), 0);
        bool handled = false;
        QTimer::singleShot(0, form.get(), [&] { handled = true; });
        QTRY_VERIFY(handled); // the window handles events meanwhile
        QVERIFY(form->Image2->Picture().isNull());

        QVERIFY(camera.WriteFrame(200));
        QTRY_COMPARE_WITH_TIMEOUT(form->Image2->Picture().size(), QSize(160, 120), kTimeout);
        QCOMPARE(form->VideoImage()->VideoWidth(), 160);
        form->Button1->click(); // STOP
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        QVERIFY(errors.isEmpty());
    }

    void stopWhileTheFirstFrameIsAwaited()
    {
        TGatedCamera camera(160, 120); // never gives a frame
        auto form = StartGatedCamera(camera, QStringLiteral("Webcam Tab Silent Camera"));
        QVERIFY(form);
        QCOMPARE(form->Button1->text(), QStringLiteral("STOP"));
        QCOMPARE(form->VideoImage()->FrameCount(), 0);
        form->Button1->click(); // a visible STOP
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        QVERIFY(!form->VideoImage()->VideoRunning());
        QTest::qWait(100);
        QVERIFY(errors.isEmpty());
    }

    // A click that was waiting in the queue while Start ran was made on the
    // "Start" button; it does not become a STOP the user never saw.
    void clickQueuedDuringStartIsNotAStop()
    {
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, TestPatternCameraName(TTestCameraFormat::YUY2, 640, 480)));
        const QPointF centre = QRectF(form->Button1->rect()).center();
        const QPointF global = form->Button1->mapToGlobal(centre);
        QCoreApplication::postEvent(form->Button1, new QMouseEvent(QEvent::MouseButtonPress, centre, global,
                                                                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(form->Button1, new QMouseEvent(QEvent::MouseButtonRelease, centre, global,
                                                                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        form->Button1->click(); // Start, with the click above still queued
        QCoreApplication::processEvents();
        QCOMPARE(form->Button1->text(), QStringLiteral("STOP"));
        QVERIFY(form->VideoImage()->VideoRunning());
        QVERIFY(WaitForFrames(*form, 3));
        // A click made now is a STOP.
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        QVERIFY(errors.isEmpty());
    }

    void closingDuringCaptureStopsIt()
    {
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480)));
        form->Button1->click();
        QVERIFY(WaitForFrames(*form, 3));
        QVERIFY(form->close());
        QVERIFY(!form->VideoImage()->VideoRunning());
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        QCoreApplication::processEvents(); // frames queued before the stop
        const std::int32_t frames = form->VideoImage()->FrameCount();
        const std::int64_t conversions = form->VideoImage()->ConversionCount();
        QTest::qWait(300);
        QCOMPARE(form->VideoImage()->FrameCount(), frames);
        QCOMPARE(form->VideoImage()->ConversionCount(), conversions);
        QVERIFY(errors.isEmpty());
    }

    void destroyingTheWindowDuringCaptureIsSafe()
    {
        auto form = MakeForm();
        ActivateWebcamTab(*form);
        QVERIFY(SelectDevice(*form, QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480)));
        form->Button1->click();
        QVERIFY(WaitForFrames(*form, 3));
        // Frames stored now stay queued; the window goes before they are handled.
        QTest::qSleep(200);
        form.reset();
        QTest::qWait(200); // the queued frames find no window
        QVERIFY(errors.isEmpty());
    }
};

QTEST_MAIN(WebcamTabTest)
#include "tst_webcam_tab.moc"
