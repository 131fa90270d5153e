#include "audio/virtualwaveservice.h"
#include "audio/waveengines.h"
#include "enginetestsupport.h"
#include "support/fakedialogs.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct Rig {
    VirtualWaveService service;
    FakeDialogs dialogs;
    FakeWaveEngineHost host;
    AudioDeviceSettings settings;
    WaveEngines engines{service, dialogs, host, settings};
    WaveOutEngine& out = engines.out;

    void openOutput() {
        out.SetupWaveOut();
        out.OpenWaveOut();
    }
};

FakeDialogs::Message message(const char* text) {
    return {QString::fromLatin1(text), QStringLiteral("Wave Device Message")};
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
    void openingAgainClosesTheDeviceLeftOpen();
    void waitReturnsWhenTheDeviceCompletesFromItsThread();
    void waitNeverSleepsThroughACompletion();
    void waitReturnsOnStopWithoutResetting();
    void watchdogResetsTheDevice();
    void watchdogWaitsWhileTheSoundCardDialogIsVisible();
};

void WaveOutEngineTest::setupBindsHeadersToTheirBlocks() {
    Rig rig;
    rig.out.SetupWaveOut();
    QCOMPARE(rig.out.format(), keyerWaveFormat());
    for (WaveBuffer b : {WaveBuffer::A, WaveBuffer::B}) {
        const WaveHeader& h = rig.out.header(b);
        QCOMPARE(h.data, rig.out.block(b));
        QCOMPARE(h.length, wave::BufferBytes);
        QCOMPARE(h.flags.load(), 0u);
        QCOMPARE(h.loops, 0u);
        QCOMPARE(h.user, uintptr_t(0));
    }
    QVERIFY(rig.out.OutBlockA() != rig.out.OutBlockB());
}

void WaveOutEngineTest::playbackRunsInTheLoopsOrderAndPlaysEveryBlock() {
    Rig rig;
    rig.service.setPacing(VirtualWaveService::Pacing::Clock, 20.0);
    QList<QByteArray> blocks;
    QByteArray expected;
    for (int n = 0; n < 5; ++n) {
        blocks << testBlock(n);
        expected += blocks.last();
    }
    playBlocks(rig.out, rig.host, blocks);

    QCOMPARE(rig.service.played(), expected);
    QVERIFY(rig.dialogs.messages.isEmpty());
    QVERIFY(!rig.out.isOpen());

    const WaveHeader* a = &rig.out.header(WaveBuffer::A);
    const WaveHeader* b = &rig.out.header(WaveBuffer::B);
    using Op = WaveOp;
    const QList<std::pair<Op, const WaveHeader*>> order{
        {Op::QueryFormat, nullptr},
        {Op::Open, nullptr},
        {Op::Prepare, a},
        {Op::Queue, a},
        {Op::Prepare, b},
        {Op::Queue, b},
        {Op::Unprepare, a},
        {Op::Prepare, a},
        {Op::Queue, a},
        {Op::Unprepare, b},
        {Op::Prepare, b},
        {Op::Queue, b},
        {Op::Unprepare, a},
        {Op::Prepare, a},
        {Op::Queue, a},
        {Op::Unprepare, b},
        {Op::Reset, nullptr},
        {Op::Close, nullptr},
    };
    const auto calls = rig.service.calls();
    QCOMPARE(calls.size(), order.size());
    for (int i = 0; i < calls.size(); ++i) {
        QCOMPARE(calls[i].op, order[i].first);
        QCOMPARE(calls[i].header, order[i].second);
        QCOMPARE(calls[i].result, waveresult::Ok);
    }
}

