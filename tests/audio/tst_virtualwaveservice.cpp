#include "audio/virtualwaveservice.h"
#include "wavecontract.h"

#include <QElapsedTimer>
#include <QtTest>

class VirtualWaveServiceTest : public QObject {
    Q_OBJECT

private slots:
    void closedHandlesFailWithoutEffect();
    void headersFollowPrepareQueueUnprepare();
    void resetAndCloseHandBackEveryBuffer();
    void buffersCompleteInQueueOrder();
    void captureDeliversTheGivenSamplesThenSilence();
    void clockPacesBuffersLikeASoundCard();
    void injectedFailureHitsTheChosenCallOnly();
};

void VirtualWaveServiceTest::closedHandlesFailWithoutEffect() {
    VirtualWaveService service;
    wavecontract::closedHandlesFailWithoutEffect(service, 0);
}

void VirtualWaveServiceTest::headersFollowPrepareQueueUnprepare() {
    VirtualWaveService service;
    wavecontract::headersFollowPrepareQueueUnprepare(service, 0);
}

void VirtualWaveServiceTest::resetAndCloseHandBackEveryBuffer() {
    VirtualWaveService service;
    wavecontract::resetAndCloseHandBackEveryBuffer(
        service, 0, [&] { QVERIFY(service.completeNext(WaveDirection::Input)); });
}

void VirtualWaveServiceTest::buffersCompleteInQueueOrder() {
    VirtualWaveService service;
    wavecontract::Buffer a, b;
    a.memory.assign(a.memory.size(), 'a');
    b.memory.assign(b.memory.size(), 'b');
    WaveHandle h = NoWaveHandle;
    QCOMPARE(service.open(WaveDirection::Output, 0, keyerWaveFormat(), {}, h), waveresult::Ok);
    for (auto* x : {&a, &b}) {
        service.prepareHeader(h, x->header);
        service.queueBuffer(h, x->header);
    }
    QCOMPARE(service.queuedCount(WaveDirection::Output), 2);
    QVERIFY(service.completeNext(WaveDirection::Output));
    QVERIFY(a.header.isDone());
    QVERIFY(!b.header.isDone());
    QVERIFY(service.completeNext(WaveDirection::Output));
    QVERIFY(!service.completeNext(WaveDirection::Output));
    QCOMPARE(service.played(),
             QByteArray(wave::BufferBytes, 'a') + QByteArray(wave::BufferBytes, 'b'));
    service.close(h);
}

void VirtualWaveServiceTest::captureDeliversTheGivenSamplesThenSilence() {
    VirtualWaveService service;
    service.setCaptureData(QByteArray(3000, 'x'));
    wavecontract::Buffer a, b;
    a.memory.assign(a.memory.size(), 'j');
    b.memory.assign(b.memory.size(), 'j');
    WaveHandle h = NoWaveHandle;
    QCOMPARE(service.open(WaveDirection::Input, 0, keyerWaveFormat(), {}, h), waveresult::Ok);
    for (auto* x : {&a, &b}) {
        service.prepareHeader(h, x->header);
        service.queueBuffer(h, x->header);
    }
    QVERIFY(!service.completeNext(WaveDirection::Input)); // not started
    service.start(h);
    QVERIFY(service.completeNext(WaveDirection::Input));
    QVERIFY(service.completeNext(WaveDirection::Input));
    const QByteArray got = QByteArray(a.memory.data(), wave::BufferBytes) +
                           QByteArray(b.memory.data(), wave::BufferBytes);
    QCOMPARE(got, QByteArray(3000, 'x') + QByteArray(2 * wave::BufferBytes - 3000, '\0'));
    service.close(h);
}

void VirtualWaveServiceTest::clockPacesBuffersLikeASoundCard() {
    VirtualWaveService service;
    service.setPacing(VirtualWaveService::Pacing::Clock, 2.0);
    std::vector<wavecontract::Buffer> buffers(8);
    WaveHandle h = NoWaveHandle;
    QCOMPARE(service.open(WaveDirection::Output, 0, keyerWaveFormat(), {}, h), waveresult::Ok);
    QElapsedTimer clock;
    clock.start();
    for (auto& x : buffers) {
        service.prepareHeader(h, x.header);
        service.queueBuffer(h, x.header);
    }
    QVERIFY(wavecontract::waitDone(buffers.back().header, std::chrono::seconds(10)));
    // 8 buffers of 95 ms at twice the speed: 380 ms.
    QVERIFY2(clock.elapsed() >= 300 && clock.elapsed() < 2000,
             qPrintable(QString::number(clock.elapsed())));
    for (auto& x : buffers)
        QVERIFY(x.header.isDone());
    service.close(h);
}

void VirtualWaveServiceTest::injectedFailureHitsTheChosenCallOnly() {
    VirtualWaveService service;
    wavecontract::Buffer a;
    WaveHandle h = NoWaveHandle;
    QCOMPARE(service.open(WaveDirection::Output, 0, keyerWaveFormat(), {}, h), waveresult::Ok);
    service.failAt(WaveOp::Prepare, 2);
    QCOMPARE(service.prepareHeader(h, a.header), waveresult::Ok);
    service.unprepareHeader(h, a.header);
    QVERIFY(service.prepareHeader(h, a.header) != waveresult::Ok);
    QVERIFY(!(a.header.flags.load() & WaveHeader::Prepared));
    QCOMPARE(service.prepareHeader(h, a.header), waveresult::Ok);
    const auto calls = service.calls();
    QCOMPARE(calls.last().op, WaveOp::Prepare);
    QCOMPARE(calls.last().header, &a.header);
    QVERIFY(calls[calls.size() - 2].result != waveresult::Ok);
    service.close(h);
}

QTEST_MAIN(VirtualWaveServiceTest)
#include "tst_virtualwaveservice.moc"
