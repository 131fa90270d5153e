#include "audio/virtualwaveservice.h"
#include "audio/waveengines.h"
#include "enginetestsupport.h"
#include "support/fakedialogs.h"

#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

struct Rig {
    VirtualWaveService service;
    FakeDialogs dialogs;
    FakeWaveEngineHost host;
    AudioDeviceSettings settings;
    WaveEngines engines{service, dialogs, host, settings};
    WaveInEngine& in = engines.in;

    void openInput() {
        in.SetupWaveIn();
        in.OpenWaveIn();
    }
};

} // namespace

class WaveInEngineTest : public QObject {
    Q_OBJECT

private slots:
    void recordingStoresWhatTheDeviceDelivers();
    void formatQueryFailureStillOpens();
    void failedOpenIsReported();
    void failuresCloseTheInputDevice_data();
    void failuresCloseTheInputDevice();
    void failingCloseAfterAFailureIsReportedToo();
    void outputFailuresLeaveTheInputOpen();
    void watchdogResetsAndRestarts();
    void watchdogWaitsWhileTheSoundCardDialogIsVisible();
    void stopEndsTheWaitWithoutResetting();
};

void WaveInEngineTest::recordingStoresWhatTheDeviceDelivers() {
    Rig rig;
    rig.service.setPacing(VirtualWaveService::Pacing::Clock, 20.0);
    QByteArray sound;
    for (int n = 0; n < 4; ++n)
        sound += testBlock(n);
    rig.service.setCaptureData(sound);

    const QByteArray stored = recordBlocks(rig.in, rig.host, 4);

    QCOMPARE(stored, sound);
    QVERIFY(rig.dialogs.messages.isEmpty());
    QVERIFY(!rig.in.isOpen());
    const QList<WaveOp> start{WaveOp::QueryFormat, WaveOp::Open,     WaveOp::Prepare,
                              WaveOp::Queue,       WaveOp::Start,    WaveOp::Prepare,
                              WaveOp::Queue,       WaveOp::Unprepare};
    QCOMPARE(rig.service.callOps().mid(0, start.size()), start);
    const QList<WaveOp> end{WaveOp::Unprepare, WaveOp::Reset, WaveOp::Close};
    QCOMPARE(rig.service.callOps().mid(rig.service.callOps().size() - 3), end);
}

void WaveInEngineTest::formatQueryFailureStillOpens() {
    Rig rig;
    rig.host.stop = false;
    rig.service.failAt(WaveOp::QueryFormat);
    rig.openInput();
    QCOMPARE(rig.dialogs.texts(), QStringList{"Could not open the input wave device"});
    QCOMPARE(rig.dialogs.messages.first().title, QStringLiteral("Wave Device Message"));
    QVERIFY(rig.in.isOpen());
    QCOMPARE(rig.host.terminationRequests, 1);

    QVERIFY(!rig.in.QueryWaveIn());
}

void WaveInEngineTest::failedOpenIsReported() {
    Rig rig;
    rig.service.setDevices(WaveDirection::Input, {{QStringLiteral("Line"), false, true}});
    rig.host.stop = false;
    rig.openInput();
    QCOMPARE(rig.dialogs.texts(), (QStringList{"Could not open the input wave device",
                                               "Error Opening Input wave device"}));
    QVERIFY(!rig.in.isOpen());
    QCOMPARE(rig.host.terminationRequests, 2);
    QVERIFY(rig.in.QueryWaveIn());
}

void WaveInEngineTest::failuresCloseTheInputDevice_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stopRequested");

    struct Row {
        const char* name;
        int step;
        WaveOp op;
        const char* text;
    };
    const Row rows[] = {
        {"prepare a", 0, WaveOp::Prepare, "Error preparing the header_a"},
        {"add a", 1, WaveOp::Queue, "Error in sending a buffer_a"},
        {"start", 2, WaveOp::Start, "Error starting the input wave device"},
        {"prepare b", 3, WaveOp::Prepare, "Error preparing the header_b"},
        {"add b", 4, WaveOp::Queue, "Error in sending a buffer_b"},
        {"reset", 5, WaveOp::Reset, "Error Resetting the input wave device"},
        {"unprepare a", 6, WaveOp::Unprepare, "Error unpreparing the Header a"},
        {"unprepare b", 7, WaveOp::Unprepare, "Error unpreparing the Header b"},
    };
    for (const Row& r : rows) {
        for (bool stop : {false, true}) {
            QTest::addRow("%s, %s", r.name, stop ? "idle" : "recording")
                << r.step << static_cast<int>(r.op) << QString::fromLatin1(r.text) << stop;
        }
    }
}

