// Files the program reads, damaged or foreign: a configuration file of any length or content,
// and message files cut short, of other formats, lying about their sizes or holding other chunks.
// Each gives the readers' behaviour, and no file is lost or changed by reading it.
#include "audiopump.h"
#include "config/configrecord.h"
#include "keyer/keyer.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QRandomGenerator>
#include <QtTest>

#include <map>

namespace {
constexpr quint32 kSeed = 0xC0FFEE;
using Files = std::map<QString, QByteArray>;

QByteArray randomBytes(QRandomGenerator& random, int bytes) {
    QByteArray data(bytes, '\0');
    for (char& c : data)
        c = static_cast<char>(random.bounded(256));
    return data;
}
QByteArray withLe32(QByteArray bytes, int offset, quint32 value) {
    return bytes.replace(offset, 4, WaveBytes::le32(value));
}
Files filesIn(const QString& dir) {
    Files files;
    for (const QString& name : QDir(dir).entryList(QDir::Files))
        files[name] = readBytes(dir + name);
    return files;
}
// Three recorded messages and the given configuration file; returns what the directory holds.
Files install(WindowHarness& h, const QByteArray& config) {
    for (int slot = 1; slot <= 3; ++slot)
        h.writeMessage(slot, pattern(slot * kBlock, slot));
    writeBytes(h.installDir() + "Tavrin.cfg", config);
    return filesIn(h.installDir());
}

// Every setting away from its built-in default, so that each one shows whether it was applied.
ConfigRecord storedSettings() {
    ConfigRecord r;
    for (int slot = 1; slot <= 12; ++slot)
        r.messageTexts[slot] = "note " + QByteArray::number(slot);
    r.selectedMemory = 4;
    r.reservedA = 77;
    r.reservedB = 12345;
    r.loopDelay = 90;
    r.keyingPortKind = 1;
    r.keyingPortName = "COM3";
    r.micGainCode = 1000;
    r.keyingPolarity = 2;
    r.idAlarmOn = 1;
    r.idAlarmSeconds = 45;
    r.stayOnTop = 1;
    r.inputDevice = 2;
    r.outputDevice = 1;
    return r;
}
} // namespace

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    // A stored record cut at any length applies exactly the fields it holds whole; random bytes
    // apply as read. Closing rewrites a whole record, keeps what it did not understand, and
    // changes no other file.
    void aConfigurationOfAnyContentLosesNothing_data() {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<bool>("cut"); // the stored settings, cut short
        const QByteArray record = storedSettings().serialize();
        for (int length : {0,    1,    255,  256,  511,  3328, 6655, 6656, 6659, 6660, 6667, 6668,
                           6707, 6708, 6712, 6716, 6717, 6720, 6721, 6722, 6726, 6729, 6730})
            QTest::addRow("%d bytes", length) << record.left(length) << true;
        QRandomGenerator random(kSeed);
        QTest::addRow("4096 bytes beyond") << record + randomBytes(random, 4096) << true;
        for (int run = 0; run < 24; ++run) {
            const int length = run % 3 == 0 ? 6730 : random.bounded(0, 9000);
            QTest::addRow("random %d: %d bytes", run, length)
                << randomBytes(random, length) << false;
        }
    }
    void aConfigurationOfAnyContentLosesNothing() {
        QFETCH(QByteArray, config);
        QFETCH(bool, cut);
        const ConfigRecord read = ConfigRecord::parse(config, ConfigRecord{});
        if (cut) {
            // The built-in defaults, with every stored field the bytes hold whole laid over them.
            QByteArray expected(6730, '\0');
            for (const auto& [offset, value] : {std::pair{6656, 1u},
                                                {6664, 25000u},
                                                {6668, 10u},
                                                {6708, 1u},
                                                {6712, 1u},
                                                {6717, 10u}})
                expected.replace(offset, 4, WaveBytes::le32(value));
            const QByteArray stored = storedSettings().serialize();
            QList<std::pair<int, int>> fields{
                {6656, 4}, {6660, 4}, {6664, 4}, {6668, 4}, {6672, 4}, {6676, 32}, {6708, 4},
                {6712, 4}, {6716, 1}, {6717, 4}, {6721, 1}, {6722, 4}, {6726, 4}};
            for (int offset = 0; offset < 6656; offset += 256)
                fields.append({offset, 256});
            for (const auto& [offset, width] : fields)
                if (offset + width <= config.size())
                    expected.replace(offset, width, stored.mid(offset, width));
            QCOMPARE(read.serialize(), expected);
        }
        WindowHarness h;
        Files before = install(h, config);
        TTavrin& w = h.open();
        const quint32 stored = read.selectedMemory;
        const int selected = stored >= 1 && stored <= 12 ? int(stored) : 1;
        for (int slot = 1; slot <= 12; ++slot)
            QCOMPARE(w.memories().noteBytes(slot), read.messageTexts[slot].left(255));
        QCOMPARE(w.keyerState().selectedMemory(), selected);
        QCOMPARE(w.keyerState().loopDelay(), read.loopDelay);
        QCOMPARE(h.ports.events().contains("open COM3"), read.keyingPortName == "COM3");
        QCOMPARE(w.keyerState().micGainCode(), read.micGainCode);
        QCOMPARE(w.keyingLine().KeyingPolarity(), read.keyingPolarity == 1 ? 1 : 2);
        QCOMPARE(w.idAlarm().IdAlarmOn(), read.idAlarmOn == 1);
        QCOMPARE(w.idAlarm().IdAlarmSeconds(), read.idAlarmSeconds);
        QCOMPARE(w.ui().On2->isChecked(), read.stayOnTop == 1);
        QCOMPARE(w.audioDevices().InputDevice, read.inputDevice);
        QCOMPARE(w.audioDevices().OutputDevice, read.outputDevice);
        QVERIFY(h.dialogs.messages.isEmpty());

        QVERIFY(w.close());
        Files after = filesIn(h.installDir());
        const ConfigRecord written = ConfigRecord::parse(after["Tavrin.cfg"], ConfigRecord{});
        QCOMPARE(after["Tavrin.cfg"].size(), 6730);
        before.erase("Tavrin.cfg");
        after.erase("Tavrin.cfg");
        QVERIFY(after == before);
        QCOMPARE(written.selectedMemory, quint32(selected));
        QCOMPARE(written.reservedA, read.reservedA);
        QCOMPARE(written.reservedB, read.reservedB);
        QCOMPARE(written.loopDelay, read.loopDelay);
        QCOMPARE(written.keyingPortName, read.keyingPortName.left(31));
        QCOMPARE(written.micGainCode, read.micGainCode);
        QCOMPARE(written.keyingPolarity, read.keyingPolarity == 1 ? 1 : 2);
        QCOMPARE(written.idAlarmSeconds, read.idAlarmSeconds);
        QCOMPARE(written.inputDevice, read.inputDevice);
        QCOMPARE(written.outputDevice, read.outputDevice);
        for (int slot = 1; slot <= 12; ++slot)
            QCOMPARE(written.messageTexts[slot], w.memories().noteBytes(slot));
    }

    void aBadMessageFileGivesTheReadersBehaviour_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("refusal"); // empty: the file is played
        QTest::addColumn<QByteArray>("heard");
        const QByteArray sound = pattern(2 * kBlock + 300, 5);
        WaveBytes wave;
        wave.samples = sound;
        const QByteArray good = wave.bytes();

        QTest::addRow("empty") << QByteArray() << "Not a RIFF file" << QByteArray();
        for (int length = 1; length < 44; ++length)
            QTest::addRow("cut at %d", length) << good.left(length)
                                               << (length < 4    ? "Not a RIFF file"
                                                   : length < 12 ? "Not a WAVE file"
                                                                 : "fmt incorrect")
                                               << QByteArray();
        QTest::addRow("header only") << good.left(44) << "" << QByteArray();
        for (quint32 claimed : {0u, 1000u, 1000000u, 0xFFFFFFFFu})
            QTest::addRow("data size %u", claimed)
                << withLe32(good, 40, claimed) << ""
                << sound.left(static_cast<int>(qMin<quint32>(claimed, sound.size())));
        for (quint32 claimed : {0u, 0xFFFFFFFFu})
            QTest::addRow("RIFF size %u", claimed) << withLe32(good, 4, claimed) << "" << sound;
        for (quint32 claimed : {0u, 8u, 100000u, 0xFFFFFFFFu})
            QTest::addRow("fmt size %u", claimed)
                << withLe32(good, 16, claimed) << "fmt incorrect" << QByteArray();
        QTest::addRow("RIFX") << "RIFX" + good.mid(4) << "Not a RIFF file" << QByteArray();
        QTest::addRow("AVI form") << withLe32(good, 8, 0x20495641) << "Not a WAVE file"
                                  << QByteArray();
        const auto coded = [&](quint16 tag, quint16 channels, quint16 bits) {
            WaveBytes other = wave;
            std::tie(other.formatTag, other.channels, other.bitsPerSample) = {tag, channels, bits};
            other.samplesPerSecond = 8000;
            return other.bytes();
        };
        const QString unplayable = "Cannot play a wave file in this format: ";
        QTest::addRow("ADPCM") << coded(2, 1, 4) << unplayable + "ADPCM, 4 bits, 1 channel, 8000 Hz"
                               << QByteArray();
        QTest::addRow("mu-law") << coded(7, 2, 8)
                                << unplayable + "mu-law, 8 bits, 2 channels, 8000 Hz"
                                << QByteArray();
        QTest::addRow("16-bit float")
            << coded(3, 1, 16) << unplayable + "float, 16 bits, 1 channel, 8000 Hz" << QByteArray();
        QTest::addRow("LIST before fmt")
            << withLe32(good, 12, 0x5453494C) << "fmt incorrect" << QByteArray();
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
            for (bool longFmt : {false, true}) {
                WaveBytes other = wave;
                other.fmtSize = longFmt ? 18 : 16;
                other.fmtExtra = QByteArray(longFmt ? 2 : 0, '\0');
                other.beforeData = between;
                QTest::addRow("%s, %d-byte fmt", name, int(other.fmtSize))
                    << other.bytes() << "" << sound;
            }
    }
    void aBadMessageFileGivesTheReadersBehaviour() {
        QFETCH(QByteArray, file);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, heard);
        WindowHarness h;
        ConfigRecord settings = storedSettings();
        settings.outputDevice = 0; // the one sound card there is
        Files before = install(h, settings.serialize());
        const QString path = h.slotPath(1);
        writeBytes(path, file);
        before["memory1.wav"] = file;
        TTavrin& w = h.open();
        click(w.ui().MemBtn[0]);
        click(w.ui().TransmitBtn);
        h.ports.takeEvents();

        AudioPump pump(h.wave, Dir::Output);
        pump.after(50, [&] { click(w.ui().StopBtn); }); // far beyond any of these messages
        click(w.ui().PlayBtn);
        const QByteArray out = h.wave.played();
        QVERIFY(!w.keyerState().busy() && !w.keyerState().playFileOpen());
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
        // Only a message with sound in it opens the device.
        QCOMPARE(h.wave.calls(Dir::Output, Op::Open), heard.isEmpty() ? 0 : 1);
        QCOMPARE(out, heard + QByteArray(out.size() - heard.size(), '\0'));
        QCOMPARE(out.size(), (heard.size() + kBlock - 1) / kBlock * kBlock);
        QCOMPARE(h.dialogs.texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        QVERIFY(refusal.isEmpty() || (h.dialogs.messages[0].title == "File Error Message" &&
                                      h.ports.events().isEmpty()));

        // Open Wave checks the file by the same rules, and names no format.
        h.dialogs.messages.clear();
        h.dialogs.fileAnswers << path;
        w.ui().RetrieveWave1->trigger();
        QCOMPARE(h.dialogs.texts(),
                 refusal.isEmpty() ? QStringList() : QStringList{refusal.section(':', 0, 0)});
        QCOMPARE(w.keyerState().currentMessageFile(), path);
        QVERIFY(filesIn(h.installDir()) == before);
    }
};

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
