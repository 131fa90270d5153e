// Dead air cut from the ends of recordings and imports, measured against each message's own
// noise; messages levelled to a peak or a loudness; and both undone byte for byte.
#include "audiopump.h"
#include "keyer/keyer.h"
#include "phrasetones.h"
#include "windowharness.h"

#include <QDir>
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
    // An import (trimmed, then levelled, as [Recording] says), or Microphone > Level This Memory
    // Now on memory 1. What is told: contained in the import's box, or the command's status line
    // with no box. Where the kept sound should start and end in ms of the file (-1: unchecked),
    // and its peak (dBFS) and loudness (LUFS) unless NaN. A message changed keeps what it replaced
    // for Undo, which puts it back byte for byte; one left as it is keeps nothing.
    void messagesAreTrimmedAndLevelled_data() {
        columns<QString, QString, bool, int, int, double, double, QString>(
            "shape", "settings", "imported", "fromMs", "toMs", "peak", "lufs", "said");
        const QString byPeak = "Level=peak", byLoudness = "Level=loudness";
        const QString toPeak = "Memory 1 levelled to -1.0 dBFS peak: ";
        const QString silent = "Memory 1 holds only silence and was not levelled";
        const QString trimmed = "Silence at its ends was trimmed",
                      kept = "only silence and was kept";
        const double any = qQNaN();
        const auto importRow = [&](const char* name, const char* shape, const QString& settings,
                                   int fromMs, int toMs, const QString& said) {
            QTest::newRow(name) << shape << settings << true << fromMs << toMs << any << any
                                << said;
        };
        importRow("room noise", "n-70:1000 t-10:600 n-70:800", "", 850, 1750, trimmed);
        importRow("quiet first syllable", "n-65:1000 t-45:150 t-6:500 n-60:500", "", 850, 1800,
                  trimmed);
        importRow("digital silence", "z:1000 t-20:300 z:1000", "TrimMarginMs=500", 500, 1800,
                  trimmed);
        importRow("tight", "z:1000 t-20:300 z:1000", "TrimMarginMs=50", 950, 1350, trimmed);
        importRow("trim off", "z:1000 t-20:300 z:1000", "TrimSilence=false", 0, 2300, "");
        importRow("sound throughout", "t-10:1000", "", 0, 1000, "");
        importRow("hum throughout", "n-30:2000", "", 0, 2000, "");
        importRow("import of silence", "z:2000", "", -1, -1, kept);
        importRow("import of hiss", "n-70:2000", "", -1, -1, kept);
        QTest::newRow("imported and levelled")
            << "t-23.01:3000" << byLoudness << true << -1 << -1 << any << -16.0
            << "levelled to -16.0 LUFS: +7.0 dB.";
        const auto levelRow = [&](const char* name, const char* shape, const QString& settings,
                                  double peak, double lufs, const QString& said) {
            QTest::newRow(name) << shape << settings << false << -1 << -1 << peak << lufs << said;
        };
        levelRow("tone at -12 dBFS", "t-15.01:1000", byPeak, -1.0, any, toPeak + "+11.0 dB");
        levelRow("Off levels to the peak", "t-15.01:1000", "", -1.0, any, toPeak + "+11.0 dB");
        levelRow("already at -1 dBFS", "t-4.01:1000", byPeak, any, any,
                 "Memory 1 is already at -1.0 dBFS peak");
        levelRow("a sample at full scale", "t-30:500 p0 t-30:500", byPeak, -1.0, any,
                 toPeak + "-1.0 dB");
        levelRow("peak out of range", "t-15.01:1000", byPeak + "\nPeakDbfs=9", 0.0, any,
                 "Memory 1 levelled to 0.0 dBFS peak: +12.0 dB");
        levelRow("only silence", "z:2000", byPeak, any, any, silent);
        levelRow("only hiss", "n-70:2000", byLoudness, any, any, silent);
        levelRow("loudness", "t-23.01:3000", byLoudness, any, -16.0,
                 "Memory 1 levelled to -16.0 LUFS: +7.0 dB");
        levelRow("loudness held by a peak", "t-30:3000 p-2", byLoudness, -1.0, any,
                 "Memory 1 levelled to -16.0 LUFS: +1.0 dB (held to -1 dBFS peak)");
        levelRow("too short for loudness", "t-20:300", byLoudness, any, any,
                 "Memory 1 is too short for its loudness to be measured (400 ms at least) and "
                 "was not levelled");
    }
    void messagesAreTrimmedAndLevelled() {
        QFETCH(QString, shape);
        QFETCH(QString, settings);
        QFETCH(bool, imported);
        QFETCH(int, fromMs);
        QFETCH(int, toMs);
        QFETCH(double, peak);
        QFETCH(double, lufs);
        QFETCH(QString, said);
        WindowHarness h;
        WaveBytes source;
        source.samples = sound(shape);
        const QString path = imported ? h.home.filePath("edited.wav") : h.slotPath(1);
        const QString kept = h.slotPath(1) + ".untrimmed";
        // What an earlier message left behind goes with it.
        QVERIFY(QDir().mkpath(h.installDir()) && writeBytes(path, source.bytes()) &&
                writeBytes(h.installDir() + "Tavrin.ini",
                           "[Recording]\n" + settings.toLatin1() + '\n') &&
                (!imported || writeBytes(kept, "stale")));
        MainWindow& w = h.open();
        if (imported) {
            h.dialogs.fileAnswers << path;
            item(w, "ImportMessage1")->trigger();
            QTRY_VERIFY(item(w, "ImportMessage1")->isEnabled());
        } else {
            emit w.ui().microphoneMenu->aboutToShow();
            item(w, "LevelNow")->trigger();
        }
        const QString told = h.dialogs.texts().join(';');
        QVERIFY2(imported ? told.contains(said) : told.isEmpty(), qPrintable(told));
        QVERIFY(imported || w.ui().statusLine->text() == said);
        const QByteArray file = readBytes(h.slotPath(1));
        const QByteArray stored = file.mid(file.indexOf("data") + 8);
        const bool cut = fromMs > 0 || (toMs >= 0 && toMs < msOf(source.samples.size()));
        const bool changed = cut || said.contains("levelled to");
        QCOMPARE(stored != source.samples, changed);
        QCOMPARE(told.contains("Silence at its ends was trimmed"), cut);
        const QByteArray whole = changed ? readBytes(kept) : file;
        QVERIFY(whole.endsWith(source.samples)); // kept as it came
        if (fromMs >= 0) {
            const qsizetype at = source.samples.indexOf(stored);
            QVERIFY(at >= 0 && at % 2 == 0);
            QVERIFY2(
                std::abs(msOf(at) - fromMs) <= kWindowMs &&
                    std::abs(msOf(at + stored.size()) - toMs) <= kWindowMs,
                qPrintable(QString("%1 .. %2 ms").arg(msOf(at)).arg(msOf(at + stored.size()))));
        }
        // Scaled, never wrapped round the range: each sample keeps its sign.
        for (qsizetype i = 1; !cut && i < stored.size(); i += 2)
            QCOMPARE(qint8(stored[i]) < 0, qint8(source.samples[i]) < 0);
        const auto [peakDbfs, loudness] = measured(stored);
        QVERIFY2(std::isnan(peak) || std::abs(peakDbfs - peak) <= 0.05,
                 qPrintable(QString::number(peakDbfs)));
        QVERIFY2(std::isnan(lufs) || std::abs(loudness - lufs) <= 0.2,
                 qPrintable(QString::number(loudness)));
        QCOMPARE(QFile::exists(kept), changed);
        emit w.ui().microphoneMenu->aboutToShow();
        QCOMPARE(item(w, "UndoTrim")->isEnabled(), changed);
        item(w, "UndoTrim")->trigger();
        QCOMPARE(readBytes(h.slotPath(1)), whole);
        QVERIFY(!QFile::exists(kept));
        QCOMPARE(w.ui().statusLine->text().startsWith("Memory 1 is back as recorded"), changed);
    }

    // A recording through the sound device: blocks of silence, sound, silence, with the Trim and
    // Level items chosen. Kept whole (from -1): trimming Off, a recording a device failure (its
    // nth queued block) cut short, and one of nothing, which the status line tells.
    void recordingsLoseTheSilenceAtTheirEnds_data() {
        columns<QString, QString, int, int, QString>("shape", "choices", "failAt", "fromMs",
                                                     "said");
        const QString word = "z:760 t-20:380 z:760", recorded = "Recorded memory 1: ";
        QTest::newRow("sound") << word << "Trim300" << 0 << 460 << recorded + "1.0 seconds";
        QTest::newRow("off") << word << "TrimOff" << 0 << -1 << recorded + "1.5 seconds";
        QTest::newRow("failed") << word << "Trim150 LevelPeak" << 7 << -1 << QString();
        QTest::newRow("nothing") << "z:1900"
                                 << "Trim150 LevelLoudness" << 0 << -1
                                 << recorded + "1.5 seconds of silence";
        // Undone before it is looked at: the recording comes back from before the trim.
        QTest::newRow("levelled")
            << word << "Trim300 LevelPeak" << 0 << -1
            << recorded + "1.0 seconds. Memory 1 levelled to -1.0 dBFS peak: +16.0 dB";
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
        MainWindow& w = h.open();
        for (const QString& choice : choices.split(' '))
            item(w, choice.toLatin1())->trigger();
        emit w.ui().microphoneMenu->aboutToShow();
        QVERIFY(!item(w, "LevelNow")->isEnabled());
        {
            AudioPump pump(h.wave, WaveService::Direction::Input);
            pump.after(int(captured.size() / kBlock), [&] { click(w.ui().stopButton); });
            click(w.ui().recordButton);
            QTRY_VERIFY(!w.station().keyerState().recordActive());
        }
        QTRY_COMPARE(said.isEmpty() ? said : w.ui().statusLine->text(), said);
        QTRY_VERIFY((emit w.ui().microphoneMenu->aboutToShow(), item(w, "LevelNow")->isEnabled()));
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
    }

    // A memory kept as a template (set through File > Template…) is spoken from one recording
    // per token, each a tone of its own pitch, and memory 1's message, a tone too: played through
    // the sound device as one keyed message, heard as exactly those pieces in that order, with no
    // gap longer than 10 ms and no step at a join larger than the pieces' own. A word with a file
    // of its own is spoken whole, any other spelled. A piece missing (a token not recorded, a
    // field not set, an empty memory) refuses PLAY before anything keys, naming it.
    void templatesAreSpokenFromTheirPieces_data() {
        columns<QString, QString, QStringList, QString>("text", "fields", "heard", "refused");
        QTest::newRow("call spelled") << "dl1abc"
                                      << "" << QStringList{"D", "L", "1", "A", "B", "C"} << "";
        QTest::newRow("a word of its own") << "599 9"
                                           << "" << QStringList{"599", "9"} << "";
        QTest::newRow("portable") << "DL1ABC/P"
                                  << "" << QStringList{"D", "L", "1", "A", "B", "C", "slash", "P"}
                                  << "";
        QTest::newRow("memory and fields")
            << "{mem 1} {serial:03} {call}"
            << "serial=9 call=dl1" << QStringList{"memory", "0", "0", "9", "D", "L", "1"} << "";
        QTest::newRow("Q not recorded")
            << "DL1ABQ"
            << "" << QStringList{} << "Memory 2: \"Q\" is not recorded in ";
        QTest::newRow("serial not set")
            << "{mem 1} 9 {serial}"
            << "call=A" << QStringList{} << "Memory 2: the field serial is not set";
        QTest::newRow("empty memory") << "9 {mem 5}"
                                      << "" << QStringList{} << "Memory 2: memory 5 is empty";
    }
    void templatesAreSpokenFromTheirPieces() {
        QFETCH(QString, text);
        QFETCH(QString, fields);
        QFETCH(QStringList, heard);
        QFETCH(QString, refused);
        const QStringList tokens{"D",     "L", "1",   "A", "B", "C",
                                 "slash", "P", "599", "9", "0", "memory"};
        const auto tone = [&](const QString& token) {
            return phrasetones::piece(phrasetones::pitch(tokens, token), 0, 0);
        };
        WindowHarness h;
        QVERIFY(QDir(h.installDir()).mkdir("phrases"));
        for (const QString& token : tokens.mid(0, tokens.size() - 1)) {
            WaveBytes piece; // between silences, as the operator records it
            piece.samples = phrasetones::piece(phrasetones::pitch(tokens, token), kRate * 80 / 1000,
                                               kRate * 60 / 1000);
            QVERIFY(writeBytes(h.installDir() + "phrases/" + token + ".wav", piece.bytes()));
        }
        h.writeMessage(1, tone("memory")); // played whole, as recorded
        MainWindow& w = h.openKeying();
        click(w.ui().memoryButtons[1]);
        h.dialogs.inputAnswers << FakeDialogs::Answer{true, text};
        item(w, "Template1")->trigger();
        QCOMPARE(w.station().keyer().templates().templateOf(2), text);
        QTRY_VERIFY(w.ui().memoryButtons[1]->toolTip().contains("template " + text));
        for (const QString& field : fields.split(' ', Qt::SkipEmptyParts))
            QCOMPARE(w.station().keyer().templates().fields().set(field.section('=', 0, 0),
                                                                  field.section('=', 1)),
                     QString());
        const QStringList before = h.ports.events();
        {
            AudioPump pump(h.wave, Dir::Output);
            click(w.ui().playButton);
        }
        if (!refused.isEmpty()) {
            QTRY_VERIFY2(w.ui().statusLine->text().startsWith(refused),
                         qPrintable(w.ui().statusLine->text()));
            QCOMPARE(h.ports.events(), before);
            QVERIFY(h.wave.played().isEmpty() && !w.station().keyerState().playActive());
            // Offered as it stands; empty text removes it, and the recording plays again.
            h.dialogs.inputAnswers << FakeDialogs::Answer{true, ""};
            item(w, "Template1")->trigger();
            QCOMPARE(h.dialogs.offered.value(1), text);
            QVERIFY(!QFile::exists(h.installDir() + "memory2.txt"));
            QCOMPARE(w.ui().statusLine->text(), "Memory 2 plays its recording");
            return;
        }
        QVERIFY(h.everKeyed() && !h.keyed());
        // One message: the exchange as written, then the silence that fills its last block.
        const QByteArray bytes = readBytes(h.installDir() + "exchange.wav").mid(44);
        const QByteArray played = h.wave.played();
        QVERIFY(played.startsWith(bytes) &&
                played.mid(bytes.size()).count('\0') == played.size() - bytes.size());
        QCOMPARE(phrasetones::fault(phrasetones::samples(bytes), tokens, heard), QString());
    }
};

QTEST_MAIN(TrimTest)
#include "tst_trim.moc"
