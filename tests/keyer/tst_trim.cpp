// Dead air cut from the ends of recordings and imports, measured against each message's own
// noise, and the cut undone byte for byte.
#include "audiopump.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QLabel>
#include <QMenu>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

namespace {
constexpr int kRate = 11025;
constexpr int kWindowMs = 10; // where sound starts is known to its 10 ms window

// Samples as a row describes them: segments "KIND LEVEL:MS" with KIND z (zeros), n (noise at
// LEVEL dBFS RMS) or t (a 1 kHz tone at LEVEL dBFS RMS), e.g. "n-70:1000 t-10:600".
QByteArray sound(const QString& shape) {
    QByteArray bytes;
    QRandomGenerator noise(7);
    for (const QString& segment : shape.split(' ')) {
        const double rms =
            32768 * std::pow(10.0, segment.mid(1).section(':', 0, 0).toDouble() / 20);
        const int count = segment.section(':', 1).toInt() * kRate / 1000;
        for (int i = 0; i < count; ++i) {
            const double value = segment[0] == 'z' ? 0
                                 : segment[0] == 'n'
                                     ? rms * std::sqrt(3.0) * (2 * noise.generateDouble() - 1)
                                     : rms * std::sqrt(2.0) * std::sin(2 * M_PI * 1000 * i / kRate);
            bytes += WaveBytes::le16(quint16(qint16(std::lround(value))));
        }
    }
    return bytes;
}

int msOf(qsizetype bytes) {
    return int(bytes / 2 * 1000 / kRate);
}
} // namespace

class TrimTest : public QObject {
    Q_OBJECT

private slots:
    // The margin chosen (-1: Off); where the message should start and end, in ms of the file
    // imported (both -1: only silence, kept as it is and said so).
    void importsLoseTheSilenceAtTheirEnds_data() {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<int>("margin");
        QTest::addColumn<int>("fromMs");
        QTest::addColumn<int>("toMs");
        QTest::newRow("room noise") << "n-70:1000 t-10:600 n-70:800" << 150 << 850 << 1750;
        QTest::newRow("quiet first syllable")
            << "n-65:1000 t-45:150 t-6:500 n-60:500" << 150 << 850 << 1800;
        QTest::newRow("digital silence") << "z:1000 t-20:300 z:1000" << 500 << 500 << 1800;
        QTest::newRow("tight") << "z:1000 t-20:300 z:1000" << 50 << 950 << 1350;
        QTest::newRow("off") << "z:1000 t-20:300 z:1000" << -1 << 0 << 2300;
        QTest::newRow("sound throughout") << "t-10:1000" << 150 << 0 << 1000;
        QTest::newRow("hum throughout") << "n-30:2000" << 150 << 0 << 2000;
        QTest::newRow("only silence") << "z:2000" << 150 << -1 << -1;
        QTest::newRow("only hiss") << "n-70:2000" << 150 << -1 << -1;
    }
    void importsLoseTheSilenceAtTheirEnds() {
        QFETCH(QString, shape);
        QFETCH(int, margin);
        QFETCH(int, fromMs);
        QFETCH(int, toMs);
        WindowHarness h;
        WaveBytes source;
        source.samples = sound(shape);
        const QString path = h.home.filePath("edited.wav"), kept = h.slotPath(1) + ".untrimmed";
        // What an earlier message left behind goes with it.
        QVERIFY(writeBytes(path, source.bytes()) && QDir().mkpath(h.installDir()) &&
                writeBytes(kept, "stale"));
        TTavrin& w = h.open();
        for (QAction* choice : w.ui().Trim)
            if (choice->data().toInt() == margin)
                choice->trigger();
        h.dialogs.fileAnswers << path;
        item(w, "ImportMessage1")->trigger();
        QTRY_VERIFY(item(w, "ImportMessage1")->isEnabled());
        const QString told = h.dialogs.texts().join(';');
        const bool cut = fromMs > 0 || (toMs >= 0 && toMs < msOf(source.samples.size()));
        const QByteArray stored = readBytes(h.slotPath(1)), whole = cut ? readBytes(kept) : stored;
        QVERIFY(whole.endsWith(source.samples)); // kept whole, or not cut at all
        const QByteArray imported = stored.mid(stored.indexOf("data") + 8);
        if (fromMs < 0) {
            QCOMPARE(imported, source.samples);
            QVERIFY2(told.contains("only silence and was kept"), qPrintable(told));
        } else {
            const qsizetype at = source.samples.indexOf(imported);
            QVERIFY(at >= 0 && at % 2 == 0);
            QVERIFY2(
                std::abs(msOf(at) - fromMs) <= kWindowMs &&
                    std::abs(msOf(at + imported.size()) - toMs) <= kWindowMs,
                qPrintable(QString("%1 .. %2 ms").arg(msOf(at)).arg(msOf(at + imported.size()))));
            QCOMPARE(told.contains("Silence at its ends was trimmed"), cut);
        }
        QCOMPARE(QFile::exists(kept), cut);
        emit w.ui().Microphone->aboutToShow();
        QCOMPARE(item(w, "UndoTrim")->isEnabled(), cut);
        item(w, "UndoTrim")->trigger();
        QCOMPARE(readBytes(h.slotPath(1)), whole);
        QVERIFY(!QFile::exists(kept));
        QCOMPARE(w.ui().StatusLine->text().startsWith("Memory 1 is back as recorded"), cut);
    }

