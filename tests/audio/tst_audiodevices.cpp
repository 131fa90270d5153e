// The sound card dialog, and the engines' status and wait on the device's own thread.
#include "audio/audiodevices.h"
#include "audio/soundcarddialog.h"
#include "audio/updown.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <thread>

class AudioDevicesTest : public QObject {
    Q_OBJECT

private slots:
    // Select takes a card only when it can do the format, without opening it; stepping stays
    // among the cards. A card that cannot, or that another program holds, is refused with the
    // reason and the dialog back on card 0. A playback holding a device keeps it: Select then
    // takes nothing. If that device stalls, the wait goes on past the longest silence the
    // watchdog allows while the dialog is shown; once it is hidden the device is reset and the
    // playback ends. Dialog, steps up, card taken, refusal.
    void selectTakesOnlyACompatibleCard_data() {
        columns<QString, int, int, QString>("dialog", "steps", "taken", "refusal");
        const auto row = [](const char* dialog, int steps, int taken, const char* refusal) {
            QTest::addRow("%s, %d up", dialog, steps) << dialog << steps << taken << refusal;
        };
        row("output", 2, 2, "");
        row("output", 9, 0, "output device busy: Busy");
        row("output", 1, 0, "output device not compatible");
        row("input", 1, 0, "input device not compatible");
        row("input", 2, 0, "input device busy: Busy");
        row("output while playing", 2, 0, "");
        row("output while stalled", 2, 0, "");
    }
    void selectTakesOnlyACompatibleCard() {
        QFETCH(QString, dialog);
        QFETCH(int, steps);
        QFETCH(int, taken);
        QFETCH(QString, refusal);
        const bool output = dialog.startsWith("output"), playing = dialog.contains("while");
        const bool stalls = dialog.endsWith("stalled");
        // Output cards 0 and 2 play the format, 1 does not, 3 is held by another program; only
        // input card 0 records the format, and input card 2 is held.
        WindowHarness h({{"Line in"}, {"Webcam microphone", false}, {"USB", true, "Busy"}},
                        {{"Built-in audio"}, {"HDMI", false}, {"USB"}, {"Dock", true, "Busy"}});
        h.writeMessage(1, pattern(20 * kBlock));
        MainWindow& w = h.open();
        item(w, output ? "OutputSoundCard" : "InputSoundCard")->trigger();
        SoundCardDialog& d = w.soundCardSelect();
        for (QToolButton* button : d.deviceStepper->findChildren<QToolButton*>())
            for (int i = 0; i < steps && button->arrowType() == Qt::UpArrow; ++i)
                QTest::mouseClick(button, Qt::LeftButton);
        // The steps end on the last card there is, and its name shows.
        const QStringList names = output ? QStringList{"Built-in audio", "HDMI", "USB", "Dock"}
                                         : QStringList{"Line in", "Webcam microphone", "USB"};
        QCOMPARE(d.productLabel->text(), names.value(std::min(steps, int(names.size()) - 1)));
        AudioPump pump(h.wave, Dir::Output);
        int resetsWhileShown = -1; // stays so if the playback ended before this look
        pump.after(2, [&] {
            click(d.selectButton);
            if (!stalls)
                return;
            pump.stop();
            QTimer::singleShot(int(Keyer::kLongestSilence.count()) + 500, &w, [&] {
                resetsWhileShown = h.wave.calls(Dir::Output, Op::Reset);
                d.close();
            });
        });
        playing ? click(w.ui().playButton) : click(d.selectButton);
        QVERIFY(!stalls || resetsWhileShown == 0);
        QVERIFY(w.station().keyerState().keyerStopped() && !h.wave.isOpen(Dir::Output));
        QCOMPARE(d.messageLabel->text(), refusal.isEmpty() ? refusal : "Sound " + refusal);
        QCOMPARE(d.deviceStepper->position(), playing ? steps : taken);
        QCOMPARE(output ? w.station().audioDevices().outputDevice
                        : w.station().audioDevices().inputDevice,
                 taken);
        QCOMPARE(h.wave.calls(output ? Dir::Output : Dir::Input, Op::Open), int(playing));
        QCOMPARE(h.wave.played().size(), (stalls ? 2 : playing ? 20 : 0) * kBlock);
        click(d.selectButton); // the card shown now does the format: no refusal stays on show
        QVERIFY(d.messageLabel->text().isEmpty());
    }

    // The device may finish a buffer at any moment around the report of the one before; a lost
    // report would leave the buffer unserviced until the watchdog.
    void noCompletionGoesUnreported() {
        VirtualWaveService wave;
        AudioDevices devices;
        WaveOutEngine out(wave, devices);
        out.prepareOutput();
        QVERIFY(out.openOutput().ok());
        QEventLoop loop;
        QObject receiver;
        out.reportCompletionsTo(&receiver, [&] {
            if (out.done(Half::A))
                loop.quit();
        });
        std::atomic<bool> quit{false};
        std::thread device([&] {
            while (!quit)
                if (!wave.completeNext(Dir::Output))
                    std::this_thread::yield();
        });
        QTimer rescue; // ends a wait whose report was lost: it then no longer runs
        rescue.setSingleShot(true);
        rescue.callOnTimeout(&loop, &QEventLoop::quit);
        int reported = 0;
        for (int i = 0; i < 500 && reported == i; ++i) {
            rescue.start(2000);
            out.queueBlock(Half::A);
            if (!out.done(Half::A))
                loop.exec();
            reported += rescue.isActive() ? 1 : 0;
        }
        quit = true;
        device.join();
        QCOMPARE(reported, 500);
    }

    // Asking a device for the format opens it: a device that took the format is not asked again
    // until another one is selected or an open fails. A close that fails keeps the handle, so
    // that the device is closed later instead of leaked. One open per step ('=' the same device,
    // 'f' its open fails, 'c' another device, 'x' its close fails), queries.
    void theEngineAsksAndClosesOnlyAsNeeded_data() {
        columns<QString, int>("steps", "queries");
        for (auto [steps, queries] : {std::pair{"===", 1}, {"=f=", 2}, {"=c=", 2}, {"=x=", 1}})
            QTest::newRow(steps) << steps << queries;
    }
    void theEngineAsksAndClosesOnlyAsNeeded() {
        QFETCH(QString, steps);
        QFETCH(int, queries);
        VirtualWaveService wave({{"in"}}, {{"out 0"}, {"out 1"}});
        AudioDevices devices;
        WaveOutEngine out(wave, devices);
        for (const QChar step : steps) {
            devices.outputDevice += step == QLatin1Char('c');
            if (step == QLatin1Char('f') || step == QLatin1Char('x'))
                wave.failOn(Dir::Output, step == QLatin1Char('f') ? Op::Open : Op::Close);
            out.prepareOutput();
            QCOMPARE(out.openOutput().ok(), step != QLatin1Char('f'));
            const WaveStatus closed = out.closeOutput();
            QCOMPARE(closed.ok(), step == QLatin1Char('=') || step == QLatin1Char('c'));
            QCOMPARE(out.deviceOpen(), step == QLatin1Char('x'));
            QVERIFY(step != QLatin1Char('x') ||
                    (closed.site() == WaveSite::OutClose && out.closeOutput().ok() &&
                     !out.deviceOpen() && !wave.isOpen(Dir::Output)));
        }
        QCOMPARE(wave.calls(Dir::Output, Op::Query), queries);
    }
};

QTEST_MAIN(AudioDevicesTest)
#include "tst_audiodevices.moc"
