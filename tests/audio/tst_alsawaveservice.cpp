// ALSA's software PCMs stand in for a sound card: the file plugin over the null PCM keeps every
// byte played and plays back a file as capture.
#include "audio/alsawaveservice.h"
#include "audio/waveengines.h"
#include "enginetestsupport.h"
#include "support/fakedialogs.h"
#include "wavecontract.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

namespace {

constexpr int CaptureFileBlocks = 40;

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
    void resetAndCloseHandBackEveryBuffer();
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
    FakeDialogs dialogs;
    FakeWaveEngineHost host;
    AudioDeviceSettings settings;
    WaveEngines engines(service, dialogs, host, settings);

    QList<QByteArray> blocks;
    QByteArray expected;
    for (int n = 0; n < 12; ++n) {
        blocks << testBlock(n);
        expected += blocks.last();
    }
    playBlocks(engines.out, host, blocks);

    QCOMPARE(dialogs.texts(), QStringList());
    QFile out(path("out.raw"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray written = out.readAll();
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
    QCOMPARE(service.underruns(), 0u);
}

void AlsaWaveServiceTest::inputRecordsWhatTheDeviceDelivers() {
    AlsaWaveService service = makeService();
    FakeDialogs dialogs;
    FakeWaveEngineHost host;
    AudioDeviceSettings settings;
    WaveEngines engines(service, dialogs, host, settings);

    const QByteArray stored = recordBlocks(engines.in, host, 10);

    QCOMPARE(dialogs.texts(), QStringList());
    QCOMPARE(stored.size(), 10 * int(wave::BufferBytes));
    QVERIFY(stored == captureFile_.left(stored.size()));
    QCOMPARE(service.overruns(), 0u);
}

void AlsaWaveServiceTest::formatQueryTakesOnlyWhatTheDeviceCanDo() {
    AlsaWaveService service({{"tavrin_out", QStringLiteral("Test out")},
                             {"tavrin_no_such_pcm", QStringLiteral("Gone")}},
                            {});
    QCOMPARE(service.queryFormat(WaveDirection::Output, 0, keyerWaveFormat()), waveresult::Ok);
    QVERIFY(service.queryFormat(WaveDirection::Output, 1, keyerWaveFormat()) != waveresult::Ok);
    QVERIFY(service.queryFormat(WaveDirection::Output, 2, keyerWaveFormat()) != waveresult::Ok);
    QVERIFY(service.queryFormat(WaveDirection::Input, 0, keyerWaveFormat()) != waveresult::Ok);
    WaveFormat wide = keyerWaveFormat();
    wide.bitsPerSample = 24;
    QVERIFY(service.queryFormat(WaveDirection::Output, 0, wide) != waveresult::Ok);

    WaveHandle h = NoWaveHandle;
    QVERIFY(service.open(WaveDirection::Output, 1, keyerWaveFormat(), {}, h) != waveresult::Ok);
    QCOMPARE(h, NoWaveHandle);
    QCOMPARE(service.deviceCount(WaveDirection::Output), 2);
    QCOMPARE(service.deviceCount(WaveDirection::Input), 0);
}

void AlsaWaveServiceTest::closedHandlesFailWithoutEffect() {
    AlsaWaveService service = makeService();
    wavecontract::closedHandlesFailWithoutEffect(service, 0);
}

void AlsaWaveServiceTest::headersFollowPrepareQueueUnprepare() {
    AlsaWaveService service = makeService();
    wavecontract::headersFollowPrepareQueueUnprepare(service, 0);
}

void AlsaWaveServiceTest::resetAndCloseHandBackEveryBuffer() {
    AlsaWaveService service = makeService();
    wavecontract::resetAndCloseHandBackEveryBuffer(service, 0, {});
}

void AlsaWaveServiceTest::machineDevicesStartWithTheDefault() {
    AlsaWaveService service;
    for (WaveDirection d : {WaveDirection::Output, WaveDirection::Input}) {
        const int count = service.deviceCount(d);
        QVERIFY(count >= 1);
        QCOMPARE(count, int(AlsaWaveService::discover(d).size()));
        QString name;
        QCOMPARE(service.productName(d, 0, name), waveresult::Ok);
        QCOMPARE(name, QStringLiteral("System default"));
        for (int i = 1; i < count; ++i) {
            QCOMPARE(service.productName(d, i, name), waveresult::Ok);
            QVERIFY(name.size() <= 31);
        }
        QVERIFY(service.productName(d, count, name) != waveresult::Ok);
    }
}

QTEST_MAIN(AlsaWaveServiceTest)
#include "tst_alsawaveservice.moc"
