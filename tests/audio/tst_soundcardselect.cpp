#include "audio/soundcardselect.h"
#include "audio/updown.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "wavebytes.h"
#include "windowharness.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
using Device = VirtualWaveService::Device;
using Dir = WaveService::Direction;

// Three cards for output: 0 and 2 play the format, 1 does not. Two for input: only 0 records it.
WindowHarness* makeHarness() {
    return new WindowHarness({{"Line in", true}, {"Webcam microphone", false}},
                             {{"Built-in audio", true},
                              {"HDMI 0, a name far longer than thirty-one", false},
                              {"USB interface", true}});
}
} // namespace

class SoundCardSelectTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheSelectedDeviceOfTheMode() {
        std::unique_ptr<WindowHarness> h(makeHarness());
        TTavrin& w = h->open();
        w.audioDevices().OutputDevice = 2;
        w.ui().OutputSoundCard->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        QVERIFY(d.isVisible());
        QCOMPARE(d.IsOutput, 1);
        QCOMPARE(d.WaveUpDown->position(), 2);
        QCOMPARE(d.SoundCardManf->text(), QStringLiteral("USB interface"));
        QCOMPARE(d.NumOutDevs, 3);
        QCOMPARE(d.NumInDevs, 2);

        // The input command while the dialog is open changes the mode for next time only.
        w.ui().InputSoundCard->trigger();
        QCOMPARE(d.SoundCardMode, 0);
        QCOMPARE(d.IsOutput, 1);
        QCOMPARE(d.WaveUpDown->position(), 2);
        d.close();
        QVERIFY(!d.isVisible());
        w.ui().InputSoundCard->trigger();
        QCOMPARE(d.IsOutput, 0);
        QCOMPARE(d.WaveUpDown->position(), 0);
        QCOMPARE(d.SoundCardManf->text(), QStringLiteral("Line in"));
    }

    void steppingStaysAmongTheDevices() {
        std::unique_ptr<WindowHarness> h(makeHarness());
        TTavrin& w = h->open();
        w.ui().OutputSoundCard->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        d.WaveUpDown->stepUp();
        QCOMPARE(d.SoundCardManf->text(), QString("HDMI 0, a name far longer than ").left(31));
        d.WaveUpDown->stepUp();
        d.WaveUpDown->stepUp();
        d.WaveUpDown->stepUp();
        QCOMPARE(d.WaveUpDown->position(), 2);
        QCOMPARE(d.SoundCardManf->text(), QStringLiteral("USB interface"));
        d.WaveUpDown->stepDown();
        d.WaveUpDown->stepDown();
        d.WaveUpDown->stepDown();
        QCOMPARE(d.WaveUpDown->position(), 0);
        // Nothing is taken by stepping alone.
        QCOMPARE(w.audioDevices().OutputDevice, 0);
    }

    void selectTestsTheDeviceAndFallsBack() {
        std::unique_ptr<WindowHarness> h(makeHarness());
        TTavrin& w = h->open();
        w.ui().OutputSoundCard->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        d.WaveUpDown->stepUp();
        QTest::mouseClick(d.SelectBtn, Qt::LeftButton);
        QCOMPARE(d.MessageLabel->text(), QStringLiteral("Sound output device not compatible"));
        QCOMPARE(d.WaveUpDown->position(), 0);
        QCOMPARE(w.audioDevices().OutputDevice, 0);

        d.WaveUpDown->stepUp();
        d.WaveUpDown->stepUp();
        QTest::mouseClick(d.SelectBtn, Qt::LeftButton);
        QVERIFY(d.MessageLabel->text().isEmpty());
        QCOMPARE(w.audioDevices().OutputDevice, 2);
        QVERIFY(d.isVisible());
        // No device was opened to test it.
        const auto calls = h->wave.calls();
        QVERIFY(std::find(calls.begin(), calls.end(), "output.open") == calls.end());

        d.close();
        w.ui().InputSoundCard->trigger();
        d.WaveUpDown->stepUp();
        QTest::mouseClick(d.SelectBtn, Qt::LeftButton);
        QCOMPARE(d.MessageLabel->text(), QStringLiteral("Sound input device not compatible"));
        QCOMPARE(w.audioDevices().InputDevice, 0);
    }

    void aDeviceHeldByAnotherProgramIsReportedBusy_data() {
        QTest::addColumn<bool>("output");
        QTest::newRow("output") << true;
        QTest::newRow("input") << false;
    }

    void aDeviceHeldByAnotherProgramIsReportedBusy() {
        QFETCH(bool, output);
        const std::vector<Device> cards{{"Built-in audio", true}, {"USB", true, "Device busy"}};
        WindowHarness h(cards, cards);
        TTavrin& w = h.open();
        (output ? w.ui().OutputSoundCard : w.ui().InputSoundCard)->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        d.WaveUpDown->stepUp();
        QTest::mouseClick(d.SelectBtn, Qt::LeftButton);
        QCOMPARE(d.MessageLabel->text(),
                 QString("Sound %1 device busy: Device busy").arg(output ? "output" : "input"));
        QCOMPARE(output ? w.audioDevices().OutputDevice : w.audioDevices().InputDevice, 0);
    }

    void aBadDeviceThatWasInEffectStaysSelected() {
        std::unique_ptr<WindowHarness> h(makeHarness());
        TTavrin& w = h->open();
        w.audioDevices().OutputDevice = 1;
        w.ui().OutputSoundCard->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        QTest::mouseClick(d.SelectBtn, Qt::LeftButton);
        QCOMPARE(d.MessageLabel->text(), QStringLiteral("Sound output device not compatible"));
        QCOMPARE(w.audioDevices().OutputDevice, 1);
    }

    void withoutDevicesNothingIsCompatible() {
        WindowHarness h({}, {});
        TTavrin& w = h.open();
        w.ui().OutputSoundCard->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        QVERIFY(d.SoundCardManf->text().isEmpty());
        d.WaveUpDown->stepUp();
        QCOMPARE(d.WaveUpDown->position(), 0);
        QTest::mouseClick(d.SelectBtn, Qt::LeftButton);
        QCOMPARE(d.MessageLabel->text(), QStringLiteral("Sound output device not compatible"));
    }

    void selectIsRefusedWhileADeviceIsInUse() {
        std::unique_ptr<WindowHarness> h(makeHarness());
        WaveBytes wave;
        wave.samples = QByteArray(20 * 2096, 'p');
        QFile file(h->installDir() + "memory1.wav");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wave.bytes());
        file.close();
        TTavrin& w = h->open();
        w.ui().OutputSoundCard->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        d.WaveUpDown->stepUp();
        d.WaveUpDown->stepUp();
        AudioPump pump(h->wave, Dir::Output);
        int queuedAtSelect = -1;
        pump.after(2, [&] {
            QTest::mouseClick(d.SelectBtn, Qt::LeftButton);
            queuedAtSelect = h->wave.queuedCount(Dir::Output);
        });
        QTest::mouseClick(w.ui().PlayBtn, Qt::LeftButton);
        QVERIFY(queuedAtSelect > 0);
        QCOMPARE(w.audioDevices().OutputDevice, 0);
        QVERIFY(d.MessageLabel->text().isEmpty());
        QCOMPARE(h->wave.played().size(), std::size_t(20 * 2096));
    }

    void openingTheDialogStopsAPlayback() {
        std::unique_ptr<WindowHarness> h(makeHarness());
        WaveBytes wave;
        wave.samples = QByteArray(20 * 2096, 'q');
        QFile file(h->installDir() + "memory1.wav");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wave.bytes());
        file.close();
        TTavrin& w = h->open();
        AudioPump pump(h->wave, Dir::Output);
        pump.after(2, [&] { w.ui().OutputSoundCard->trigger(); });
        QTest::mouseClick(w.ui().PlayBtn, Qt::LeftButton);
        QVERIFY(w.soundCardSelect().isVisible());
        QVERIFY(w.keyerState().keyerStopped());
        QVERIFY(!h->wave.isOpen(Dir::Output));
        QVERIFY(h->wave.played().size() < std::size_t(20 * 2096));
    }

    void theWatchdogWaitsWhileTheDialogIsShown() {
        std::unique_ptr<WindowHarness> h(makeHarness());
        WaveBytes wave;
        wave.samples = QByteArray(4 * 2096, 'r');
        QFile file(h->installDir() + "memory1.wav");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wave.bytes());
        file.close();
        TTavrin& w = h->open();
        // The device stalls: no buffer completes. With the dialog shown the wait goes on past
        // the watchdog; once it is hidden the device is reset and playback goes on.
        w.soundCardSelect().showFor(TSoundCardSelect::OutputMode);
        bool resetWhileShown = false;
        QTimer::singleShot(1200, &w, [&] {
            const auto calls = h->wave.calls();
            resetWhileShown = std::find(calls.begin(), calls.end(), "output.reset") != calls.end();
            w.soundCardSelect().close();
        });
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w.ui().PlayBtn, Qt::LeftButton);
        QVERIFY(!resetWhileShown);
        QVERIFY(clock.elapsed() >= 1100);
        QVERIFY(w.keyerState().keyerStopped());
        QVERIFY(!h->wave.isOpen(Dir::Output));
    }
};

QTEST_MAIN(SoundCardSelectTest)
#include "tst_soundcardselect.moc"
