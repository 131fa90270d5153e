#include "audio/soundcardselect.h"
#include "audio/updown.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QAction>
#include <QLabel>
#include <QtTest>

namespace {
// Output cards 0 and 2 play the format, 1 does not; only input card 0 records it.
std::unique_ptr<WindowHarness> harness() {
    return std::make_unique<WindowHarness>(
        std::vector<VirtualWaveService::Device>{{"Line in"}, {"Webcam microphone", false}},
        std::vector<VirtualWaveService::Device>{{"Built-in audio"}, {"HDMI", false}, {"USB"}});
}
} // namespace

class SoundCardSelectTest : public QObject {
    Q_OBJECT

private slots:
    // Select takes a card only when it can do the format, without opening it; stepping stays
    // among the cards, and a card that cannot is refused with the dialog back on card 0.
    void selectTakesOnlyACompatibleCard_data() {
        QTest::addColumn<bool>("output");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("taken");
        QTest::newRow("output 2") << true << 2 << 2;
        QTest::newRow("output past the last") << true << 5 << 2;
        QTest::newRow("output 1 cannot") << true << 1 << 0;
        QTest::newRow("input 1 cannot") << false << 1 << 0;
    }
    void selectTakesOnlyACompatibleCard() {
        QFETCH(bool, output);
        QFETCH(int, steps);
        QFETCH(int, taken);
        auto h = harness();
        TTavrin& w = h->open();
        (output ? w.ui().OutputSoundCard : w.ui().InputSoundCard)->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        for (int i = 0; i < steps; ++i)
            d.WaveUpDown->stepUp();
        click(d.SelectBtn);
        const bool refused = taken != qMin(steps, 2);
        QCOMPARE(d.MessageLabel->text(),
                 refused
                     ? QString("Sound %1 device not compatible").arg(output ? "output" : "input")
                     : QString());
        QCOMPARE(d.WaveUpDown->position(), taken);
        QCOMPARE(output ? w.audioDevices().OutputDevice : w.audioDevices().InputDevice, taken);
        QCOMPARE(h->wave.calls(output ? Dir::Output : Dir::Input, Op::Open), 0);
    }

    // A card another program holds is reported busy, with the reason, and is not taken.
    void aCardHeldElsewhereIsReportedBusy() {
        const std::vector<VirtualWaveService::Device> cards{{"Built-in"}, {"USB", true, "Busy"}};
        for (bool output : {true, false}) {
            WindowHarness h(cards, cards);
            TTavrin& w = h.open();
            (output ? w.ui().OutputSoundCard : w.ui().InputSoundCard)->trigger();
            TSoundCardSelect& d = w.soundCardSelect();
            d.WaveUpDown->stepUp();
            click(d.SelectBtn);
            QCOMPARE(d.MessageLabel->text(),
                     QString("Sound %1 device busy: Busy").arg(output ? "output" : "input"));
            QCOMPARE(output ? w.audioDevices().OutputDevice : w.audioDevices().InputDevice, 0);
        }
    }

    // A loop holding a device keeps it: Select then takes nothing.
    void selectIsRefusedWhileADeviceIsInUse() {
        auto h = harness();
        h->writeMessage(1, pattern(20 * kBlock));
        TTavrin& w = h->open();
        w.ui().OutputSoundCard->trigger();
        TSoundCardSelect& d = w.soundCardSelect();
        d.WaveUpDown->stepUp();
        d.WaveUpDown->stepUp();
        AudioPump pump(h->wave, Dir::Output);
        pump.after(2, [&] { click(d.SelectBtn); });
        click(w.ui().PlayBtn);
        QCOMPARE(w.audioDevices().OutputDevice, 0);
        QCOMPARE(h->wave.played().size(), 20 * kBlock);
    }

    // The device stalls. While the dialog is shown the wait goes on past the watchdog; once it
    // is hidden the device is reset and the playback ends.
    void theWatchdogWaitsWhileTheDialogIsShown() {
        auto h = harness();
        h->writeMessage(1, pattern(4 * kBlock));
        TTavrin& w = h->open();
        w.soundCardSelect().showFor(SoundCardMode::Output);
        int resetsWhileShown = -1;
        QTimer::singleShot(1200, &w, [&] {
            resetsWhileShown = h->wave.calls(Dir::Output, Op::Reset);
            w.soundCardSelect().close();
        });
        QElapsedTimer clock;
        clock.start();
        click(w.ui().PlayBtn);
        QCOMPARE(resetsWhileShown, 0);
        QVERIFY(clock.elapsed() >= 1100);
        QVERIFY(w.keyerState().keyerStopped());
        QVERIFY(!h->wave.isOpen(Dir::Output));
    }
};

QTEST_MAIN(SoundCardSelectTest)
#include "tst_soundcardselect.moc"