void WaveInEngineTest::failuresCloseTheInputDevice() {
    QFETCH(int, step);
    QFETCH(int, op);
    QFETCH(QString, text);
    QFETCH(bool, stopRequested);

    Rig rig;
    WaveInEngine& in = rig.in;
    const std::function<void()> steps[] = {
        [&] { in.PrepareInHeaderA(); },   [&] { in.AddInBufferA(); },
        [&] { in.StartWaveIn(); },        [&] { in.PrepareInHeaderB(); },
        [&] { in.AddInBufferB(); },       [&] { in.ResetWaveIn(); },
        [&] { in.UnprepareInHeaderA(); }, [&] { in.UnprepareInHeaderB(); },
    };
    const int earlier = (step == 3 || step == 4 || step == 7) ? 1 : 0;

    rig.openInput();
    rig.host.stop = stopRequested;
    rig.service.failAt(static_cast<WaveOp>(op), earlier + 1);
    for (int i = 0; i <= step; ++i)
        steps[i]();

    const FakeDialogs::Message expected{text, QStringLiteral("Wave Device Message")};
    QCOMPARE(rig.dialogs.messages, QList{expected});
    QVERIFY(!rig.in.isOpen());
    QCOMPARE(rig.service.openCount(WaveDirection::Input), 0);
    QCOMPARE(rig.host.terminationRequests, stopRequested ? 0 : 1);
    // Every queued buffer came back with the close.
    QVERIFY(rig.service.queuedCount(WaveDirection::Input) == 0);
}

void WaveInEngineTest::failingCloseAfterAFailureIsReportedToo() {
    Rig rig;
    rig.openInput();
    rig.host.stop = false;
    rig.service.failAt(WaveOp::Prepare);
    rig.service.failAt(WaveOp::Close);
    rig.in.PrepareInHeaderA();
    QCOMPARE(rig.dialogs.texts(),
             (QStringList{"Error preparing the header_a", "Error closing the input wave device"}));
    QVERIFY(rig.host.terminationRequests >= 1);

    // Later calls go to the device that stayed open; once closed, calls on it fail.
    rig.host.stop = true;
    rig.in.CloseWaveIn();
    QVERIFY(!rig.in.isOpen());
    rig.in.CloseWaveIn();
    QCOMPARE(rig.dialogs.texts().last(), QStringLiteral("Error closing the input wave device"));
    QCOMPARE(rig.dialogs.messages.size(), 3);
}

void WaveInEngineTest::outputFailuresLeaveTheInputOpen() {
    Rig rig;
    rig.openInput();
    rig.engines.out.SetupWaveOut();
    rig.service.failAt(WaveOp::Prepare);
    rig.engines.out.PrepareOutHeaderA();
    QCOMPARE(rig.dialogs.texts(), QStringList{"Error preparing the header_a"});
    QVERIFY(rig.in.isOpen());
}

void WaveInEngineTest::watchdogResetsAndRestarts() {
    Rig rig;
    rig.openInput();
    rig.in.RearmInHeaderA();
    rig.in.PrepareInHeaderA();
    rig.in.AddInBufferA();
    rig.in.StartWaveIn();
    rig.host.stop = false;
    rig.service.clearCalls();
    QTimer::singleShot(30, [&] { rig.host.timedOut = true; });
    rig.in.WaitInHeaderA();

    QCOMPARE(rig.service.callOps(), (QList<WaveOp>{WaveOp::Reset, WaveOp::Start}));
    QVERIFY(rig.in.header(WaveBuffer::A).isDone());
    QVERIFY(rig.dialogs.messages.isEmpty());

    // Recording goes on with the next buffers queued.
    rig.host.timedOut = false;
    rig.in.UnprepareInHeaderA();
    rig.in.RearmInHeaderB();
    rig.in.PrepareInHeaderB();
    rig.in.AddInBufferB();
    QVERIFY(rig.service.completeNext(WaveDirection::Input));
    rig.in.WaitInHeaderB();
    QVERIFY(rig.in.header(WaveBuffer::B).isDone());
}

void WaveInEngineTest::watchdogWaitsWhileTheSoundCardDialogIsVisible() {
    Rig rig;
    rig.openInput();
    rig.in.RearmInHeaderA();
    rig.in.PrepareInHeaderA();
    rig.in.AddInBufferA();
    rig.in.StartWaveIn();
    rig.host.stop = false;
    rig.host.dialogVisible = true;
    rig.host.timedOut = true;
    bool stillWaiting = false;
    QTimer::singleShot(100, [&] {
        stillWaiting = !rig.service.callOps().contains(WaveOp::Reset);
        rig.host.dialogVisible = false;
    });
    rig.in.WaitInHeaderA();
    QVERIFY(stillWaiting);
    QCOMPARE(rig.service.callOps().count(WaveOp::Reset), 1);
    QCOMPARE(rig.service.callOps().last(), WaveOp::Start);
}

void WaveInEngineTest::stopEndsTheWaitWithoutResetting() {
    Rig rig;
    rig.openInput();
    rig.in.RearmInHeaderA();
    rig.in.PrepareInHeaderA();
    rig.in.AddInBufferA();
    rig.in.StartWaveIn();
    rig.host.stop = false;
    QTimer::singleShot(30, [&] { rig.host.stop = true; });
    rig.in.WaitInHeaderA();
    QVERIFY(!rig.in.header(WaveBuffer::A).isDone());
    QVERIFY(!rig.service.callOps().contains(WaveOp::Reset));

    // A failure in the clean-up after a stop is only reported.
    rig.service.failAt(WaveOp::Reset);
    rig.in.ResetWaveIn();
    QCOMPARE(rig.dialogs.texts(), QStringList{"Error Resetting the input wave device"});
    QCOMPARE(rig.host.terminationRequests, 0);
}

QTEST_MAIN(WaveInEngineTest)
#include "tst_waveinengine.moc"
