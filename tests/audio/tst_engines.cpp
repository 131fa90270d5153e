// The wave engines on a failing device, and their wait for the device's own thread.
#include "audio/audiodevices.h"
#include "audio/wavedeviceerror.h"
#include "audio/waveenginehost.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "windowharness.h"

#include <QtTest>

#include <atomic>
#include <thread>

namespace {
// The keyer's side of the engines, as plain flags a test sets.
class FakeHost final : public WaveEngineHost {
public:
    bool stopRequested() const override { return stop; }
    bool bufferWaitTimedOut() const override { return false; }
    bool soundCardDialogVisible() const override { return false; }
    void requestTermination() override { ++terminationRequests; }
    void deviceFailed() override { ++deviceFailures; }
    bool stop = true;
    int terminationRequests = 0;
    int deviceFailures = 0;
};

// Both engines with their devices open on the virtual sound card.
struct Rig {
    Rig() {
        policy.attachInput(in);
        out.SetupWaveOut();
        out.OpenWaveOut();
        in.SetupWaveIn();
        in.OpenWaveIn();
    }
    VirtualWaveService wave;
    FakeDialogs dialogs;
    FakeHost host;
    AudioDevices devices;
    WaveDeviceErrorPolicy policy{host};
    WaveOutEngine out{wave, devices, dialogs, host, policy};
    WaveInEngine in{wave, devices, dialogs, host, policy};
};
} // namespace

class EnginesTest : public QObject {
    Q_OBJECT

private slots:
    // A failing call is shown once; while a loop runs it ends the program, and an input failure
    // closes the input device (an output one closes nothing).
    void failuresFollowTheDeviceRules_data() {
        QTest::addColumn<bool>("input");
        QTest::addColumn<Op>("op");
        QTest::addColumn<bool>("busy");
        const std::pair<const char*, Op> ops[] = {
            {"prepare", Op::Prepare}, {"queue", Op::Queue},         {"start", Op::Start},
            {"reset", Op::Reset},     {"unprepare", Op::Unprepare}, {"close", Op::Close}};
        for (bool input : {false, true})
            for (const auto& [name, op] : ops)
                for (bool busy : {false, true})
                    if (!(op == Op::Start && !input) && !(op == Op::Close && input))
                        QTest::addRow("%s %s, %s", input ? "input" : "output", name,
                                      busy ? "busy" : "idle")
                            << input << op << busy;
    }
    void failuresFollowTheDeviceRules() {
        QFETCH(bool, input);
        QFETCH(Op, op);
        QFETCH(bool, busy);
        Rig rig;
        WaveOutEngine& out = rig.out;
        WaveInEngine& in = rig.in;
        // The calls in the loops' order, up to the failing one; nothing is queued when it fails.
        const std::pair<Op, std::function<void()>> steps[] = {
            {Op::Prepare,
             [&] { input ? in.PrepareInHeader(Half::A) : out.PrepareOutHeader(Half::A); }},
            {Op::Start, [&] { in.StartWaveIn(); }},
            {Op::Reset, [&] { input ? in.ResetWaveIn() : out.ResetWaveOut(); }},
            {Op::Unprepare,
             [&] { input ? in.UnprepareInHeader(Half::A) : out.UnprepareOutHeader(Half::A); }},
            {Op::Queue,
             [&] {
                 input ? (in.PrepareInHeader(Half::B), in.AddInBuffer(Half::B))
                       : (out.PrepareOutHeader(Half::B), out.WriteOutHeader(Half::B));
             }},
            {Op::Close, [&] { out.CloseWaveOut(); }},
        };
        const Dir dir = input ? Dir::Input : Dir::Output;
        rig.host.stop = !busy;
        rig.wave.failOn(dir, op);
        for (const auto& [stepOp, call] : steps) {
            if (stepOp != Op::Start || input)
                call();
            if (stepOp == op)
                break;
        }
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.dialogs.messages[0].title, QStringLiteral("Wave Device Message"));
        QCOMPARE(rig.host.deviceFailures, 1);
        QCOMPARE(rig.host.terminationRequests, busy ? 1 : 0);
        QCOMPARE(rig.wave.isOpen(Dir::Input), !input);
        QVERIFY(rig.wave.isOpen(Dir::Output));
    }

    // A close that fails keeps the handle, so that the device is closed later instead of leaked.
    void aFailedCloseKeepsTheDevice() {
        Rig rig;
        rig.wave.failOn(Dir::Input, Op::Prepare);
        rig.wave.failOn(Dir::Input, Op::Close);
        rig.in.PrepareInHeader(Half::A);
        QCOMPARE(rig.dialogs.messages.size(), 2);
        QVERIFY(rig.in.deviceOpen());
        rig.in.CloseWaveIn();
        QVERIFY(!rig.in.deviceOpen());
        QVERIFY(!rig.wave.isOpen(Dir::Input));
    }

    // The device may finish at any moment around the loop's going to sleep; with no other event
    // to come, a lost wake-up would leave the wait asleep until the rescue timer.
    void waitNeverSleepsThroughACompletion() {
        Rig rig;
        rig.host.stop = false;
        std::atomic<bool> quit{false};
        std::thread device([&] {
            while (!quit)
                if (!rig.wave.completeNext(Dir::Output))
                    std::this_thread::yield();
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
            rig.out.RearmOutHeader(Half::A);
            rig.out.PrepareOutHeader(Half::A);
            rig.out.WriteOutHeader(Half::A);
            rig.out.WaitOutHeader(Half::A);
            rig.out.UnprepareOutHeader(Half::A);
        }
        quit = true;
        device.join();
        QVERIFY(!rescued);
        QVERIFY(rig.dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(EnginesTest)
#include "tst_engines.moc"
