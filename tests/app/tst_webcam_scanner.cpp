// The webcam tab's logic without the window: a view that records what it is
// told, test cameras, and device providers of the test's own.
#include "app/AppState.h"
#include "app/WebcamScan.h"
#include "capture/CameraSources.h"
#include "capture/DeviceProviders.h"
#include "capture/TestDeviceProviders.h"
#include "capture/VideoImage.h"
#include "decoder/PictureDecoder.h"
#include "support/TestCameras.h"
#include "support/TestDecoder.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
constexpr int kTimeout = 30000;
// Short, so that a provider that hangs costs the tests little time.
constexpr std::chrono::milliseconds kProviderLimit{1000};

// A factory name of its own for each provider the tests register.
QString ProviderName(const char* role)
{
    static int count = 0;
    return QStringLiteral("lantrix-scanner-test-%1-%2").arg(QString::fromUtf8(role)).arg(++count);
}

// Remembers what the scanner shows; its device list and button are plain values.
class TFakeWebcamView : public TWebcamScanView {
public:
    QStringList devices;
    int selected = 0;
    QString caption = TWebcamScanner::kStartCaption;
    int devicesShown = 0;
    int framesShown = 0;
    QImage frame;
    QString text;
    bool paneShown = false;
    QStringList errors;
    QStringList statusNotes;
    QString notice;
    bool buttonEnabled = true;

    void ShowDevices(const QStringList& list) override
    {
        devices = list;
        selected = 0;
        ++devicesShown;
    }
    void SelectDevice(const QString& name) override
    {
        if (devices.contains(name))
            selected = static_cast<int>(devices.indexOf(name));
    }
    void SetDeviceListNotice(const QString& value) override { notice = value; }
    int DeviceCount() const override { return static_cast<int>(devices.size()); }
    QString SelectedDevice() const override { return devices.value(selected); }
    QString ButtonCaption() const override { return caption; }
    void SetButtonCaption(const QString& value) override { caption = value; }
    void SetButtonEnabled(bool enabled) override { buttonEnabled = enabled; }
    void DropQueuedButtonInput() override {}
    void ShowFrame(const QImage& picture) override
    {
        frame = picture;
        ++framesShown;
    }
    void ClearFrame() override { frame = QImage(); }
    void ShowDecodedText(const QString& value) override
    {
        paneShown = true;
        text = value;
    }
    void ClearDecodedText() override
    {
        paneShown = false;
        text.clear();
    }
    void ReportError(const QString& message) override { errors.append(message); }
    void ShowStatus(const QString& note) override { statusNotes.append(note); }

    bool Select(const QString& name)
    {
        selected = static_cast<int>(devices.indexOf(name));
        return selected >= 0;
    }
};
} // namespace

class WebcamScannerTest : public QObject {
    Q_OBJECT

    TFakeWebcamView view;
    std::unique_ptr<TPictureDecoder> decoder;
    TAppState state; // the window's, as far as the scanner reads it; outlives the scanner
    std::unique_ptr<TWebcamScanner> scanner;

private slots:
    void init()
    {
        view = TFakeWebcamView();
        state = TAppState();
        TCameraSources::Clear();
        RegisterStandardTestCameras(kSamples + QStringLiteral("/qr_code.png"));
        decoder = std::make_unique<TPictureDecoder>(TestDecoderLaunch());
        scanner = std::make_unique<TWebcamScanner>(view, nullptr, *decoder, state);
    }

    void cleanup()
    {
        scanner.reset();
        decoder.reset();
        TCameraSources::Clear();
        SetDeviceProviderTimeout(kDeviceProviderTimeout);
    }

    // ---- The device list is made off the GUI thread --------------------------

