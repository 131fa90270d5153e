// A message recorded and played through the real ALSA layer and the real window, with ALSA's
// software PCMs in place of a sound card: capture comes from a file, playback goes to one.
#include "audio/alsawaveservice.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdlib>

namespace {
constexpr int kBlock = 2096;
// Far more than the recording takes: a file PCM that runs out repeats old data.
constexpr int kCaptureBlocks = 400;
constexpr int kRecordBlocks = 24;

QByteArray speechLike(int bytes) {
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>((i * 31 + i / 977 * 7) & 0xFF);
    return data;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class EndToEndAlsaTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        captured_ = speechLike(kCaptureBlocks * kBlock);
        QFile in(dir_.filePath("in.raw"));
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write(captured_);
        in.close();
        QFile conf(dir_.filePath("test.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral(
                       "pcm.e2e_out { type file slave.pcm \"null\" file \"%1\" format \"raw\" }\n"
                       "pcm.e2e_in { type file slave.pcm \"null\" file \"/dev/null\" "
                       "infile \"%2\" format \"raw\" }\n")
                       .arg(dir_.filePath("out.raw"), dir_.filePath("in.raw"))
                       .toUtf8());
        conf.close();
        const QByteArray path = "/usr/share/alsa/alsa.conf:" + dir_.filePath("test.conf").toUtf8();
        QCOMPARE(setenv("ALSA_CONFIG_PATH", path.constData(), 1), 0);
    }

    void recordsAndPlaysEveryByte() {
        AlsaWaveService alsa({{"e2e_out", QStringLiteral("File out")}},
                             {{"e2e_in", QStringLiteral("File in")}});
        WindowHarness h;
        h.realWave = &alsa;
        TTavrin& w = h.open();

        // The software PCMs are not paced: stop once enough has been recorded (the loop handles
        // events after every block, so the stop comes within a block or two).
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, &w, [&] {
            if (w.keyerState().recordActive() &&
                w.keyerState().recordedBytes >= kRecordBlocks * kBlock)
                QTest::mouseClick(w.ui().StopBtn, Qt::LeftButton);
        });
        stopper.start(0);
        QTest::mouseClick(w.ui().RecordBtn, Qt::LeftButton);
        stopper.stop();

        const QByteArray file = readAll(h.installDir() + "memory1.wav");
        QVERIFY(file.size() >= 44 + kRecordBlocks * kBlock);
        const QByteArray data = file.mid(44);
        QCOMPARE(data.size() % kBlock, 0);
        QVERIFY(data.size() < captured_.size());
        QVERIFY(data == captured_.left(data.size()));

        QTest::mouseClick(w.ui().PlayBtn, Qt::LeftButton);
        QVERIFY(w.keyerState().keyerStopped());
        const QByteArray played = readAll(dir_.filePath("out.raw"));
        QCOMPARE(played.size(), data.size());
        QVERIFY(played == data);
        QVERIFY(h.dialogs.messages.isEmpty());
        QCOMPARE(alsa.underruns() + alsa.overruns(), 0u);
    }

private:
    QTemporaryDir dir_;
    QByteArray captured_;
};

QTEST_MAIN(EndToEndAlsaTest)
#include "tst_endtoend_alsa.moc"
