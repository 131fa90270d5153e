// The virtual device keeps the rules the ALSA devices keep (tst_alsawaveservice checks those),
// so that tests on it say something about the real thing.
#include "audio/virtualwaveservice.h"
#include "wavecontract.h"

#include <QtTest>

class WaveContractTest : public QObject {
    Q_OBJECT

private slots:
    void closedHandlesFailWithoutEffect() {
        VirtualWaveService service;
        wavecontract::closedHandlesFailWithoutEffect(service);
    }
    void headersFollowPrepareQueueUnprepare() {
        VirtualWaveService service;
        wavecontract::headersFollowPrepareQueueUnprepare(service);
    }
    void resetHandsBackEveryBuffer() {
        VirtualWaveService service;
        wavecontract::resetHandsBackEveryBuffer(
            service, [&] { QVERIFY(service.completeNext(WaveService::Direction::Input)); });
    }
};

QTEST_MAIN(WaveContractTest)
#include "tst_wavecontract.moc"