    // A provider that hangs costs its own cameras: the list shows at once what
    // is known, the GUI thread goes on meanwhile, the answer brings the other
    // provider's camera, and the status bar names the silent provider once.
    // Listing again starts no other probe of it and waits for it no more.
    void theListFillsWhileAProviderHangs()
    {
        SetDeviceProviderTimeout(kProviderLimit);
        TTestDeviceProviders providers;
        const TTestProviderSpec hanging{.name = ProviderName("hanging"), .hangs = true};
        const QString camera = QStringLiteral("Scanner Provider Camera");
        const TTestProviderSpec answering{.name = ProviderName("answering"), .cameras = {camera}};
        QVERIFY(providers.Add(hanging));
        QVERIFY(providers.Add(answering));

        int ticksWhilePending = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (!view.devices.contains(camera))
                ++ticksWhilePending;
        });
        ticker.start();
        scanner->PageChanged(1);
        QVERIFY(!view.devices.contains(camera));
        QVERIFY(view.devices.contains(QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480))); // shown at once
        QVERIFY(view.buttonEnabled);
        QVERIFY(scanner->VideoImage().DeviceListPending());
        QTRY_VERIFY_WITH_TIMEOUT(view.devices.contains(camera), kTimeout);
        QVERIFY2(ticksWhilePending >= 2, qPrintable(QString::number(ticksWhilePending)));
        QCOMPARE(view.devices.first(), camera); // the system's cameras come first
        QCOMPARE(view.statusNotes, QStringList{hanging.LongName() + " does not answer; its cameras are not listed."});
        QCOMPARE(providers.Waiting(hanging.name), 1);

        scanner->PageChanged(1);
        QVERIFY(view.devices.contains(camera)); // as the last listing found it
        QTRY_VERIFY_WITH_TIMEOUT(!scanner->VideoImage().DeviceListPending(), kTimeout);
        QCOMPARE(view.statusNotes.size(), 1);
        QCOMPARE(providers.Probes(hanging.name), 1);
        QCOMPARE(providers.Probes(answering.name), 2);
        QVERIFY(view.errors.isEmpty());
    }

    // Start picks the camera from the list the tab has: no provider is asked
    // again, and a provider's camera starts like any other.
    void startPicksFromTheListWithoutAskingTheProviders()
    {
        SetDeviceProviderTimeout(kProviderLimit);
        TTestDeviceProviders providers;
        const QString camera = QStringLiteral("Scanner Started Provider Camera");
        const TTestProviderSpec answering{.name = ProviderName("started"), .cameras = {camera}};
        const TTestProviderSpec hanging{.name = ProviderName("silent"), .hangs = true};
        QVERIFY(providers.Add(answering));
        QVERIFY(providers.Add(hanging));
        scanner->PageChanged(1);
        QTRY_VERIFY_WITH_TIMEOUT(!scanner->VideoImage().DeviceListPending(), kTimeout);
        QVERIFY(view.Select(camera));
        scanner->StartStop();
        QCOMPARE(view.caption, TWebcamScanner::kStopCaption);
        const int shown = view.framesShown;
        QTRY_VERIFY_WITH_TIMEOUT(view.framesShown >= shown + 3, kTimeout);
        QCOMPARE(view.frame.size(), QSize(320, 240));
        QCOMPARE(providers.Probes(answering.name), 1);
        QCOMPARE(providers.Probes(hanging.name), 1);
        scanner->StartStop();
        QCOMPARE(view.caption, TWebcamScanner::kStartCaption);
        QVERIFY(view.errors.isEmpty());
    }

    // When the answer changes the list, the device the user picked from the
    // list shown meanwhile stays picked; otherwise the first one is.
    void aDevicePickedMeanwhileStaysPicked_data()
    {
        QTest::addColumn<QString>("picked"); // empty: none
        QTest::newRow("nothing picked") << QString();
        QTest::newRow("a camera source picked") << QrCodeCameraName(TTestCameraFormat::I420, 640, 480);
    }

    void aDevicePickedMeanwhileStaysPicked()
    {
        QFETCH(QString, picked);
        TTestDeviceProviders providers;
        const QString camera = QStringLiteral("Scanner Picked Provider Camera");
        QVERIFY(providers.Add({.name = ProviderName("picked"), .cameras = {camera}}));
        scanner->PageChanged(1);
        QVERIFY(!view.devices.contains(camera));
        if (!picked.isEmpty())
            QVERIFY(view.Select(picked));
        QTRY_VERIFY_WITH_TIMEOUT(view.devices.contains(camera), kTimeout);
        QCOMPARE(view.SelectedDevice(), picked.isEmpty() ? view.devices.first() : picked);
    }

    void onlyTheWebcamPageListsTheDevices()
    {
        scanner->PageChanged(0);
        QCOMPARE(view.devicesShown, 0);
        scanner->PageChanged(1);
        QStringList expected;
        TVideoImage::GetListOfDevices(expected);
        QCOMPARE(view.devices, expected);
        QCOMPARE(view.devicesShown, 1);
    }

    void startDecodesEveryFrameStopKeepsTheText()
    {
        scanner->PageChanged(1);
        QVERIFY(view.Select(QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480)));
        scanner->StartStop();
        QCOMPARE(view.caption, QStringLiteral("STOP"));
        QVERIFY(scanner->VideoImage().VideoRunning());
        QTRY_COMPARE_WITH_TIMEOUT(view.text, kQrText, kTimeout);
        QVERIFY(view.paneShown);
        QCOMPARE(view.frame.size(), QSize(640, 480));

        scanner->StartStop();
        QCOMPARE(view.caption, QStringLiteral("Start"));
        QVERIFY(!scanner->VideoImage().VideoRunning());
        QVERIFY(view.frame.isNull());
        QCOMPARE(view.text, kQrText);
        QVERIFY(view.errors.isEmpty());
    }

    // The code format is read anew for every frame.
    void theSelectedFormatAppliesFromTheNextFrame()
    {
        scanner->PageChanged(1);
        QVERIFY(view.Select(QrCodeCameraName(TTestCameraFormat::I420, 640, 480)));
        state.SelectedCodeFormat() = TBarcodeFormat::EAN_13;
        scanner->StartStop();
        const int shown = view.framesShown;
        QTRY_VERIFY_WITH_TIMEOUT(view.framesShown >= shown + 10, kTimeout);
        QVERIFY(view.text.isEmpty());
        QVERIFY(!view.paneShown);
        state.SelectedCodeFormat() = TBarcodeFormat::QR_CODE;
        QTRY_COMPARE_WITH_TIMEOUT(view.text, kQrText, kTimeout);
        scanner->Stop();
        QCOMPARE(view.caption, QStringLiteral("Start"));
    }

    // So are the other decode options, carried in the same value.
    void theSelectedOptionsApplyFromTheNextFrame()
    {
        QTemporaryDir folder;
        QImage negative = QImage(kSamples + QStringLiteral("/qr_code.png")).convertToFormat(QImage::Format_RGB32);
        negative.invertPixels(); // a light code on a dark ground
        const QString picture = folder.filePath(QStringLiteral("negative.png"));
        QVERIFY(negative.save(picture));
        TCameraSources::Clear();
        RegisterStandardTestCameras(picture);
        scanner->PageChanged(1);
        QVERIFY(view.Select(QrCodeCameraName(TTestCameraFormat::I420, 640, 480)));
        state.SelectedCodeFormat() = TBarcodeFormat::QR_CODE;
        scanner->StartStop();
        const int shown = view.framesShown;
        QTRY_VERIFY_WITH_TIMEOUT(view.framesShown >= shown + 10, kTimeout);
        QVERIFY(view.text.isEmpty());
        state.SelectedDecodeOptions.inverted = true;
        QTRY_COMPARE_WITH_TIMEOUT(view.text, kQrText, kTimeout);
        scanner->Stop();
        QCOMPARE(state.SelectedCodeFormat(), TBarcodeFormat::QR_CODE);
    }

    void startWithoutDevicesDoesNothing()
    {
        scanner->StartStop(); // the list was never filled
        QCOMPARE(view.caption, QStringLiteral("Start"));
        QVERIFY(!scanner->VideoImage().VideoRunning());
        QVERIFY(view.errors.isEmpty());
    }

    // With nothing to list, the list says so and Start is greyed until a
    // camera is listed; a running capture's STOP stays usable.
    void noCameraGreysStartUntilOneIsListed()
    {
        TCameraSources::Clear();
        QStringList present;
        TVideoImage::GetListOfDevices(present);
        if (!present.isEmpty())
            QSKIP("this machine has a camera");
        scanner.reset();
        view = TFakeWebcamView();
        scanner = std::make_unique<TWebcamScanner>(view, nullptr, *decoder, state);
        QVERIFY(!view.buttonEnabled); // nothing listed yet
        scanner->PageChanged(1);
        QVERIFY(view.devices.isEmpty());
        QCOMPARE(view.notice, QStringLiteral("Looking for cameras..."));
        QVERIFY(!view.buttonEnabled);
        QTRY_COMPARE_WITH_TIMEOUT(view.notice, QStringLiteral("No camera found"), kTimeout);
        QVERIFY(view.devices.isEmpty());
        QVERIFY(!view.buttonEnabled);

        const QString name = QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480);
        RegisterStandardTestCameras(kSamples + QStringLiteral("/qr_code.png"));
        scanner->PageChanged(1);
        QVERIFY(view.buttonEnabled);
        QVERIFY(view.Select(name));
        scanner->StartStop();
        QCOMPARE(view.caption, QStringLiteral("STOP"));
        TCameraSources::Clear(); // unplugged while running: STOP stays usable
        scanner->PageChanged(1);
        QVERIFY(view.devices.isEmpty());
        QVERIFY(view.buttonEnabled);
        scanner->StartStop();
        QCOMPARE(view.caption, QStringLiteral("Start"));
        QVERIFY(!view.buttonEnabled);
    }

    // The pane speaks for the camera shown: its text goes when another camera
    // starts or a camera fails, and stays on STOP, on a restart of the same
    // camera and when a video plays to its end.
    // A decoder that dies on a frame costs frames, never the scan: a fresh
    // one takes the frames after a pause, the status bar says so once a
    // capture, and a code read before stays in the pane.
    void aDecoderThatStopsOnAFrameIsReplaced_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("abort") << QStringLiteral("abort");
        QTest::newRow("segv") << QStringLiteral("segv");
        QTest::newRow("loop") << QStringLiteral("loop");
    }

    void aDecoderThatStopsOnAFrameIsReplaced()
    {
        QFETCH(QString, fault);
        const TDecoderFaults faults(800);
        QTemporaryDir folder;
        const QString picture = folder.filePath(QStringLiteral("fault.png"));
        QVERIFY(FaultPicture(fault).save(picture));
        const QString name = QStringLiteral("Fault camera ") + fault;
        TCameraSources::Add(name, StillPictureDescription(picture, TTestCameraFormat::I420, 640, 480));

        // A code read first, from a sound camera.
        scanner->PageChanged(1);
        QVERIFY(view.Select(QrCodeCameraName(TTestCameraFormat::I420, 640, 480)));
        scanner->StartStop();
        QTRY_COMPARE_WITH_TIMEOUT(view.text, kQrText, kTimeout);
        scanner->StartStop();
        const int startsBefore = decoder->Process().Starts();

        QVERIFY(view.Select(name));
        scanner->StartStop();
        // Frames go on being shown while decoders die and are replaced.
        QTRY_VERIFY_WITH_TIMEOUT(decoder->Process().Starts() >= startsBefore + 2, kTimeout);
        const int shown = view.framesShown;
        QTRY_VERIFY_WITH_TIMEOUT(view.framesShown >= shown + 10, kTimeout);
        QCOMPARE(view.caption, TWebcamScanner::kStopCaption);
        QCOMPARE(view.statusNotes, // once, however often
                 QStringList{QStringLiteral("The decoder stopped on a frame; the scan goes on with a fresh one.")});
        QVERIFY(view.errors.isEmpty());
        scanner->StartStop();

        // The next capture says it again, once; a sound camera reads as before.
        scanner->StartStop();
        QTRY_COMPARE_WITH_TIMEOUT(view.statusNotes.size(), 2, kTimeout);
        scanner->StartStop();
        QVERIFY(view.Select(QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480)));
        view.text.clear();
        scanner->StartStop();
        QTRY_COMPARE_WITH_TIMEOUT(view.text, kQrText, kTimeout);
        scanner->StartStop();
    }

    // Without a decoder program the frames are shown, nothing is read, and
    // the status bar says why, once.
    void aDecoderThatCannotStartIsSaidOnce()
    {
        scanner.reset();
        decoder = std::make_unique<TPictureDecoder>(
            ExecDecoder(QStringLiteral("/nonexistent/lantrix-decoder"), kMaxPicturePixels));
        scanner = std::make_unique<TWebcamScanner>(view, nullptr, *decoder, state);
        scanner->PageChanged(1);
        QVERIFY(view.Select(QrCodeCameraName(TTestCameraFormat::I420, 640, 480)));
        scanner->StartStop();
        QTRY_VERIFY_WITH_TIMEOUT(view.framesShown >= 40, kTimeout);
        scanner->StartStop();
        QCOMPARE(view.statusNotes,
                 QStringList{QStringLiteral("The picture could not be decoded: the decoder cannot be started (%1).")
                                 .arg(QString::fromLocal8Bit(std::strerror(ENOENT)))});
        QVERIFY(view.text.isEmpty());
        QVERIFY(view.errors.isEmpty());
    }

    void paneKeepsTheTextOnlyForItsOwnCamera_data()
    {
        QTest::addColumn<QString>("second");      // the camera started after the QR code was read
        QTest::addColumn<QString>("description"); // registered under that name, unless empty
        QTest::addColumn<bool>("failsOrEnds");
        QTest::addColumn<bool>("kept");
        const QString qr = QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480);
        QTest::newRow("the same camera again") << qr << QString() << false << true;
        QTest::newRow("another camera") << TestPatternCameraName(TTestCameraFormat::I420, 640, 480) << QString()
                                        << false << false;
        QTest::newRow("another camera that cannot start")
            << QStringLiteral("Scanner Broken") << QStringLiteral("nosuchgstelement_lantrix ! videoconvert") << true
            << false;
        // It fails after 10 s of frames: time enough for the code to be read
        // first even on a loaded machine under the sanitizers, where the
        // first frames wait for the decoder process to start.
        QTest::newRow("the same camera failing")
            << qr
            << StillPictureDescription(kSamples + QStringLiteral("/qr_code.png"), TTestCameraFormat::YUY2, 640, 480)
                   + QStringLiteral(" ! identity error-after=300")
            << true << false;
    }

    void paneKeepsTheTextOnlyForItsOwnCamera()
    {
        QFETCH(QString, second);
        QFETCH(QString, description);
        QFETCH(bool, failsOrEnds);
        QFETCH(bool, kept);
        const QString qr = QrCodeCameraName(TTestCameraFormat::YUY2, 640, 480);
        if (!description.isEmpty()) {
            if (second == qr)
                TCameraSources::Remove(qr);
            TCameraSources::Add(second, description);
        }
        scanner->PageChanged(1);
        QVERIFY(view.Select(qr));
        scanner->StartStop();
        QTRY_COMPARE_WITH_TIMEOUT(view.text, kQrText, kTimeout);
        if (failsOrEnds && second == qr) {
            // The camera fails after its code was read.
            QTRY_COMPARE_WITH_TIMEOUT(view.errors.size(), 1, kTimeout);
        } else {
            scanner->StartStop(); // STOP keeps the text
            QCOMPARE(view.text, kQrText);
            QVERIFY(view.paneShown);
            QVERIFY(view.Select(second));
            scanner->StartStop();
            if (failsOrEnds)
                QTRY_COMPARE_WITH_TIMEOUT(view.errors.size(), 1, kTimeout);
            else
                QTest::qWait(300);
        }
        QCOMPARE(view.text, kept ? kQrText : QString());
        QCOMPARE(view.paneShown, kept);
        scanner->Stop();
    }

    void aVideoPlayedToItsEndKeepsTheText()
    {
        const QString name = QStringLiteral("Scanner Short Video");
        TCameraSources::Add(
            name, StillPictureDescription(kSamples + QStringLiteral("/qr_code.png"), TTestCameraFormat::YUY2, 320, 240)
                      .replace(QStringLiteral("imagefreeze is-live=true"),
                               QStringLiteral("imagefreeze is-live=true num-buffers=30")));
        scanner->PageChanged(1);
        QVERIFY(view.Select(name));
        scanner->StartStop();
        QTRY_COMPARE_WITH_TIMEOUT(view.errors.size(), 1, kTimeout);
        QVERIFY(scanner->VideoImage().StreamFinished());
        QCOMPARE(view.text, kQrText);
        QVERIFY(view.paneShown);
    }

    // A camera gone since the list was made, and one that ends by itself: the
    // tab goes back to idle as STOP does, and says why once.
    void cameraThatCannotStartOrEndsIsReportedOnce_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("gone");
        QTest::newRow("gone since the list was made")
            << TestPatternDescription(TTestCameraFormat::YUY2, 160, 120) << true;
        QTest::newRow("end of stream after some frames")
            << QStringLiteral("videotestsrc is-live=true num-buffers=20 ! capsfilter "
                              "caps=\"video/x-raw,format=YUY2,width=320,height=240,framerate=30/1\"")
            << false;
    }

    void cameraThatCannotStartOrEndsIsReportedOnce()
    {
        QFETCH(QString, description);
        QFETCH(bool, gone);
        const QString name = QStringLiteral("Scanner Test Camera");
        TCameraSources::Add(name, description);
        scanner->PageChanged(1);
        QVERIFY(view.Select(name));
        if (gone)
            TCameraSources::Remove(name);
        scanner->StartStop();
        QTRY_COMPARE_WITH_TIMEOUT(view.errors.size(), 1, kTimeout);
        QCOMPARE(view.caption, QStringLiteral("Start"));
        QVERIFY(view.frame.isNull());
        QVERIFY(!scanner->VideoImage().VideoRunning());
        QTest::qWait(200);
        QCOMPARE(view.errors.size(), 1);
    }
};

QTEST_MAIN(WebcamScannerTest)
#include "tst_webcam_scanner.moc"
