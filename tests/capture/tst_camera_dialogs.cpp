// The camera dialogs: image-control sliders over a pretend camera's controls,
// the capability list to pick from, and the dialogs reached through a running
// capture of a test camera.
#include "capture/CameraSources.h"
#include "capture/VideoSample.h"
#include "capture/widgets/CameraDialogs.h"
#include "support/FakeImageControls.h"
#include "support/TestCameras.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <linux/videodev2.h>

#include <memory>

using TWrite = TFakeImageControls::TWrite;
using TWrites = std::vector<TWrite>;

class TestCameraDialogs : public QObject {
    Q_OBJECT

private:
    static void MakeCamera(TFakeImageControls& camera)
    {
        camera.controls[V4L2_CID_BRIGHTNESS] = {{-64, 64, 1, 0}, 10};
        camera.controls[V4L2_CID_WHITE_BALANCE_TEMPERATURE] = {{2800, 6500, 10, 4600}, 5000};
        camera.controls[V4L2_CID_AUTO_WHITE_BALANCE] = {{0, 1, 1, 1}, 1};
    }

    // Runs action on the modal dialog that the next exec() shows.
    static void OnNextModal(std::function<void(QWidget*)> action)
    {
        QTimer::singleShot(0, [action] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                action(modal);
                return;
            }
            QFAIL("no modal dialog was shown"); // leaves exec() to the ctest time-out
        });
    }

