// However a recording ends, its file says truthfully what it holds: a header whose sizes match
// the file, then whole blocks of what was captured; until then the old message stands and the
// part so far is playable beside it. Damaged or foreign message files give the readers'
// behaviour, and reading one loses or changes no file.
#include "audiopump.h"
#include "filesizelimit.h"
#include "keyer/keyer.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QRandomGenerator>
#include <QtTest>

#include <limits>

namespace {
constexpr int kHeader = 44;
constexpr quint32 kSeed = 0x7A5A1;
constexpr std::int32_t kLongest = std::numeric_limits<std::int32_t>::max();
const QByteArray kCaptured = pattern(64 * kBlock, 11);
const char* const kWays[] = {"STOP", "RST", "Escape", "close box", "device failure"};
// The device calls a recording makes; open and start only once, so only their first can fail.
const std::pair<Op, bool> kFailingCalls[] = {
    {Op::Open, true}, {Op::Queue, false}, {Op::Start, true}};

// The file holds a header for exactly its whole blocks of the captured sound.
// A file short of a header, or holding part of a block, matches no whole-block file.
void checkWholeFile(const QByteArray& file) {
    WaveBytes expected;
    expected.samples = kCaptured.left(qMax(0, file.size() - kHeader) / kBlock * kBlock);
    QCOMPARE(file, expected.bytes());
}
QByteArray withLe32(QByteArray bytes, int offset, quint32 value) {
    return bytes.replace(offset, 4, WaveBytes::le32(value));
}
QStringList filesIn(const QString& dir) {
    QStringList files;
    for (const QString& name : QDir(dir).entryList({"memory*"}, QDir::Files))
        files << name + ": " + readBytes(dir + name).toHex();
    return files;
}
} // namespace

class RecordingEndsTest : public QObject {
    Q_OBJECT

private slots:
    // A press, a failing device, a full disk, or sizes about to outgrow their 32 bits. The last
    // two end the recording as STOP does and say why. The way, the blocks captured before the end
    // comes and the delay after the last of them completed, the failing call and which of its
    // calls, what a full disk takes (-1: no limit).
    void everyEndLeavesAWholeFile_data() {
        columns<QString, int, int, Op, int, int>("way", "blocks", "delayMs", "failing",
                                                 "occurrence", "diskBytes");
        QRandomGenerator random(kSeed);
        for (int run = 0; run < 40; ++run) {
            const QString way = kWays[run % std::size(kWays)];
            const int blocks = random.bounded(0, 12);
            const int delayMs = way == "device failure" ? 0 : random.bounded(0, 4);
            const auto [op, once] = kFailingCalls[random.bounded(int(std::size(kFailingCalls)))];
            const int occurrence = once ? 1 : random.bounded(1, blocks + 2);
            QTest::addRow("run %d: %s after %d blocks + %d ms, call %d fails at %d", run,
                          qPrintable(way), blocks, delayMs, int(op), occurrence)
                << way << blocks << delayMs << op << occurrence << -1;
        }
        QRandomGenerator limits(kSeed);
        const int edges[] = {
            0, 1, 8, 43, kHeader, kHeader + 1, kHeader + kBlock - 1, kHeader + kBlock};
        for (int run = 0; run < 32; ++run) {
            const int bytes = run < 8 ? edges[run] : limits.bounded(kHeader + 6 * kBlock);
            QTest::addRow("full disk, run %d: %d bytes", run, bytes)
                << QString("full disk") << 0 << 0 << Op::Open << 0 << bytes;
        }
        QTest::newRow("longest message")
            << QString("longest message") << 2 << 0 << Op::Open << 0 << -1;
    }
    void everyEndLeavesAWholeFile() {
        QFETCH(QString, way);
        QFETCH(int, blocks);
        QFETCH(int, delayMs);
        QFETCH(Op, failing);
        QFETCH(int, occurrence);
        QFETCH(int, diskBytes);
        const bool failure = way == "device failure", full = diskBytes >= 0,
                   longest = way == "longest message", pressed = !failure && !full && !longest;
        WindowHarness h;
        h.writeMessage(1, QByteArray(kBlock, 'o'));
        const QByteArray old = readBytes(h.slotPath(1));
        MainWindow& w = h.open();
        h.wave.setCapture(kCaptured);
        QByteArray messageThen, partThen; // as a power cut or a kill at the end would leave them
        AudioPump pump(h.wave, Dir::Input);
        if (failure)
            h.wave.failOn(Dir::Input, failing, occurrence);
        if (longest) // two blocks before the 32-bit sizes are full
            pump.after(blocks, [&] {
                w.findChild<KeyerState*>()->setRecordedBytes(kLongest - 2 * kBlock);
            });
        if (pressed) {
            // While the block after them is being filled, or a few ms later.
            pump.after(blocks + 1, [&] {
                messageThen = readBytes(h.slotPath(1));
                partThen = readBytes(h.slotPath(1) + ".part");
                if (delayMs == 0)
                    press(w, way);
                else
                    QTimer::singleShot(delayMs, &w, [&] { press(w, way); });
            });
        }
        // An end that does not end the recording would leave it running for ever: 5 s at most.
        bool overdue = false;
        QTimer::singleShot(5000, &pump, [&] {
            overdue = true;
            click(w.ui().stopButton);
        });
        {
            const auto disk = full ? std::make_unique<FileSizeLimit>(diskBytes) : nullptr;
            click(w.ui().recordButton);
        }

        QVERIFY(!overdue && !w.station().keyerState().recordActive() &&
                !w.station().keyerState().recordFileOpen());
        QVERIFY(w.station().keyerState().keyerStopped() && !w.station().keyerState().busy());
        // An idle keyer left open all day wakes for nothing.
        for (const QTimer* timer : w.station().keyer().findChildren<QTimer*>())
            QVERIFY2(!timer->isActive(), qPrintable(timer->parent()->metaObject()->className()));
        QVERIFY(!h.wave.isOpen(Dir::Input) && !QFile::exists(h.slotPath(1) + ".part"));
        const QString told = full      ? "Could not write the Wave file: File too large"
                             : longest ? "The recording reached the longest message a file can "
                                         "hold and was stopped"
                                       : "";
        QVERIFY(failure ||
                h.dialogs.texts() == (told.isEmpty() ? QStringList() : QStringList{told}));
        const QByteArray file = readBytes(h.slotPath(1));
        const int dataBytes = file.size() - kHeader;
        if (longest) {
            QCOMPARE(pump.completed(), 3);
            QCOMPARE(file.size(), kHeader + 3 * kBlock);
            QCOMPARE(le32At(file, 40), quint32(kLongest));
            return;
        }
        // A device that failed before it captured anything, or a disk too full for the header,
        // leaves the old message; one that failed later ends the recording where the call failed.
        if ((failure && w.station().keyerState().recordedBytes() == 0) ||
            (full && diskBytes < kHeader))
            QCOMPARE(file, old);
        else
            checkWholeFile(file);
        QVERIFY(!failure || dataBytes <= occurrence * kBlock);
        QVERIFY(!full || diskBytes < kHeader || file.size() <= diskBytes);
        if (!pressed)
            return;
        QCOMPARE(messageThen, old);
        QCOMPARE(partThen.size(), kHeader + blocks * kBlock);
        checkWholeFile(partThen);
        // The block being filled when the end came is not kept.
        QVERIFY2(delayMs == 0 ? dataBytes == blocks * kBlock : dataBytes >= blocks * kBlock,
                 qPrintable(QString::number(dataBytes)));
    }

