// Real-time pacing through a sound server: the headless PulseAudio that scripts/test.sh starts,
// reached through ALSA's "pulse" PCM, with a null sink and a null source at 11025 Hz mono.
#include "audio/alsawaveservice.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QProcess>
#include <QtTest>

namespace {
// 21 buffers of 1048 samples: two seconds of sound, within 15 %.
constexpr int kBlocks = 21;
constexpr double kSoundMs = kBlocks * 1000.0 * kWaveBufferSamples / 11025;
constexpr double kTolerance = 0.15;
// A reset or close that waits for the device thread's own time-out takes far longer.
constexpr qint64 kPromptMs = 100;

bool inRealTime(qint64 ms) {
    return ms >= kSoundMs * (1 - kTolerance) && ms <= kSoundMs * (1 + kTolerance);
}

std::unique_ptr<AlsaWaveService> pulse() {
    return std::make_unique<AlsaWaveService>(std::vector<AlsaPcm>{{"pulse", "PulseAudio"}},
                                             std::vector<AlsaPcm>{{"pulse", "PulseAudio"}});
}
} // namespace

class AlsaPulseTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (qEnvironmentVariableIsEmpty("TAVRIN_PULSE")) {
            // On CI the sound server is part of the test environment: its absence is a failure.
            if (!qEnvironmentVariableIsEmpty("CI"))
                QFAIL("TAVRIN_PULSE is not set: no PulseAudio for the paced audio tests");
            QSKIP("no PulseAudio (run through scripts/test.sh)");
        }
    }

    // Through the window: a message takes its own time to play and to record, with no gap.
    void playbackAndRecordingTakeRealTime() {
        const auto alsa = pulse();
        WindowHarness h;
        h.realWave = alsa.get();
        h.writeMessage(1, pattern(kBlocks * kBlock));
        TTavrin& w = h.open();
        QElapsedTimer clock;
        clock.start();
        click(w.ui().PlayBtn);
        const qint64 played = clock.elapsed();

        qint64 recorded = -1;
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, &w, [&] {
            if (w.keyerState().recordedBytes() >= kBlocks * kBlock && recorded < 0) {
                recorded = clock.elapsed();
                click(w.ui().StopBtn);
            }
        });
        stopper.start(1);
        clock.start();
        click(w.ui().RecordBtn);
        QVERIFY(h.dialogs.messages.isEmpty());
        QVERIFY2(inRealTime(played), qPrintable(QString::number(played)));
        QVERIFY2(inRealTime(recorded), qPrintable(QString::number(recorded)));
        QCOMPARE(alsa->underruns() + alsa->overruns(), 0u);
    }

    // A device that stops taking or giving sound (its sink or source suspended): the device
    // thread sleeps on the PCM, and reset, or the service's end, must still wake it at once.
    void aStalledDeviceIsLetGoAtOnce_data() {
        rows({"playback, reset", "capture, reset", "playback, service closed"});
    }
    void aStalledDeviceIsLetGoAtOnce() {
        QFETCH(QStringList, row);
        const bool output = row[0].startsWith("playback"), closeService = row[0].endsWith("closed");
        const QStringList suspend{output ? "suspend-sink" : "suspend-source",
                                  output ? "nul" : "nsrc"};
        QCOMPARE(QProcess::execute("pactl", suspend + QStringList{"1"}), 0);
        auto alsa = pulse();
        // More than the device's buffer holds, so that playback fills it and waits on the PCM.
        QByteArray memory(8 * kBlock, '\x11');
        std::vector<WaveHeader> headers(output ? 8 : 2);
        WaveService::Handle handle = 0;
        QCOMPARE(alsa->open(output ? Dir::Output : Dir::Input, handle, 0, WaveFormat{}), 0);
        for (std::size_t i = 0; i < headers.size(); ++i) {
            headers[i].data = reinterpret_cast<std::uint8_t*>(memory.data()) + i * kBlock;
            headers[i].bufferLength = kBlock;
            QVERIFY(alsa->prepare(handle, headers[i]) == 0 && alsa->queue(handle, headers[i]) == 0);
        }
        if (!output)
            QCOMPARE(alsa->start(handle), 0);
        QTest::qWait(400); // the thread has long been asleep on the PCM by then
        QVERIFY2(!headers.back().done(), "the suspended device moved sound: nothing stalled");
        QElapsedTimer clock;
        clock.start();
        if (closeService)
            alsa.reset();
        else
            QCOMPARE(alsa->reset(handle), 0);
        const qint64 ms = clock.elapsed();
        QProcess::execute("pactl", suspend + QStringList{"0"});
        for (const WaveHeader& header : headers)
            QVERIFY(header.done());
        QVERIFY2(ms < kPromptMs, qPrintable(QString::number(ms)));
    }
};

QTEST_MAIN(AlsaPulseTest)
#include "tst_alsapulse.moc"
