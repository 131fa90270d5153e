// Dead air cut from the ends of recordings and imports, measured against each message's own
// noise; messages levelled to a peak or a loudness; and both undone byte for byte.
#include "audiopump.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QLabel>
#include <QMenu>
#include <QRandomGenerator>
#include <QtTest>

#include <ebur128.h>

#include <cmath>
#include <memory>

namespace {
constexpr int kRate = 11025;
constexpr int kWindowMs = 10; // where sound starts is known to its 10 ms window

// Samples as a row describes them: segments "KIND LEVEL:MS" with KIND z (zeros), n (noise at
// LEVEL dBFS RMS) or t (a 1 kHz tone at LEVEL dBFS RMS), e.g. "n-70:1000 t-10:600", or "pLEVEL":
// one negative sample at LEVEL dBFS.
QByteArray sound(const QString& shape) {
    QByteArray bytes;
    QRandomGenerator noise(7);
    for (const QString& segment : shape.split(' ')) {
        const double rms =
            32768 * std::pow(10.0, segment.mid(1).section(':', 0, 0).toDouble() / 20);
        const int count = segment[0] == 'p' ? 1 : segment.section(':', 1).toInt() * kRate / 1000;
        for (int i = 0; i < count; ++i) {
            const double value = segment[0] == 'z'   ? 0
                                 : segment[0] == 'p' ? -rms
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

// The peak (dBFS) and the integrated loudness (LUFS) of a message's samples.
std::pair<double, double> measured(const QByteArray& samples) {
    QVector<qint16> values(samples.size() / 2);
    qFromLittleEndian<qint16>(samples.constData(), values.size(), values.data());
    int peak = 0;
    for (const qint16 value : values)
        peak = std::max(peak, std::abs(int{value}));
    const std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> meter(
        ebur128_init(1, kRate, EBUR128_MODE_I), [](ebur128_state* m) { ebur128_destroy(&m); });
    double lufs = NAN;
    ebur128_add_frames_short(meter.get(), values.constData(), std::size_t(values.size()));
    ebur128_loudness_global(meter.get(), &lufs);
    return {20 * std::log10(peak / 32768.0), lufs};
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

    // A message in memory 1 levelled by Microphone > Level > Level This Memory Now (imported: as
    // it is imported) under the [Recording] settings given, with the Level item they tick. What
    // is said is the status line and any box; the peak (dBFS) and loudness (LUFS) are checked
    // unless NaN. A message not levelled is left untouched.
    void messagesAreLevelledToTheirTarget_data() {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<bool>("imported");
        QTest::addColumn<double>("peak");
        QTest::addColumn<double>("lufs");
        QTest::addColumn<QString>("said");
        const QString peak = "Peak -1 dBFS", loudness = "Loudness -16 LUFS";
        const double any = qQNaN();
        QTest::newRow("tone at -12 dBFS") << "t-15.01:1000"
                                          << "Level=peak" << peak << false << -1.0 << any
                                          << "Memory 1 levelled to -1.0 dBFS peak: +11.0 dB";
        QTest::newRow("Off levels to the peak")
            << "t-15.01:1000"
            << ""
            << "Off" << false << -1.0 << any << "Memory 1 levelled to -1.0 dBFS peak: +11.0 dB";
        QTest::newRow("already at -1 dBFS") << "t-4.01:1000"
                                            << "Level=peak" << peak << false << any << any
                                            << "Memory 1 is already at -1.0 dBFS peak";
        QTest::newRow("a sample at full scale") << "t-30:500 p0 t-30:500"
                                                << "Level=peak" << peak << false << -1.0 << any
                                                << "Memory 1 levelled to -1.0 dBFS peak: -1.0 dB";
        QTest::newRow("peak out of range") << "t-15.01:1000"
                                           << "Level=peak\nPeakDbfs=9"
                                           << "Peak 0 dBFS" << false << 0.0 << any
                                           << "Memory 1 levelled to 0.0 dBFS peak: +12.0 dB";
        QTest::newRow("only silence") << "z:2000"
                                      << "Level=peak" << peak << false << any << any
                                      << "Memory 1 holds only silence and was not levelled";
        QTest::newRow("only hiss") << "n-70:2000"
                                   << "Level=loudness" << loudness << false << any << any
                                   << "Memory 1 holds only silence and was not levelled";
        QTest::newRow("loudness") << "t-23.01:3000"
                                  << "Level=loudness" << loudness << false << any << -16.0
                                  << "Memory 1 levelled to -16.0 LUFS: +7.0 dB";
        QTest::newRow("loudness held by a peak")
            << "t-30:3000 p-2"
            << "Level=loudness" << loudness << false << -1.0 << any
            << "Memory 1 levelled to -16.0 LUFS: +1.0 dB (held to -1 dBFS peak)";
        QTest::newRow("loudness out of range") << "t-23.01:3000"
                                               << "Level=loudness\nLoudnessLufs=-100"
                                               << "Loudness -40 LUFS" << false << any << -40.0
                                               << "Memory 1 levelled to -40.0 LUFS: -17.0 dB";
        QTest::newRow("too short for loudness")
            << "t-20:300"
            << "Level=loudness" << loudness << false << any << any
            << "Memory 1 is too short for its loudness to be measured (400 ms at least) and was "
               "not levelled";
        QTest::newRow("imported") << "t-23.01:3000"
                                  << "Level=loudness" << loudness << true << any << -16.0
                                  << "Memory 1 levelled to -16.0 LUFS: +7.0 dB.";
    }
    void messagesAreLevelledToTheirTarget() {
        QFETCH(QString, shape);
        QFETCH(QString, settings);
        QFETCH(QString, ticked);
        QFETCH(bool, imported);
        QFETCH(double, peak);
        QFETCH(double, lufs);
        QFETCH(QString, said);
        WindowHarness h;
        WaveBytes source;
        source.samples = sound(shape);
        const QString path = imported ? h.home.filePath("edited.wav") : h.slotPath(1);
        QVERIFY(QDir().mkpath(h.installDir()) && writeBytes(path, source.bytes()) &&
                writeBytes(h.installDir() + "Tavrin.ini",
                           "[Recording]\n" + settings.toLatin1() + '\n'));
        TTavrin& w = h.open();
        for (QAction* choice : w.ui().Level)
            QCOMPARE(choice->isChecked(), choice->text() == ticked);
        if (imported) {
            h.dialogs.fileAnswers << path;
            item(w, "ImportMessage1")->trigger();
            QTRY_VERIFY(item(w, "ImportMessage1")->isEnabled());
        } else {
            emit w.ui().Microphone->aboutToShow();
            item(w, "LevelNow")->trigger();
        }
        const QString told = h.dialogs.texts().join(';');
        QVERIFY2(imported ? told.contains(said) : told.isEmpty(), qPrintable(told));
        if (!imported)
            QCOMPARE(w.ui().StatusLine->text(), said);
        const QByteArray stored = readBytes(h.slotPath(1)).mid(44);
        const bool levelled = said.contains("levelled to");
        QCOMPARE(stored == source.samples, !levelled);
        // Scaled, never wrapped round the range: each sample keeps its sign.
        for (qsizetype i = 0; i + 1 < stored.size(); i += 2)
            QCOMPARE(qint8(stored[i + 1]) < 0, qint8(source.samples[i + 1]) < 0);
        const auto [peakDbfs, loudness] = measured(stored);
        QVERIFY2(std::isnan(peak) || std::abs(peakDbfs - peak) <= 0.05,
                 qPrintable(QString::number(peakDbfs)));
        QVERIFY2(std::isnan(lufs) || std::abs(loudness - lufs) <= 0.2,
                 qPrintable(QString::number(loudness)));
        emit w.ui().Microphone->aboutToShow();
        QCOMPARE(item(w, "UndoTrim")->isEnabled(), levelled);
        item(w, "UndoTrim")->trigger();
        QCOMPARE(readBytes(h.slotPath(1)).mid(44), source.samples);
    }

    // A recording through the sound device: blocks of silence, sound, silence. The margin chosen
    // stays for the next start. Kept whole (from -1): trimming Off, a recording a device failure
    // (its nth queued block) cut short, and one of nothing, which the status line tells.
    void recordingsLoseTheSilenceAtTheirEnds_data() {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("choices");
        QTest::addColumn<int>("failAt");
        QTest::addColumn<int>("fromMs");
        QTest::addColumn<QString>("said");
        QTest::newRow("sound") << "z:760 t-20:380 z:760"
                               << "Trim300" << 0 << 460 << "Recorded memory 1: 1.0 seconds";
        QTest::newRow("off") << "z:760 t-20:380 z:760"
                             << "TrimOff" << 0 << -1 << "Recorded memory 1: 1.5 seconds";
        QTest::newRow("failed") << "z:760 t-20:380 z:760"
                                << "Trim150 LevelPeak" << 7 << -1 << "";
        QTest::newRow("nothing") << "z:1900"
                                 << "Trim150 LevelLoudness" << 0 << -1
                                 << "Recorded memory 1: 1.5 seconds of silence";
        // Undone before it is looked at: the recording comes back from before the trim.
        QTest::newRow("levelled")
            << "z:760 t-20:380 z:760"
            << "Trim300 LevelPeak" << 0 << -1
            << "Recorded memory 1: 1.0 seconds. Memory 1 levelled to -1.0 dBFS peak: +16.0 dB";
    }
    void recordingsLoseTheSilenceAtTheirEnds() {
        QFETCH(QString, shape);
        QFETCH(QString, choices);
        QFETCH(int, failAt);
        QFETCH(int, fromMs);
        QFETCH(QString, said);
        WindowHarness h;
        const QByteArray captured = sound(shape);
        h.wave.setCapture(captured);
        if (failAt)
            h.wave.failOn(WaveService::Direction::Input, VirtualWaveService::Op::Queue, failAt);
        TTavrin& w = h.open();
        for (const QString& choice : choices.split(' '))
            item(w, choice.toLatin1())->trigger();
        emit w.ui().Microphone->aboutToShow();
        QVERIFY(!item(w, "LevelNow")->isEnabled());
        {
            AudioPump pump(h.wave, WaveService::Direction::Input);
            pump.after(int(captured.size() / kBlock), [&] { click(w.ui().StopBtn); });
            click(w.ui().RecordBtn);
            QTRY_VERIFY(!w.keyerState().recordActive());
        }
        QTRY_COMPARE(said.isEmpty() ? said : w.ui().StatusLine->text(), said);
        QTRY_VERIFY((emit w.ui().Microphone->aboutToShow(), item(w, "LevelNow")->isEnabled()));
        if (said.contains("levelled to")) {
            QVERIFY(std::abs(measured(readBytes(h.slotPath(1)).mid(44)).first + 1) <= 0.05);
            item(w, "UndoTrim")->trigger();
        }
        const QByteArray recorded = readBytes(h.slotPath(1)).mid(44);
        const qsizetype at = captured.indexOf(recorded);
        if (fromMs < 0)
            QVERIFY(recorded.size() >= 4 * kBlock && at == 0);
        else
            QVERIFY2(
                std::abs(msOf(at) - fromMs) <= kWindowMs &&
                    std::abs(msOf(at + recorded.size()) - 1440) <= kWindowMs,
                qPrintable(QString("%1 .. %2 ms").arg(msOf(at)).arg(msOf(at + recorded.size()))));
        QVERIFY(w.close());
        TTavrin& again = h.open();
        for (const QString& choice : choices.split(' '))
            QVERIFY(again.findChild<QAction*>(choice)->isChecked());
    }
};

QTEST_MAIN(TrimTest)
#include "tst_trim.moc"