    // The file, the refusal (empty: the file is played), what is heard.
    void aBadMessageFileGivesTheReadersBehaviour_data() {
        columns<QByteArray, QString, QByteArray>("file", "refusal", "heard");
        const QByteArray sound = pattern(2 * kBlock + 300, 5);
        WaveBytes wave;
        wave.samples = sound;
        const QByteArray good = wave.bytes();

        const auto refused = [](const QString& name, const QByteArray& file, const QString& why) {
            QTest::newRow(qPrintable(name)) << file << why << QByteArray();
        };
        refused("empty", {}, "Not a RIFF file");
        for (int length = 1; length < 44; ++length)
            refused(QString("cut at %1").arg(length), good.left(length),
                    length < 4    ? "Not a RIFF file"
                    : length < 12 ? "Not a WAVE file"
                                  : "fmt incorrect");
        QTest::addRow("header only") << good.left(44) << "" << QByteArray();
        for (quint32 claimed : {0u, 1000u, 1000000u, 0xFFFFFFFFu})
            QTest::addRow("data size %u", claimed)
                << withLe32(good, 40, claimed) << ""
                << sound.left(static_cast<int>(qMin<quint32>(claimed, sound.size())));
        for (quint32 claimed : {0u, 0xFFFFFFFFu})
            QTest::addRow("RIFF size %u", claimed) << withLe32(good, 4, claimed) << "" << sound;
        for (quint32 claimed : {0u, 8u, 100000u, 0xFFFFFFFFu})
            refused(QString("fmt size %1").arg(claimed), withLe32(good, 16, claimed),
                    "fmt incorrect");
        refused("RIFX", "RIFX" + good.mid(4), "Not a RIFF file");
        refused("AVI form", withLe32(good, 8, 0x20495641), "Not a WAVE file");
        refused("LIST before fmt", withLe32(good, 12, 0x5453494C), "fmt incorrect");
        // Codings, rates and frames that cannot be played, each named as the refusal names it.
        const std::tuple<quint16, quint16, quint16, quint32, quint16, const char*> codings[] = {
            {2, 1, 4, 8000, 2, "ADPCM, 4 bits, 1 channel, 8000 Hz"},
            {7, 2, 8, 8000, 2, "mu-law, 8 bits, 2 channels, 8000 Hz"},
            {1, 1, 16, 999, 2, "PCM, 16 bits, 1 channel, 999 Hz"},
            {1, 2, 8, 8000, 3, "PCM, 8 bits, 2 channels, 8000 Hz"}, // 3-byte stereo frames
            {1, 1, 64, 8000, 8, "PCM, 64 bits, 1 channel, 8000 Hz"},
            {3, 1, 16, 8000, 2, "float, 16 bits, 1 channel, 8000 Hz"}};
        for (const auto& [tag, channels, bits, rate, frameBytes, named] : codings) {
            WaveBytes other = wave;
            std::tie(other.formatTag, other.channels, other.bitsPerSample, other.samplesPerSecond,
                     other.blockAlign) = std::tuple(tag, channels, bits, rate, frameBytes);
            refused(named, other.bytes(),
                    QString("Cannot play a wave file in this format: ") + named);
        }
        WaveBytes extensible = wave; // the sub-format's first two bytes name the coding
        std::tie(extensible.formatTag, extensible.fmtSize) = std::tuple(0xFFFE, 40);
        extensible.fmtExtra = WaveBytes::le16(22) + WaveBytes::le16(16) + WaveBytes::le32(4) +
                              WaveBytes::le16(1) + QByteArray(14, 'x');
        QTest::addRow("extensible PCM") << extensible.bytes() << "" << sound;
        WaveBytes wide = extensible; // 32-bit samples, heard as their upper 16 bits
        std::tie(wide.bitsPerSample, wide.blockAlign) = std::tuple(32, 4);
        wide.samples.clear();
        for (int at = 0; at + 1 < sound.size(); at += 2)
            wide.samples += QByteArray(2, '\0') + sound.mid(at, 2);
        QTest::addRow("32-bit PCM") << wide.bytes() << "" << sound.left(sound.size() & ~1);
        // Chunks between the format and the data, odd-sized ones padded, are walked over.
        const auto chunk = [](const char* id, int size) {
            return id + WaveBytes::le32(size) + QByteArray(size + size % 2, 'x');
        };
        const std::pair<const char*, QByteArray> chunks[] = {
            {"LIST", chunk("LIST", 26)},
            {"odd-sized cue", chunk("cue ", 25)},
            {"fact", WaveBytes::factChunk(sound.size() / 2)},
            {"fact, LIST", WaveBytes::factChunk(3000) + chunk("LIST", 70)}};
        for (const auto& [name, between] : chunks)
            for (int extra : {0, 2}) {
                WaveBytes other = wave;
                std::tie(other.fmtSize, other.fmtExtra, other.beforeData) =
                    std::tuple(16 + extra, QByteArray(extra, '\0'), between);
                QTest::addRow("%s, %d-byte fmt", name, int(other.fmtSize))
                    << other.bytes() << "" << sound;
            }
    }
    void aBadMessageFileGivesTheReadersBehaviour() {
        QFETCH(QByteArray, file);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, heard);
        WindowHarness h;
        h.writeMessage(2, pattern(2 * kBlock, 2));
        const QString path = h.slotPath(1);
        writeBytes(path, file);
        const QStringList before = filesIn(h.installDir());
        MainWindow& w = h.openKeying();
        click(w.ui().memoryButtons[0]);
        h.ports.takeEvents();

