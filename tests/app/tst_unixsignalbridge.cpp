#include "app/unixsignalbridge.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <csignal>

#include <unistd.h>

namespace {

std::atomic<int> hangups{0};
extern "C" void countHangup(int) {
    ++hangups;
}

} // namespace

class UnixSignalBridgeTest : public QObject {
    Q_OBJECT

private slots:
    void terminationSignalsArriveOnTheEventLoop();
    void previousHandlersComeBack();
    void onlyOneBridgeAtATime();
};

void UnixSignalBridgeTest::terminationSignalsArriveOnTheEventLoop() {
    UnixSignalBridge bridge;
    QVERIFY(bridge.active());
    QSignalSpy received(&bridge, &UnixSignalBridge::signalReceived);
    QThread* deliveredOn = nullptr;
    connect(&bridge, &UnixSignalBridge::signalReceived, this,
            [&] { deliveredOn = QThread::currentThread(); });

    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        received.clear();
        QCOMPARE(::kill(::getpid(), signalNumber), 0);
        QVERIFY(received.wait(3000));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toInt(), signalNumber);
        QCOMPARE(deliveredOn, thread());
    }
}

void UnixSignalBridgeTest::previousHandlersComeBack() {
    struct sigaction counting {};
    counting.sa_handler = countHangup;
    sigemptyset(&counting.sa_mask);
    struct sigaction original {};
    QCOMPARE(::sigaction(SIGHUP, &counting, &original), 0);
    {
        UnixSignalBridge bridge;
        QSignalSpy received(&bridge, &UnixSignalBridge::signalReceived);
        ::kill(::getpid(), SIGHUP);
        QVERIFY(received.wait(3000));
        QCOMPARE(hangups.load(), 0);
    }
    ::kill(::getpid(), SIGHUP);
    QTRY_COMPARE(hangups.load(), 1);
    ::sigaction(SIGHUP, &original, nullptr);
}

void UnixSignalBridgeTest::onlyOneBridgeAtATime() {
    UnixSignalBridge first;
    UnixSignalBridge second;
    QVERIFY(first.active());
    QVERIFY(!second.active());
    QSignalSpy received(&first, &UnixSignalBridge::signalReceived);
    ::kill(::getpid(), SIGTERM);
    QVERIFY(received.wait(3000));
}

QTEST_MAIN(UnixSignalBridgeTest)
#include "tst_unixsignalbridge.moc"