    // A recording through the sound device: blocks of silence, sound, silence. The margin chosen
    // stays for the next start. Kept whole (from -1): trimming Off, a recording a device failure
    // (its nth queued block) cut short, and one of nothing, which the status line tells.
    void recordingsLoseTheSilenceAtTheirEnds_data() {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("failAt");
        QTest::addColumn<int>("fromMs");
        QTest::addColumn<QString>("said");
        QTest::newRow("sound") << "z:760 t-20:380 z:760"
                               << "Trim300" << 0 << 460 << "Recorded memory 1: 1.0 seconds";
        QTest::newRow("off") << "z:760 t-20:380 z:760"
                             << "TrimOff" << 0 << -1 << "Recorded memory 1: 1.5 seconds";
        QTest::newRow("failed") << "z:760 t-20:380 z:760"
                                << "Trim150" << 7 << -1 << "";
        QTest::newRow("nothing") << "z:1900"
                                 << "Trim150" << 0 << -1
                                 << "Recorded memory 1: 1.5 seconds of silence";
    }
    void recordingsLoseTheSilenceAtTheirEnds() {
        QFETCH(QString, shape);
        QFETCH(QString, choice);
        QFETCH(int, failAt);
        QFETCH(int, fromMs);
        QFETCH(QString, said);
        WindowHarness h;
        const QByteArray captured = sound(shape);
        h.wave.setCapture(captured);
        if (failAt)
            h.wave.failOn(WaveService::Direction::Input, VirtualWaveService::Op::Queue, failAt);
        TTavrin& w = h.open();
        item(w, choice.toLatin1())->trigger();
        {
            AudioPump pump(h.wave, WaveService::Direction::Input);
            pump.after(int(captured.size() / kBlock), [&] { click(w.ui().StopBtn); });
            click(w.ui().RecordBtn);
            QTRY_VERIFY(!w.keyerState().recordActive());
        }
        const QByteArray recorded = readBytes(h.slotPath(1)).mid(44);
        const qsizetype at = captured.indexOf(recorded);
        QTRY_COMPARE(said.isEmpty() ? said : w.ui().StatusLine->text(), said);
        if (fromMs < 0)
            QVERIFY(recorded.size() >= 4 * kBlock && at == 0);
        else
            QVERIFY2(
                std::abs(msOf(at) - fromMs) <= kWindowMs &&
                    std::abs(msOf(at + recorded.size()) - 1440) <= kWindowMs,
                qPrintable(QString("%1 .. %2 ms").arg(msOf(at)).arg(msOf(at + recorded.size()))));
        QVERIFY(w.close());
        QVERIFY(h.open().findChild<QAction*>(choice)->isChecked());
    }
};

QTEST_MAIN(TrimTest)
#include "tst_trim.moc"
