#include "audio/virtualwaveservice.h"
#include "audiopump.h"
#include "enginetestsupport.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Dir = WaveService::Direction;
using Op = VirtualWaveService::Op;

namespace {

struct Rig {
    VirtualWaveService service;
    EngineRig engines{service};
    WaveOutEngine& out = engines.out;
    FakeWaveEngineHost& host = engines.host;
    FakeDialogs& dialogs = engines.dialogs;

    void open() {
        out.SetupWaveOut();
        out.OpenWaveOut();
    }
    void queue(Half h) {
        out.RearmOutHeader(h);
        out.PrepareOutHeader(h);
        out.WriteOutHeader(h);
    }
    int count(const std::string& call) const {
        const auto calls = service.calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }
};

FakeDialogs::Message message(const QString& text) {
    return {text, QStringLiteral("Wave Device Message")};
}

} // namespace

class WaveOutEngineTest : public QObject {
    Q_OBJECT

private slots:
    void setupBindsHeadersToTheirBlocks();
    void playbackRunsInTheLoopsOrderAndPlaysEveryBlock();
    void formatTheDeviceCannotPlayOpensNothing();
    void failedOpenIsReportedWithoutPolicy();
    void failuresReportTheirMessageAndApplyThePolicy_data();
    void failuresReportTheirMessageAndApplyThePolicy();
    void waitReturnsWhenTheDeviceCompletesFromItsThread();
    void waitNeverSleepsThroughACompletion();
    void waitReturnsOnStopWithoutResetting();
    void watchdogResetsTheDevice();
    void watchdogWaitsWhileTheSoundCardDialogIsVisible();
};

void WaveOutEngineTest::setupBindsHeadersToTheirBlocks() {
    Rig rig;
    rig.out.SetupWaveOut();
    for (Half h : {Half::A, Half::B}) {
        const WaveHeader& header = rig.out.header(h);
        QCOMPARE(header.data, rig.out.block(h));
        QCOMPARE(header.bufferLength, std::uint32_t(kWaveBufferBytes));
        QCOMPARE(header.flags.load(), 0u);
        QCOMPARE(header.loops, 0u);
        QCOMPARE(header.user, std::uintptr_t(0));
    }
    QVERIFY(rig.out.block(Half::A) != rig.out.block(Half::B));
}

void WaveOutEngineTest::playbackRunsInTheLoopsOrderAndPlaysEveryBlock() {
    Rig rig;
    AudioPump pump(rig.service, Dir::Output);
    const QList<QByteArray> blocks = testBlocks(5);
    const QByteArray expected = blocks.join();
    playBlocks(rig.out, rig.host, blocks);

    const auto played = rig.service.played();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(played.data()), int(played.size())),
             expected);
    QVERIFY(rig.dialogs.messages.isEmpty());
    QVERIFY(!rig.out.deviceOpen());
    const std::vector<std::string> order{"output.query",     "output.open",    "output.prepare",
                                         "output.queue",     "output.prepare", "output.queue",
                                         "output.unprepare", "output.prepare", "output.queue",
                                         "output.unprepare", "output.prepare", "output.queue",
                                         "output.unprepare", "output.prepare", "output.queue",
                                         "output.unprepare", "output.reset",   "output.close"};
    QCOMPARE(rig.service.calls(), order);
}

void WaveOutEngineTest::formatTheDeviceCannotPlayOpensNothing() {
    VirtualWaveService service({{"Line in", true}}, {{"Speaker", true}, {"Surround only", false}});
    EngineRig rig(service);
    rig.devices.OutputDevice = 1;
    rig.out.SetupWaveOut();
    QVERIFY(rig.out.QueryWaveOut());
    QVERIFY(rig.dialogs.messages.isEmpty());

    rig.host.stop = false;
    rig.out.OpenWaveOut();
    QCOMPARE(rig.dialogs.messages, QList{message("Could not handle the output WAVE format")});
    QVERIFY(!rig.out.deviceOpen());
    QVERIFY(!service.isOpen(Dir::Output));
    QCOMPARE(rig.host.terminationRequests, 0);

    // The playback goes on and each call on the unopened device reports itself.
    rig.out.RearmOutHeader(Half::A);
    rig.out.PrepareOutHeader(Half::A);
    rig.out.WriteOutHeader(Half::A);
    QCOMPARE(rig.dialogs.texts().mid(1),
             (QStringList{"Error preparing the header_a", "Error writing to the output device a"}));
    QCOMPARE(rig.host.terminationRequests, 2);

    rig.devices.OutputDevice = 0;
    QVERIFY(!rig.out.QueryWaveOut());
}

void WaveOutEngineTest::failedOpenIsReportedWithoutPolicy() {
    Rig rig;
    rig.host.stop = false;
    rig.service.failOn(Dir::Output, Op::Open);
    rig.open();
    QCOMPARE(rig.dialogs.messages, QList{message("Error Opening Output wave device")});
    QVERIFY(!rig.out.deviceOpen());
    QCOMPARE(rig.host.terminationRequests, 0);
}

void WaveOutEngineTest::failuresReportTheirMessageAndApplyThePolicy_data() {
    addFailureRows(
        {
            {"prepare a", 0, Op::Prepare, "Error preparing the header_a"},
            {"write a", 1, Op::Queue, "Error writing to the output device a"},
            {"prepare b", 2, Op::Prepare, "Error preparing the header_b"},
            {"write b", 3, Op::Queue, "Error writing to the output device b"},
            {"reset", 4, Op::Reset, "Error Resetting the output wave device"},
            {"unprepare a", 5, Op::Unprepare, "Error unpreparing the Header a"},
            {"unprepare b", 6, Op::Unprepare, "Error unpreparing the Header b"},
            {"close", 7, Op::Close, "Error closing the output wave device"},
        },
        "playing");
}