        AudioPump pump(h.wave, Dir::Output);
        pump.after(50, [&] { click(w.ui().stopButton); }); // far beyond any of these messages
        click(w.ui().playButton);
        QVERIFY(!w.station().keyerState().busy() && !w.station().keyerState().playFileOpen() &&
                w.station().keyingLine().level() == KeyingLine::Unkeyed);
        // Only a message with sound in it opens the device.
        QCOMPARE(h.wave.calls(Dir::Output, Op::Open), heard.isEmpty() ? 0 : 1);
        QCOMPARE(h.wave.played(),
                 heard + QByteArray((kBlock - heard.size() % kBlock) % kBlock, '\0'));
        const auto told = [&](const QString& text) {
            return refusal.isEmpty() ? QStringList() : QStringList{text};
        };
        QCOMPARE(h.dialogs.texts(), told(refusal));
        QVERIFY(refusal.isEmpty() || (h.dialogs.messages[0].title == "File Error Message" &&
                                      h.ports.events().isEmpty()));

        // Open Wave checks the file by the same rules, and names no format; Save Wave names it.
        h.dialogs.messages.clear();
        h.dialogs.fileAnswers << path;
        w.ui().openMessageItem->trigger();
        QCOMPARE(h.dialogs.texts(), told(refusal.section(':', 0, 0)));
        item(w, "SaveWave1")->trigger();
        QCOMPARE(h.dialogs.texts().mid(1), told(refusal));
        QCOMPARE(w.station().keyerState().currentMessageFile(), path);
        QVERIFY(filesIn(h.installDir()) == before);
    }
};

QTEST_MAIN(RecordingEndsTest)
#include "tst_recordingends.moc"
