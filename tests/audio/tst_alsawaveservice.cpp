// ALSA's software PCMs stand in for a sound card: the file plugin over the null PCM keeps every
// byte played and plays back a file as capture.
#include "audio/alsawaveservice.h"
#include "enginetestsupport.h"
#include "wavecontract.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

namespace {

constexpr int CaptureFileBlocks = 40;
using Dir = WaveService::Direction;

} // namespace

class AlsaWaveServiceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void outputReachesTheDeviceByteForByte();
    void inputRecordsWhatTheDeviceDelivers();
    void formatQueryTakesOnlyWhatTheDeviceCanDo();
    void closedHandlesFailWithoutEffect();
    void headersFollowPrepareQueueUnprepare();
    void resetHandsBackEveryBuffer();
    void machineDevicesStartWithTheDefault();

private:
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    AlsaWaveService makeService() {
        return AlsaWaveService({{"tavrin_out", QStringLiteral("Test out")}},
                               {{"tavrin_in", QStringLiteral("Test in")}});
    }

    QTemporaryDir dir_;
    QByteArray captureFile_;
};

void AlsaWaveServiceTest::initTestCase() {
    QVERIFY(dir_.isValid());
    for (int n = 0; n < CaptureFileBlocks; ++n)
        captureFile_ += testBlock(100 + n);
    QFile in(path("in.raw"));
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(captureFile_);
    in.close();

    QFile conf(path("test.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral(
                   "pcm.tavrin_out { type file slave.pcm \"null\" file \"%1\" format \"raw\" }\n"
                   "pcm.tavrin_in { type file slave.pcm \"null\" file \"/dev/null\" "
                   "infile \"%2\" format \"raw\" }\n")
                   .arg(path("out.raw"), path("in.raw"))
                   .toUtf8());
    conf.close();
    // Before ALSA first reads its configuration.
    const QByteArray configPath = "/usr/share/alsa/alsa.conf:" + path("test.conf").toUtf8();
    QCOMPARE(setenv("ALSA_CONFIG_PATH", configPath.constData(), 1), 0);
}

void AlsaWaveServiceTest::outputReachesTheDeviceByteForByte() {
    AlsaWaveService service = makeService();
    EngineRig rig(service);

    const QList<QByteArray> blocks = testBlocks(12);
    const QByteArray expected = blocks.join();
    playBlocks(rig.out, rig.host, blocks);

    QCOMPARE(rig.dialogs.texts(), QStringList());
    QFile out(path("out.raw"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray written = out.readAll();
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
    QCOMPARE(service.underruns(), 0u);
}

void AlsaWaveServiceTest::inputRecordsWhatTheDeviceDelivers() {
    AlsaWaveService service = makeService();
    EngineRig rig(service);

    const QByteArray stored = recordBlocks(rig.in, rig.host, 10);

    QCOMPARE(rig.dialogs.texts(), QStringList());
    QCOMPARE(stored.size(), 10 * kWaveBufferBytes);
    QVERIFY(stored == captureFile_.left(stored.size()));
    QCOMPARE(service.overruns(), 0u);
}

void AlsaWaveServiceTest::formatQueryTakesOnlyWhatTheDeviceCanDo() {
    AlsaWaveService service({{"tavrin_out", QStringLiteral("Test out")},
                             {"tavrin_no_such_pcm", QStringLiteral("Gone")}},
                            {});
    QCOMPARE(service.query(Dir::Output, 0, WaveFormat{}), 0);
    QVERIFY(service.query(Dir::Output, 1, WaveFormat{}) != 0);
    QVERIFY(service.query(Dir::Output, 2, WaveFormat{}) != 0);
    QVERIFY(service.query(Dir::Input, 0, WaveFormat{}) != 0);
    WaveFormat wide;
    wide.bitsPerSample = 24;
    QVERIFY(service.query(Dir::Output, 0, wide) != 0);

    WaveService::Handle h = 0;
    QVERIFY(service.open(Dir::Output, h, 1, WaveFormat{}) != 0);
    QCOMPARE(h, WaveService::Handle(0));
    QCOMPARE(service.deviceCount(Dir::Output), 2);
    QCOMPARE(service.deviceCount(Dir::Input), 0);
}

void AlsaWaveServiceTest::closedHandlesFailWithoutEffect() {
    AlsaWaveService service = makeService();
    wavecontract::closedHandlesFailWithoutEffect(service);
}

void AlsaWaveServiceTest::headersFollowPrepareQueueUnprepare() {
    AlsaWaveService service = makeService();
    wavecontract::headersFollowPrepareQueueUnprepare(service);
}

void AlsaWaveServiceTest::resetHandsBackEveryBuffer() {
    AlsaWaveService service = makeService();
    wavecontract::resetHandsBackEveryBuffer(service, {});
}

void AlsaWaveServiceTest::machineDevicesStartWithTheDefault() {
    AlsaWaveService service;
    for (Dir d : {Dir::Output, Dir::Input}) {
        const int count = service.deviceCount(d);
        QVERIFY(count >= 1);
        QCOMPARE(count, int(AlsaWaveService::discover(d).size()));
        QCOMPARE(service.productName(d, 0), std::string("System default"));
        for (int i = 1; i < count; ++i) {
            QVERIFY(!service.productName(d, i).empty());
            QVERIFY(QString::fromStdString(service.productName(d, i)).size() <= 31);
        }
        QCOMPARE(service.productName(d, count), std::string());
    }
}

QTEST_MAIN(AlsaWaveServiceTest)
#include "tst_alsawaveservice.moc"