void WaveOutEngineTest::failuresReportTheirMessageAndApplyThePolicy() {
    QFETCH(int, step);
    QFETCH(int, op);
    QFETCH(QString, text);
    QFETCH(bool, stopRequested);

    Rig rig;
    WaveOutEngine& out = rig.out;
    const std::function<void()> steps[] = {
        [&] { out.PrepareOutHeader(Half::A); },
        [&] { out.WriteOutHeader(Half::A); },
        [&] { out.PrepareOutHeader(Half::B); },
        [&] { out.WriteOutHeader(Half::B); },
        [&] { out.ResetWaveOut(); },
        [&] { out.UnprepareOutHeader(Half::A); },
        [&] { out.UnprepareOutHeader(Half::B); },
        [&] { out.CloseWaveOut(); },
    };
    // The b steps follow the same call on a.
    const int earlier = (step == 2 || step == 3 || step == 6) ? 1 : 0;

    rig.open();
    rig.host.stop = stopRequested;
    rig.service.failOn(Dir::Output, static_cast<Op>(op), earlier + 1);
    for (int i = 0; i <= step; ++i)
        steps[i]();

    QCOMPARE(rig.dialogs.messages, QList{message(text)});
    QCOMPARE(rig.host.deviceFailures, 1);
    QCOMPARE(rig.host.terminationRequests, stopRequested ? 0 : 1);
    // No output failure closes anything by itself.
    QCOMPARE(rig.count("output.close") + rig.count("output.close failed"), step == 7 ? 1 : 0);
    QVERIFY(rig.service.isOpen(Dir::Output));
}

void WaveOutEngineTest::waitReturnsWhenTheDeviceCompletesFromItsThread() {
    Rig rig;
    rig.open();
    rig.queue(Half::A);
    rig.host.stop = false;

    std::thread device([&] {
        std::this_thread::sleep_for(50ms);
        rig.service.completeNext(Dir::Output);
    });
    bool rescued = false;
    QTimer::singleShot(5000, [&] {
        rescued = true;
        rig.host.stop = true;
    });
    rig.out.WaitOutHeader(Half::A);
    device.join();

    QVERIFY(!rescued);
    QVERIFY(rig.out.header(Half::A).done());
    QCOMPARE(rig.count("output.reset"), 0);
}

// The device may finish at any moment around the loop's going to sleep; with no other event to
// come, a lost wake-up would leave the wait asleep until the rescue timer.
void WaveOutEngineTest::waitNeverSleepsThroughACompletion() {
    Rig rig;
    rig.open();
    rig.host.stop = false;
    std::atomic<bool> quit{false};
    std::thread device([&] {
        while (!quit) {
            if (!rig.service.completeNext(Dir::Output))
                std::this_thread::yield();
        }
    });
    bool rescued = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        rescued = true;
        rig.host.stop = true;
    });
    for (int i = 0; i < 500 && !rescued; ++i) {
        rescue.start(2000);
        rig.queue(Half::A);
        rig.out.WaitOutHeader(Half::A);
        rig.out.UnprepareOutHeader(Half::A);
    }
    quit = true;
    device.join();
    QVERIFY(!rescued);
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void WaveOutEngineTest::waitReturnsOnStopWithoutResetting() {
    Rig rig;
    rig.open();
    rig.queue(Half::A);
    rig.host.stop = false;
    QTimer::singleShot(30, [&] { rig.host.stop = true; });
    rig.out.WaitOutHeader(Half::A);

    QVERIFY(!rig.out.header(Half::A).done());
    QCOMPARE(rig.count("output.reset"), 0);
    // The caller cleans up; a failure then is only reported.
    rig.service.failOn(Dir::Output, Op::Reset);
    rig.out.ResetWaveOut();
    rig.out.ResetWaveOut();
    rig.out.CloseWaveOut();
    QVERIFY(rig.out.header(Half::A).done());
    QCOMPARE(rig.dialogs.texts(), QStringList{"Error Resetting the output wave device"});
    QCOMPARE(rig.host.terminationRequests, 0);
    QVERIFY(!rig.out.deviceOpen());
}

void WaveOutEngineTest::watchdogResetsTheDevice() {
    Rig rig;
    rig.open();
    rig.queue(Half::A);
    rig.queue(Half::B);
    rig.host.stop = false;
    QTimer::singleShot(30, [&] { rig.host.timedOut = true; });
    rig.out.WaitOutHeader(Half::A);

    QCOMPARE(rig.count("output.reset"), 1);
    QVERIFY(rig.out.header(Half::A).done());
    QVERIFY(rig.out.header(Half::B).done());
    QVERIFY(rig.out.deviceOpen());
    QCOMPARE(rig.host.terminationRequests, 0);
}

void WaveOutEngineTest::watchdogWaitsWhileTheSoundCardDialogIsVisible() {
    Rig rig;
    rig.open();
    rig.queue(Half::A);
    rig.host.stop = false;
    rig.host.dialogVisible = true;
    bool resetWhileVisible = true;
    QTimer::singleShot(20, [&] { rig.host.timedOut = true; });
    QTimer::singleShot(150, [&] {
        resetWhileVisible = rig.count("output.reset") > 0;
        rig.host.dialogVisible = false;
    });
    QElapsedTimer clock;
    clock.start();
    rig.out.WaitOutHeader(Half::A);

    QVERIFY(clock.elapsed() >= 140);
    QVERIFY(!resetWhileVisible);
    QCOMPARE(rig.count("output.reset"), 1);
    QVERIFY(rig.out.header(Half::A).done());
}

QTEST_MAIN(WaveOutEngineTest)
#include "tst_waveoutengine.moc"
