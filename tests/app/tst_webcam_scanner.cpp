// The webcam tab's logic without the window: a view that records what it is
// told, and test cameras.
#include "app/AppState.h"
#include "app/WebcamScan.h"
#include "capture/TestCameras.h"
#include "capture/VideoImage.h"

#include <QTest>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
constexpr int kTimeout = 30000;

// Remembers what the scanner shows; its device list and button are plain values.
class TFakeWebcamView : public WebcamScanView {
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

    void ShowDevices(const QStringList& list) override
    {
        devices = list;
        selected = 0;
        ++devicesShown;
    }
    int DeviceCount() const override { return static_cast<int>(devices.size()); }
    QString SelectedDevice() const override { return devices.value(selected); }
    QString ButtonCaption() const override { return caption; }
    void SetButtonCaption(const QString& value) override { caption = value; }
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
    void ReportError(const QString& message) override { errors.append(message); }

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
    std::unique_ptr<TWebcamScanner> scanner;

private slots:
    void init()
    {
        view = TFakeWebcamView();
        SelectedCodeFormat = TBarcodeFormat::Auto;
        TestCameras::clear();
        RegisterStandardTestCameras(kSamples + QStringLiteral("/qr_code.png"));
        scanner = std::make_unique<TWebcamScanner>(view, nullptr);
    }

    void cleanup()
    {
        scanner.reset();
        TestCameras::clear();
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
        SelectedCodeFormat = TBarcodeFormat::EAN_13;
        scanner->StartStop();
        const int shown = view.framesShown;
        QTRY_VERIFY_WITH_TIMEOUT(view.framesShown >= shown + 10, kTimeout);
        QVERIFY(view.text.isEmpty());
        QVERIFY(!view.paneShown);
        SelectedCodeFormat = TBarcodeFormat::QR_CODE;
        QTRY_COMPARE_WITH_TIMEOUT(view.text, kQrText, kTimeout);
        scanner->Stop();
        QCOMPARE(view.caption, QStringLiteral("Start"));
    }

    void startWithoutDevicesDoesNothing()
    {
        scanner->StartStop(); // the list was never filled
        QCOMPARE(view.caption, QStringLiteral("Start"));
        QVERIFY(!scanner->VideoImage().VideoRunning());
        QVERIFY(view.errors.isEmpty());
    }

    // A camera gone since the list was made, and one that ends by itself: the
    // tab goes back to idle as STOP does, and says why once.
    void cameraThatCannotStartOrEndsIsReportedOnce_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("gone");
        QTest::newRow("gone since the list was made") << TestPatternDescription(TTestCameraFormat::YUY2, 160, 120) << true;
        QTest::newRow("end of stream after some frames")
            << QStringLiteral("videotestsrc is-live=true num-buffers=20 ! capsfilter caps=\"video/x-raw,format=YUY2,width=320,height=240,framerate=30/1\"")
            << false;
    }

    void cameraThatCannotStartOrEndsIsReportedOnce()
    {
        QFETCH(QString, description);
        QFETCH(bool, gone);
        const QString name = QStringLiteral("Scanner Test Camera");
        TestCameras::add(name, description);
        scanner->PageChanged(1);
        QVERIFY(view.Select(name));
        if (gone)
            TestCameras::remove(name);
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
