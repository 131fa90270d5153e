// Real-time pacing through a sound server: the headless PulseAudio that scripts/test.sh starts,
// reached through ALSA's "pulse" PCM, with a null sink and a null source at 11025 Hz mono.
#include "audio/alsawaveservice.h"
#include "enginetestsupport.h"

#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

// 21 buffers of 1048 samples: two seconds of sound.
constexpr int Blocks = 21;
constexpr double SoundMs = Blocks * 1000.0 * kWaveBufferSamples / WaveFormat{}.samplesPerSecond;
constexpr double Tolerance = 0.15;

bool within(qint64 elapsedMs) {
    return elapsedMs >= SoundMs * (1 - Tolerance) && elapsedMs <= SoundMs * (1 + Tolerance);
}

using Dir = WaveService::Direction;

// More than the device's buffer holds, so that playback fills it and waits on the PCM.
constexpr int OutputHeaders = 8;
constexpr int InputHeaders = 2;
// The thread has long been asleep on the PCM by then.
constexpr int SettleMs = 400;
// A reset or close that waits for the thread's own time-out instead of waking it takes far longer.
constexpr qint64 PromptMs = 100;

bool pactl(const QStringList& args) {
    return QProcess::execute(QStringLiteral("pactl"), args) == 0;
}

// Suspends a sink or source of the sound server for the life of the object.
class Suspended {
public:
    Suspended(const char* kind, const char* name)
        : kind_(QLatin1String(kind)), name_(QLatin1String(name)) {
        ok_ = pactl({QStringLiteral("suspend-") + kind_, name_, QStringLiteral("1")});
    }
    ~Suspended() { pactl({QStringLiteral("suspend-") + kind_, name_, QStringLiteral("0")}); }
    bool ok() const { return ok_; }

private:
    QString kind_;
    QString name_;
    bool ok_ = false;
};

struct Buffers {
    explicit Buffers(int count)
        : blocks(count, testBlock(0)), headers(static_cast<std::size_t>(count)) {
        for (int i = 0; i < count; ++i) {
            WaveHeader& h = headers[static_cast<std::size_t>(i)];
            h.data = reinterpret_cast<std::uint8_t*>(blocks[i].data());
            h.bufferLength = kWaveBufferBytes;
        }
    }
    bool allDone() const {
        return std::all_of(headers.begin(), headers.end(),
                           [](const WaveHeader& h) { return h.done(); });
    }
    QList<QByteArray> blocks;
    std::vector<WaveHeader> headers;
};

qint64 elapsedMs(const std::function<void()>& call) {
    QElapsedTimer clock;
    clock.start();
    call();
    return clock.elapsed();
}

// A device of the service with the buffers queued, started, and given time to stall.
WaveService::Handle stall(WaveService& service, Dir direction, Buffers& buffers) {
    WaveService::Handle handle = 0;
    if (service.open(direction, handle, 0, WaveFormat{}) != 0)
        return 0;
    for (WaveHeader& h : buffers.headers) {
        if (service.prepare(handle, h) != 0 || service.queue(handle, h) != 0)
            return 0;
    }
    if (direction == Dir::Input && service.start(handle) != 0)
        return 0;
    QTest::qWait(SettleMs);
    return handle;
}

} // namespace

class AlsaPulseTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void playbackTakesRealTimeWithoutUnderrun();
    void recordingTakesRealTimeWithoutOverrun();
    // A device that stops taking or giving sound (its sink or source suspended): the device
    // thread sleeps on the PCM, and reset and close must still be carried out at once.
    void resetWakesAStalledDevice_data();
    void resetWakesAStalledDevice();
    void closingTheServiceWakesAStalledDevice();

private:
    static std::unique_ptr<AlsaWaveService> pulseService() {
        return std::make_unique<AlsaWaveService>(
            std::vector<AlsaPcm>{{"pulse", QStringLiteral("PulseAudio")}},
            std::vector<AlsaPcm>{{"pulse", QStringLiteral("PulseAudio")}});
    }

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

void AlsaPulseTest::resetWakesAStalledDevice_data() {
    QTest::addColumn<bool>("output");
    QTest::newRow("playback, device full") << true;
    QTest::newRow("capture, no sound coming") << false;
}

void AlsaPulseTest::resetWakesAStalledDevice() {
    QFETCH(bool, output);
    const Suspended suspended(output ? "sink" : "source", output ? "nul" : "nsrc");
    QVERIFY(suspended.ok());
    const auto owned = pulseService();
    AlsaWaveService& service = *owned;
    Buffers buffers(output ? OutputHeaders : InputHeaders);
    const WaveService::Handle handle = stall(service, output ? Dir::Output : Dir::Input, buffers);
    QVERIFY(handle != 0);
    QVERIFY2(!buffers.headers.back().done(), "the suspended device moved sound: nothing stalled");

    int result = -1;
    const qint64 ms = elapsedMs([&] { result = service.reset(handle); });
    QCOMPARE(result, 0);
    QVERIFY(buffers.allDone());
    QVERIFY2(ms < PromptMs, qPrintable(QStringLiteral("reset took %1 ms").arg(ms)));
    for (WaveHeader& h : buffers.headers)
        QCOMPARE(service.unprepare(handle, h), 0);
    QCOMPARE(service.close(handle), 0);
}

void AlsaPulseTest::closingTheServiceWakesAStalledDevice() {
    const Suspended suspended("sink", "nul");
    QVERIFY(suspended.ok());
    Buffers buffers(OutputHeaders);
    auto service = pulseService();
    QVERIFY(stall(*service, Dir::Output, buffers) != 0);
    QVERIFY(!buffers.headers.back().done());
    // The program's way out: the service goes with a device still playing.
    const qint64 ms = elapsedMs([&] { service.reset(); });
    QVERIFY(buffers.allDone());
    QVERIFY2(ms < PromptMs, qPrintable(QStringLiteral("closing took %1 ms").arg(ms)));
}

QTEST_MAIN(AlsaPulseTest)
#include "tst_alsapulse.moc"