void WaveOutEngineTest::formatTheDeviceCannotPlayOpensNothing() {
    Rig rig;
    rig.service.setDevices(WaveDirection::Output, {{QStringLiteral("Speaker"), true, true},
                                                   {QStringLiteral("Mono-less"), false, true}});
    rig.settings.outputDevice = 1;
    QVERIFY(rig.out.QueryWaveOut());
    QVERIFY(rig.dialogs.messages.isEmpty());

    rig.host.stop = false;
    rig.openOutput();
    QCOMPARE(rig.dialogs.messages, QList{message("Could not handle the output WAVE format")});
    QVERIFY(!rig.out.isOpen());
    QVERIFY(!rig.service.callOps().contains(WaveOp::Open));
    QCOMPARE(rig.host.terminationRequests, 0);

    // The playback goes on and each call on the unopened device reports itself.
    rig.out.RearmOutHeaderA();
    rig.out.PrepareOutHeaderA();
    rig.out.WriteOutHeaderA();
    QCOMPARE(rig.dialogs.texts().mid(1),
             (QStringList{"Error preparing the header_a", "Error writing to the output device a"}));
    QCOMPARE(rig.host.terminationRequests, 2);

    rig.settings.outputDevice = 0;
    QVERIFY(!rig.out.QueryWaveOut());
}

void WaveOutEngineTest::failedOpenIsReportedWithoutPolicy() {
    Rig rig;
    rig.host.stop = false;
    rig.service.failAt(WaveOp::Open);
    rig.openOutput();
    QCOMPARE(rig.dialogs.messages, QList{message("Error Opening Output wave device")});
    QVERIFY(!rig.out.isOpen());
    QCOMPARE(rig.host.terminationRequests, 0);
}

void WaveOutEngineTest::failuresReportTheirMessageAndApplyThePolicy_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stopRequested");

    // Steps of the sequence below; the chosen one's device call fails.
    struct Row {
        const char* name;
        int step;
        WaveOp op;
        const char* text;
    };
    const Row rows[] = {
        {"prepare a", 0, WaveOp::Prepare, "Error preparing the header_a"},
        {"write a", 1, WaveOp::Queue, "Error writing to the output device a"},
        {"prepare b", 2, WaveOp::Prepare, "Error preparing the header_b"},
        {"write b", 3, WaveOp::Queue, "Error writing to the output device b"},
        {"reset", 4, WaveOp::Reset, "Error Resetting the output wave device"},
        {"unprepare a", 5, WaveOp::Unprepare, "Error unpreparing the Header a"},
        {"unprepare b", 6, WaveOp::Unprepare, "Error unpreparing the Header b"},
        {"close", 7, WaveOp::Close, "Error closing the output wave device"},
    };
    for (const Row& r : rows) {
        for (bool stop : {false, true}) {
            QTest::addRow("%s, %s", r.name, stop ? "idle" : "playing")
                << r.step << static_cast<int>(r.op) << QString::fromLatin1(r.text) << stop;
        }
    }
}

void WaveOutEngineTest::failuresReportTheirMessageAndApplyThePolicy() {
    QFETCH(int, step);
    QFETCH(int, op);
    QFETCH(QString, text);
    QFETCH(bool, stopRequested);

    Rig rig;
    WaveOutEngine& out = rig.out;
    const std::function<void()> steps[] = {
        [&] { out.PrepareOutHeaderA(); },   [&] { out.WriteOutHeaderA(); },
        [&] { out.PrepareOutHeaderB(); },   [&] { out.WriteOutHeaderB(); },
        [&] { out.ResetWaveOut(); },        [&] { out.UnprepareOutHeaderA(); },
        [&] { out.UnprepareOutHeaderB(); }, [&] { out.CloseWaveOut(); },
    };
    // The b steps follow the same call on a.
    const int earlier = (step == 2 || step == 3 || step == 6) ? 1 : 0;

    rig.openOutput();
    rig.host.stop = stopRequested;
    rig.service.failAt(static_cast<WaveOp>(op), earlier + 1);
    for (int i = 0; i <= step; ++i)
        steps[i]();

    const FakeDialogs::Message expected{text, QStringLiteral("Wave Device Message")};
    QCOMPARE(rig.dialogs.messages, QList{expected});
    QCOMPARE(rig.host.terminationRequests, stopRequested ? 0 : 1);
    // No output failure closes anything by itself.
    QCOMPARE(rig.service.callOps().count(WaveOp::Close), step == 7 ? 1 : 0);
}

