// The engines' status and wait on the device's own thread.
#include "audio/audiodevices.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "windowharness.h"

#include <QtTest>

#include <atomic>
#include <thread>

class EnginesTest : public QObject {
    Q_OBJECT

private slots:
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