private slots:
    void initTestCase() { InstallCameraDialogs(); }

    void rowsOnlyForTheControlsTheCameraHas()
    {
        TFakeImageControls camera;
        MakeCamera(camera);
        TImageControlsDialog dialog(camera, QStringLiteral("Cam"));
        QCOMPARE(dialog.RowCount(), 2);
        QVERIFY(dialog.Slider(VP_Contrast) == nullptr);
        QSlider* brightness = dialog.Slider(VP_Brightness);
        QVERIFY(brightness);
        QCOMPARE(brightness->minimum(), -64);
        QCOMPARE(brightness->maximum(), 64);
        QCOMPARE(brightness->value(), 10);
        QVERIFY(brightness->isEnabled());
        QVERIFY(dialog.AutoBox(VP_Brightness) == nullptr);
        QCheckBox* autoWhite = dialog.AutoBox(VP_WhiteBalance);
        QVERIFY(autoWhite);
        QVERIFY(autoWhite->isChecked());
        QVERIFY(!dialog.Slider(VP_WhiteBalance)->isEnabled()); // the camera sets it itself
        QVERIFY(camera.writes.empty());                        // showing writes nothing
    }

    void slidersAndAutoWriteToTheCamera()
    {
        TFakeImageControls camera;
        MakeCamera(camera);
        TImageControlsDialog dialog(camera, QString());
        dialog.Slider(VP_Brightness)->setValue(-20);
        QCOMPARE(camera.writes, (TWrites{{V4L2_CID_BRIGHTNESS, -20}}));
        camera.writes.clear();

        dialog.AutoBox(VP_WhiteBalance)->setChecked(false);
        QVERIFY(dialog.Slider(VP_WhiteBalance)->isEnabled());
        QCOMPARE(camera.writes,
                 (TWrites{{V4L2_CID_AUTO_WHITE_BALANCE, 0}, {V4L2_CID_WHITE_BALANCE_TEMPERATURE, 5000}}));
        camera.writes.clear();
        dialog.Slider(VP_WhiteBalance)->setValue(5017); // between steps of 10
        QCOMPARE(camera.writes, (TWrites{{V4L2_CID_WHITE_BALANCE_TEMPERATURE, 5010}}));
        camera.writes.clear();
        dialog.AutoBox(VP_WhiteBalance)->setChecked(true);
        QCOMPARE(camera.writes, (TWrites{{V4L2_CID_AUTO_WHITE_BALANCE, 1}}));
    }

    void defaultButtonRestoresEveryControl()
    {
        TFakeImageControls camera;
        MakeCamera(camera);
        TImageControlsDialog dialog(camera, QString());
        QTest::mouseClick(dialog.DefaultButton(), Qt::LeftButton);
        QCOMPARE(camera.controls[V4L2_CID_BRIGHTNESS].value, 0);
        QCOMPARE(camera.controls[V4L2_CID_WHITE_BALANCE_TEMPERATURE].value, 4600);
        QCOMPARE(camera.controls[V4L2_CID_AUTO_WHITE_BALANCE].value, 0);
        QVERIFY(!dialog.AutoBox(VP_WhiteBalance)->isChecked());
    }

    void formatDialogStartsOnTheCurrentEntry()
    {
        const QStringList entries = {QStringLiteral("160*90  (YUY2)"), QStringLiteral("320*240  (YUY2)")};
        TCaptureFormatDialog dialog(entries, 1);
        QCOMPARE(dialog.ListBox()->count(), 2);
        QCOMPARE(dialog.SelectedIndex(), 1);
        TCaptureFormatDialog none(entries, 5);
        QCOMPARE(none.SelectedIndex(), -1);
    }

    void streamDialogSwitchesTheRunningCapture_data()
    {
        QTest::addColumn<int>("pick");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("width");
        QTest::newRow("smallest") << 0 << true << 160;
        QTest::newRow("largest") << 2 << true << 320;
        QTest::newRow("cancelled") << 0 << false << 240; // stays on the first negotiated size
    }

    void streamDialogSwitchesTheRunningCapture()
    {
        QFETCH(int, pick);
        QFETCH(bool, accept);
        QFETCH(int, width);
        const QString name = QStringLiteral("Lantrix Dialog Sizes");
        TCameraSources::Add(name, QStringLiteral("videotestsrc is-live=true ! capsfilter "
                                                 "caps=\"video/x-raw,format=YUY2,width=240,height=180,framerate=30/1; "
                                                 "video/x-raw,format=YUY2,width=160,height=120,framerate=30/1; "
                                                 "video/x-raw,format=YUY2,width=320,height=240,framerate=30/1\""));
        HRESULT hr = E_FAIL;
        TVideoSample capture(nullptr, false, 0, hr);
        QString selected;
        QCOMPARE(capture.StartVideo(name, false, selected), S_OK);
        QCOMPARE(capture.WaitForFirstSample(std::chrono::seconds(20)), S_OK);
        int shownRows = -1, shownCurrent = -2;
        OnNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TCaptureFormatDialog*>(modal);
            QVERIFY(dialog);
            shownRows = dialog->ListBox()->count();
            shownCurrent = dialog->SelectedIndex();
            dialog->ListBox()->setCurrentRow(pick);
            accept ? dialog->accept() : dialog->reject();
        });
        QCOMPARE(capture.ShowPropertyDialog_CaptureStream(), S_OK);
        QCOMPARE(shownRows, 3);
        QCOMPARE(shownCurrent, 1);                                            // 240*180 sorts between the other two
        QCOMPARE(capture.WaitForFirstSample(std::chrono::seconds(20)), S_OK); // of the stream as it is now
        int w = 0, h = 0;
        std::uint32_t fourCC = 0;
        QCOMPARE(capture.GetStreamInfo(w, h, fourCC), S_OK);
        QCOMPARE(w, width);
        QCOMPARE(capture.GetPlayState(), PS_Running);
        capture.Destroy();
        TCameraSources::Remove(name);
    }

    void propertyDialogOverTheCaptureControls()
    {
        HRESULT hr = E_FAIL;
        TVideoSample capture(nullptr, false, 0, hr);
        QCOMPARE(capture.ShowPropertyDialog(), E_NOINTERFACE); // no camera, no controls
        auto camera = std::make_unique<TFakeImageControls>();
        MakeCamera(*camera);
        TFakeImageControls* controls = camera.get();
        capture.SetImageControls(std::move(camera));
        OnNextModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TImageControlsDialog*>(modal);
            QVERIFY(dialog);
            dialog->Slider(VP_Brightness)->setValue(33);
            dialog->reject();
        });
        QCOMPARE(capture.ShowPropertyDialog(), S_OK);
        QCOMPARE(controls->controls[V4L2_CID_BRIGHTNESS].value, 33);
        QCOMPARE(capture.ShowVfWCaptureDlg(), E_NOTIMPL);
    }
};

QTEST_MAIN(TestCameraDialogs)
#include "tst_camera_dialogs.moc"
