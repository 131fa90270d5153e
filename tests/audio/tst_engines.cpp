// The sound device failure rules, and the engines' status and wait on the device's own thread.
#include "audio/audiodevices.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "audiopump.h"
#include "windowharness.h"

#include <QtTest>

#include <atomic>
#include <thread>

class EnginesTest : public QObject {
    Q_OBJECT

private slots:
    // Every failure is shown; one inside a running loop ends the program, one in the clean-up
    // after the loop is only shown. An input failure also closes the input device at once: with
    // a buffer still queued that close fails too, and the clean-up's close after it.
    void failuresFollowTheDeviceRules_data() {
        QTest::addColumn<bool>("input");
        QTest::addColumn<Op>("op");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<bool>("terminates");
        QTest::addColumn<QStringList>("texts");
        const QString inClose = QStringLiteral("Error closing the input wave device");
        // A buffer still queued makes the close after a failed reset fail too.
        QTest::newRow("output write while playing")
            << false << Op::Queue << 3 << true
            << QStringList{"Error writing to the output device a"};
        QTest::newRow("output reset after the message")
            << false << Op::Reset << 1 << false
            << QStringList{"Error Resetting the output wave device",
                           "Error closing the output wave device"};
        QTest::newRow("input buffer while recording")
            << true << Op::Queue << 3 << true
            << QStringList{"Error in sending a buffer_a", inClose};
        QTest::newRow("input reset after STOP")
            << true << Op::Reset << 1 << false
            << QStringList{"Error Resetting the input wave device", inClose, inClose};
    }
    void failuresFollowTheDeviceRules() {
        QFETCH(bool, input);
        QFETCH(Op, op);
        QFETCH(int, occurrence);
        QFETCH(bool, terminates);
        QFETCH(QStringList, texts);
        WindowHarness h;
        h.writeMessage(1, pattern(6 * kBlock));
        TTavrin& w = h.open();
        const Dir dir = input ? Dir::Input : Dir::Output;
        h.wave.failOn(dir, op, occurrence);
        AudioPump pump(h.wave, dir);
        pump.after(4, [&] { click(w.ui().StopBtn); });
        click(input ? w.ui().RecordBtn : w.ui().PlayBtn);
        QCOMPARE(h.dialogs.texts(), texts);
        for (const auto& message : h.dialogs.messages)
            QCOMPARE(message.title, QStringLiteral("Wave Device Message"));
        QCOMPARE(w.terminationRequested(), terminates);
    }

    // A close that fails keeps the handle, so that the device is closed later instead of leaked.
    void aFailedCloseKeepsTheDevice() {
        VirtualWaveService wave;
        AudioDevices devices;
        WaveInEngine in(wave, devices);
        in.SetupWaveIn();
        QVERIFY(in.OpenWaveIn().ok());
        wave.failOn(Dir::Input, Op::Close);
        const WaveStatus failed = in.CloseWaveIn();
        QVERIFY(!failed.ok() && failed.site() == WaveSite::InClose);
        QVERIFY(in.deviceOpen());
        QVERIFY(in.CloseWaveIn().ok());
        QVERIFY(!in.deviceOpen() && !wave.isOpen(Dir::Input));
    }

    // The device may finish at any moment around the wait's going to sleep; with no other event
    // to come, a lost wake-up would leave the wait asleep until the rescue timer.
    void waitNeverSleepsThroughACompletion() {
        VirtualWaveService wave;
        AudioDevices devices;
        WaveOutEngine out(wave, devices);
        out.SetupWaveOut();
        QVERIFY(out.OpenWaveOut().ok());
        std::atomic<bool> quit{false};
        std::thread device([&] {
            while (!quit)
                if (!wave.completeNext(Dir::Output))
                    std::this_thread::yield();
        });
        bool rescued = false;
        QTimer rescue;
        rescue.setSingleShot(true);
        QObject::connect(&rescue, &QTimer::timeout, [&] { rescued = true; });
        int done = 0;
        for (int i = 0; i < 500 && !rescued; ++i) {
            rescue.start(2000);
            out.RearmOutHeader(Half::A);
            out.PrepareOutHeader(Half::A);
            out.WriteOutHeader(Half::A);
            done += out.waitFor(
                        Half::A, [&] { return rescued; }, [] { return false; }) == WaitEnd::Done;
            out.UnprepareOutHeader(Half::A);
        }
        quit = true;
        device.join();
        QVERIFY(!rescued);
        QCOMPARE(done, 500);
    }
};

QTEST_MAIN(EnginesTest)
#include "tst_engines.moc"