void WaveOutEngineTest::openingAgainClosesTheDeviceLeftOpen() {
    Rig rig;
    rig.openOutput();
    rig.openOutput();
    QCOMPARE(rig.service.openCount(WaveDirection::Output), 1);
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void WaveOutEngineTest::waitReturnsWhenTheDeviceCompletesFromItsThread() {
    Rig rig;
    rig.openOutput();
    rig.out.RearmOutHeaderA();
    rig.out.PrepareOutHeaderA();
    rig.out.WriteOutHeaderA();
    rig.host.stop = false;

    std::thread device([&] {
        std::this_thread::sleep_for(50ms);
        rig.service.completeNext(WaveDirection::Output);
    });
    bool rescued = false;
    QTimer::singleShot(5000, [&] {
        rescued = true;
        rig.host.stop = true;
    });
    rig.out.WaitOutHeaderA();
    device.join();

    QVERIFY(!rescued);
    QVERIFY(rig.out.header(WaveBuffer::A).isDone());
    QVERIFY(!rig.service.callOps().contains(WaveOp::Reset));
}

// The device may finish at any moment around the loop's going to sleep; with no other event to
// come, a lost wake-up would leave the wait asleep until the rescue timer.
void WaveOutEngineTest::waitNeverSleepsThroughACompletion() {
    Rig rig;
    rig.openOutput();
    rig.host.stop = false;
    std::atomic<bool> quit{false};
    std::thread device([&] {
        while (!quit) {
            if (!rig.service.completeNext(WaveDirection::Output))
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
        rig.out.RearmOutHeaderA();
        rig.out.PrepareOutHeaderA();
        rig.out.WriteOutHeaderA();
        rig.out.WaitOutHeaderA();
        rig.out.UnprepareOutHeaderA();
    }
    quit = true;
    device.join();
    QVERIFY(!rescued);
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void WaveOutEngineTest::waitReturnsOnStopWithoutResetting() {
    Rig rig;
    rig.openOutput();
    rig.out.RearmOutHeaderA();
    rig.out.PrepareOutHeaderA();
    rig.out.WriteOutHeaderA();
    rig.host.stop = false;
    QTimer::singleShot(30, [&] { rig.host.stop = true; });
    rig.out.WaitOutHeaderA();

    QVERIFY(!rig.out.header(WaveBuffer::A).isDone());
    QVERIFY(!rig.service.callOps().contains(WaveOp::Reset));
    // The caller cleans up.
    rig.out.ResetWaveOut();
    rig.out.CloseWaveOut();
    QVERIFY(rig.out.header(WaveBuffer::A).isDone());
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void WaveOutEngineTest::watchdogResetsTheDevice() {
    Rig rig;
    rig.openOutput();
    rig.out.RearmOutHeaderA();
    rig.out.PrepareOutHeaderA();
    rig.out.WriteOutHeaderA();
    rig.out.RearmOutHeaderB();
    rig.out.PrepareOutHeaderB();
    rig.out.WriteOutHeaderB();
    rig.host.stop = false;
    QTimer::singleShot(30, [&] { rig.host.timedOut = true; });
    rig.out.WaitOutHeaderA();

    QCOMPARE(rig.service.callOps().count(WaveOp::Reset), 1);
    QVERIFY(rig.out.header(WaveBuffer::A).isDone());
    QVERIFY(rig.out.header(WaveBuffer::B).isDone());
    QVERIFY(rig.out.isOpen());
    QCOMPARE(rig.host.terminationRequests, 0);
}

void WaveOutEngineTest::watchdogWaitsWhileTheSoundCardDialogIsVisible() {
    Rig rig;
    rig.openOutput();
    rig.out.RearmOutHeaderA();
    rig.out.PrepareOutHeaderA();
    rig.out.WriteOutHeaderA();
    rig.host.stop = false;
    rig.host.dialogVisible = true;
    bool resetWhileVisible = true;
    QTimer::singleShot(20, [&] { rig.host.timedOut = true; });
    QTimer::singleShot(150, [&] {
        resetWhileVisible = rig.service.callOps().contains(WaveOp::Reset);
        rig.host.dialogVisible = false;
    });
    QElapsedTimer clock;
    clock.start();
    rig.out.WaitOutHeaderA();

    QVERIFY(clock.elapsed() >= 140);
    QVERIFY(!resetWhileVisible);
    QCOMPARE(rig.service.callOps().count(WaveOp::Reset), 1);
    QVERIFY(rig.out.header(WaveBuffer::A).isDone());
}

QTEST_MAIN(WaveOutEngineTest)
#include "tst_waveoutengine.moc"
