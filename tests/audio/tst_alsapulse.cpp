// Real-time pacing through a sound server: the headless PulseAudio that scripts/test.sh starts,
// reached through ALSA's "pulse" PCM, with a null sink and a null source at 11025 Hz mono.
#include "audio/alsawaveservice.h"
#include "enginetestsupport.h"

#include <QtTest>

#include <cstdlib>

namespace {

// 21 buffers of 1048 samples: two seconds of sound.
constexpr int Blocks = 21;
constexpr double SoundMs = Blocks * 1000.0 * kWaveBufferSamples / WaveFormat{}.samplesPerSecond;
constexpr double Tolerance = 0.15;

bool within(qint64 elapsedMs) {
    return elapsedMs >= SoundMs * (1 - Tolerance) && elapsedMs <= SoundMs * (1 + Tolerance);
}

} // namespace

class AlsaPulseTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void playbackTakesRealTimeWithoutUnderrun();
    void recordingTakesRealTimeWithoutOverrun();

private:
    AlsaWaveService service_{{{"pulse", QStringLiteral("PulseAudio")}},
                             {{"pulse", QStringLiteral("PulseAudio")}}};
};

void AlsaPulseTest::init() {
    if (qEnvironmentVariableIsEmpty("TAVRIN_PULSE")) {
        // On CI the sound server is part of the test environment: its absence is a failure.
        if (!qEnvironmentVariableIsEmpty("CI"))
            QFAIL("TAVRIN_PULSE is not set: no PulseAudio for the paced audio tests");
        QSKIP("no PulseAudio (run through scripts/test.sh)");
    }
}

void AlsaPulseTest::playbackTakesRealTimeWithoutUnderrun() {
    EngineRig rig(service_);
    const qint64 elapsed = playBlocks(rig.out, rig.host, testBlocks(Blocks));
    qInfo("played %.0f ms of sound in %lld ms", SoundMs, elapsed);

    QCOMPARE(rig.dialogs.texts(), QStringList());
    QVERIFY2(within(elapsed),
             qPrintable(QStringLiteral("%1 ms for %2 ms of sound").arg(elapsed).arg(SoundMs)));
    QCOMPARE(service_.underruns(), 0u);
}

void AlsaPulseTest::recordingTakesRealTimeWithoutOverrun() {
    EngineRig rig(service_);

    qint64 elapsed = 0;
    const QByteArray stored = recordBlocks(rig.in, rig.host, Blocks, &elapsed);
    qInfo("recorded %.0f ms of sound in %lld ms", SoundMs, elapsed);

    QCOMPARE(rig.dialogs.texts(), QStringList());
    QCOMPARE(stored.size(), Blocks * kWaveBufferBytes);
    QVERIFY2(within(elapsed),
             qPrintable(QStringLiteral("%1 ms for %2 ms of sound").arg(elapsed).arg(SoundMs)));
    QCOMPARE(service_.overruns(), 0u);
}

QTEST_MAIN(AlsaPulseTest)
#include "tst_alsapulse.moc"
