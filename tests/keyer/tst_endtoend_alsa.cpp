// The real ALSA layer with ALSA's software PCMs in place of a sound card: capture comes from a
// file, playback goes to one.
#include "audio/alsawaveservice.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QtTest>

#include <cstdlib>

namespace {
// Far more than the recording takes: a file PCM that runs out repeats old data.
constexpr int kCaptureBlocks = 400;
constexpr int kRecordBlocks = 24;
} // namespace

class EndToEndAlsaTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        captured_ = pattern(kCaptureBlocks * kBlock, 31);
        QVERIFY(writeBytes(dir_.filePath("in.raw"), captured_));
        QVERIFY(writeBytes(
            dir_.filePath("test.conf"),
            QStringLiteral("pcm.e2e_out { type file slave.pcm \"null\" file \"%1\" "
                           "format \"raw\" }\npcm.e2e_in { type file slave.pcm "
                           "\"null\" file \"/dev/null\" infile \"%2\" format \"raw\" }\n")
                .arg(dir_.filePath("out.raw"), dir_.filePath("in.raw"))
                .toUtf8()));
        // Before ALSA first reads its configuration.
        const QByteArray path = "/usr/share/alsa/alsa.conf:" + dir_.filePath("test.conf").toUtf8();
        QCOMPARE(setenv("ALSA_CONFIG_PATH", path.constData(), 1), 0);
    }

    void recordsAndPlaysEveryByte() {
        AlsaWaveService alsa({{"e2e_out", "File out"}}, {{"e2e_in", "File in"}});
        WindowHarness h;
        h.realWave = &alsa;
        TTavrin& w = h.open();
        // The software PCMs are not paced: stop once enough has been recorded (the loop handles
        // events after every block, so the stop comes within a block or two).
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, &w, [&] {
            if (w.keyerState().recordActive() &&
                w.keyerState().recordedBytes() >= kRecordBlocks * kBlock)
                click(w.ui().StopBtn);
        });
        stopper.start(0);
        click(w.ui().RecordBtn);
        stopper.stop();

        const QByteArray data = readBytes(h.slotPath(1)).mid(44);
        QVERIFY(data.size() >= kRecordBlocks * kBlock && data.size() < captured_.size());
        QVERIFY(data.size() % kBlock == 0 && data == captured_.left(data.size()));

        click(w.ui().PlayBtn);
        QVERIFY(w.keyerState().keyerStopped() && h.dialogs.messages.isEmpty());
        QVERIFY(readBytes(dir_.filePath("out.raw")) == data);
        QCOMPARE(alsa.underruns() + alsa.overruns(), 0u);
        // A device number from another machine's settings names no device here.
        QVERIFY(alsa.query(Dir::Output, 1, {}) != 0 && alsa.query(Dir::Input, -1, {}) != 0);
    }

private:
    QTemporaryDir dir_;
    QByteArray captured_;
};

QTEST_MAIN(EndToEndAlsaTest)
#include "tst_endtoend_alsa.moc"
