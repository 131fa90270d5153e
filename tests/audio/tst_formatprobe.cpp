// Asking a device for the format opens it: a device that took the format is not asked again
// until another one is selected or an open fails.
#include "audio/audiodevices.h"
#include "audio/waveout.h"
#include "windowharness.h"

#include <QtTest>

class FormatProbeTest : public QObject {
    Q_OBJECT

private slots:
    void formatAskedOnlyWhenItMayHaveChanged_data() {
        // One open per step: '=' the same device, 'f' its open fails, 'c' another device.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("queries");
        QTest::newRow("same device") << "===" << 1;
        QTest::newRow("after a failed open") << "=f=" << 2;
        QTest::newRow("another device") << "=c=" << 2;
    }
    void formatAskedOnlyWhenItMayHaveChanged() {
        QFETCH(QString, steps);
        QFETCH(int, queries);
        VirtualWaveService wave({{"in"}}, {{"out 0"}, {"out 1"}});
        AudioDevices devices;
        WaveOutEngine out(wave, devices);
        for (const QChar step : steps) {
            devices.OutputDevice += step == QLatin1Char('c');
            if (step == QLatin1Char('f'))
                wave.failOn(Dir::Output, Op::Open);
            out.SetupWaveOut();
            QCOMPARE(out.OpenWaveOut().ok(), step != QLatin1Char('f'));
            QCOMPARE(out.CloseWaveOut().ok(), step != QLatin1Char('f'));
        }
        QCOMPARE(wave.calls(Dir::Output, Op::Query), queries);
    }
};

QTEST_MAIN(FormatProbeTest)
#include "tst_formatprobe.moc"
