// Files the program reads, damaged or foreign: a configuration file of any length or content,
// and message files cut short, of other formats or lying about their sizes. Each gives the
// readers' behaviour, and no file is lost or changed by reading it.
#include "audiopump.h"
#include "config/configrecord.h"
#include "keyer/keyer.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QAction>
#include <QRandomGenerator>
#include <QtTest>

#include <map>

namespace {
constexpr int kRecordBytes = 6730;
constexpr quint32 kSeed = 0xC0FFEE;
using Files = std::map<QString, QByteArray>;

QByteArray randomBytes(QRandomGenerator& random, int bytes) {
    QByteArray data(bytes, '\0');
    for (char& c : data)
        c = static_cast<char>(random.bounded(256));
    return data;
}

QByteArray message(const QByteArray& samples) {
    WaveBytes wave;
    wave.samples = samples;
    return wave.bytes();
}

QByteArray withLe32(QByteArray bytes, int offset, quint32 value) {
    bytes.replace(offset, 4, WaveBytes::le32(value));
    return bytes;
}

Files filesIn(const QString& dir) {
    Files files;
    for (const QString& name : QDir(dir).entryList(QDir::Files))
        files[name] = readBytes(dir + name);
    return files;
}

// Where each field lies in the record, so that a file cut short can be judged field by field.
struct Field {
    int offset;
    int width;
};
constexpr Field kSelectedMemory{6656, 4}, kReservedA{6660, 4}, kReservedB{6664, 4},
    kLoopDelay{6668, 4}, kPortName{6676, 32}, kMicGain{6708, 4}, kPolarity{6712, 4},
    kIdAlarmOn{6716, 1}, kIdAlarmSeconds{6717, 4}, kStayOnTop{6721, 1}, kInputDevice{6722, 4},
    kOutputDevice{6726, 4};
constexpr int kEntryBytes = 256;

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

private:
    // Three recorded messages and the given configuration file; returns what the directory holds.
    static Files install(WindowHarness& h, const QByteArray& config) {
        for (int slot = 1; slot <= 3; ++slot)
            h.writeMessage(slot, pattern(slot * kBlock, slot));
        writeBytes(h.installDir() + "Tavrin.cfg", config);
        return filesIn(h.installDir());
    }

    // Closes the window: the configuration is rewritten as a whole record and nothing else
    // changes. Gives the record written.
    static void closeAndReread(WindowHarness& h, Files before, ConfigRecord& written) {
        QVERIFY(h.window->close());
        Files after = filesIn(h.installDir());
        QVERIFY(after.count("Tavrin.cfg"));
        const QByteArray bytes = after.at("Tavrin.cfg");
        QCOMPARE(bytes.size(), kRecordBytes);
        before.erase("Tavrin.cfg");
        after.erase("Tavrin.cfg");
        QVERIFY(after == before);
        written = ConfigRecord::parse(bytes, ConfigRecord{});
    }

private slots:
    void aConfigurationOfAnyLengthAppliesWhatItHolds_data();
    void aConfigurationOfAnyLengthAppliesWhatItHolds();
    void randomConfigurationBytesLoseNothing_data();
    void randomConfigurationBytesLoseNothing();
    void aBadMessageFileGivesTheReadersBehaviour_data();
    void aBadMessageFileGivesTheReadersBehaviour();
};

void BadInputTest::aConfigurationOfAnyLengthAppliesWhatItHolds_data() {
    QTest::addColumn<QByteArray>("config");
    const QByteArray record = storedSettings().serialize();
    for (int length : {0,    1,    255,  256,  511,  3328, 6655, 6656, 6659, 6660, 6667,
                       6668, 6707, 6708, 6712, 6716, 6717, 6720, 6721, 6722, 6726, 6729})
        QTest::addRow("%d bytes", length) << record.left(length);
    QTest::addRow("whole") << record;
    QRandomGenerator random(kSeed);
    for (int extra : {1, 4096})
        QTest::addRow("%d bytes beyond", extra) << record + randomBytes(random, extra);
}

void BadInputTest::aConfigurationOfAnyLengthAppliesWhatItHolds() {
    QFETCH(QByteArray, config);
    const auto holds = [&](Field f) { return f.offset + f.width <= config.size(); };
    const ConfigRecord stored = storedSettings();
    const ConfigRecord defaults;

    WindowHarness h;
    const Files before = install(h, config);
    TTavrin& w = h.open();
    for (int slot = 1; slot <= 12; ++slot)
        QCOMPARE(w.memories().note(slot), holds({slot * kEntryBytes, kEntryBytes})
                                              ? QString(stored.messageTexts[slot])
                                              : QString());
    QCOMPARE(w.keyerState().selectedMemory(), holds(kSelectedMemory) ? 4 : 1);
    QCOMPARE(w.keyerState().loopDelay(), holds(kLoopDelay) ? 90 : 10);
    QCOMPARE(w.keyingLine().KeyingPortName(), QString(holds(kPortName) ? "COM3" : ""));
    QCOMPARE(h.ports.events().contains("open COM3"), holds(kPortName));
    QCOMPARE(w.keyerState().micGainCode(), holds(kMicGain) ? 1000 : 1);
    QCOMPARE(w.keyingLine().KeyingPolarity(), holds(kPolarity) ? 2 : 1);
    QCOMPARE(w.idAlarm().IdAlarmOn(), holds(kIdAlarmOn));
    QCOMPARE(w.idAlarm().IdAlarmSeconds(), holds(kIdAlarmSeconds) ? 45 : 10);
    QCOMPARE(w.ui().On2->isChecked(), holds(kStayOnTop));
    QCOMPARE(w.audioDevices().InputDevice, holds(kInputDevice) ? 2 : 0);
    QCOMPARE(w.audioDevices().OutputDevice, holds(kOutputDevice) ? 1 : 0);
    QVERIFY(h.dialogs.messages.isEmpty());

    ConfigRecord written;
    closeAndReread(h, before, written);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(written.reservedA, holds(kReservedA) ? stored.reservedA : defaults.reservedA);
    QCOMPARE(written.reservedB, holds(kReservedB) ? stored.reservedB : defaults.reservedB);
    for (int slot = 1; slot <= 12; ++slot)
        QCOMPARE(written.messageTexts[slot], w.memories().noteBytes(slot));
    QCOMPARE(written.selectedMemory, quint32(w.keyerState().selectedMemory()));
    QCOMPARE(written.keyingPolarity, w.keyingLine().KeyingPolarity());
}

void BadInputTest::randomConfigurationBytesLoseNothing_data() {
    QTest::addColumn<QByteArray>("config");
    QRandomGenerator random(kSeed);
    for (int run = 0; run < 24; ++run) {
        const int length = run % 3 == 0 ? kRecordBytes : random.bounded(0, 9000);
        QTest::addRow("run %d: %d bytes", run, length) << randomBytes(random, length);
    }
}

void BadInputTest::randomConfigurationBytesLoseNothing() {
    QFETCH(QByteArray, config);
    // What the bytes say, read by the record's own rules over the built-in defaults.
    const ConfigRecord read = ConfigRecord::parse(config, ConfigRecord{});

    WindowHarness h;
    const Files before = install(h, config);
    TTavrin& w = h.open();
    const quint32 stored =
        config.size() >= kSelectedMemory.offset + 4 ? le32At(config, kSelectedMemory.offset) : 1;
    const int selected = stored >= 1 && stored <= 12 ? int(stored) : 1;
    QCOMPARE(w.keyerState().selectedMemory(), selected);
    QCOMPARE(w.keyerState().loopDelay(), read.loopDelay);
    QCOMPARE(w.keyerState().micGainCode(), read.micGainCode);
    QCOMPARE(w.keyingLine().KeyingPolarity(), read.keyingPolarity == 1 ? 1 : 2);
    QCOMPARE(w.idAlarm().IdAlarmOn(), read.idAlarmOn == 1);
    QCOMPARE(w.idAlarm().IdAlarmSeconds(), read.idAlarmSeconds);
    QCOMPARE(w.audioDevices().InputDevice, read.inputDevice);
    QCOMPARE(w.audioDevices().OutputDevice, read.outputDevice);

    ConfigRecord written;
    closeAndReread(h, before, written);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(written.selectedMemory, quint32(selected));
    QCOMPARE(written.reservedA, read.reservedA);
    QCOMPARE(written.reservedB, read.reservedB);
    QCOMPARE(written.loopDelay, read.loopDelay);
    QCOMPARE(written.keyingPortName, read.keyingPortName.left(31));
    QCOMPARE(written.micGainCode, read.micGainCode);
    QCOMPARE(written.idAlarmSeconds, read.idAlarmSeconds);
    QCOMPARE(written.inputDevice, read.inputDevice);
    QCOMPARE(written.outputDevice, read.outputDevice);
}

void BadInputTest::aBadMessageFileGivesTheReadersBehaviour_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("refusal"); // empty: the file is played
    QTest::addColumn<QByteArray>("heard");

    const QByteArray sound = pattern(2 * kBlock + 300, 5);
    const QByteArray good = message(sound);

    QTest::addRow("empty") << QByteArray() << "Not a RIFF file" << QByteArray();
    for (int length = 1; length < 44; ++length)
        QTest::addRow("cut at %d", length) << good.left(length)
                                           << (length < 4    ? "Not a RIFF file"
                                               : length < 12 ? "Not a WAVE file"
                                                             : "fmt incorrect")
                                           << QByteArray();
    QTest::addRow("header only") << good.left(44) << "" << QByteArray();

    WaveBytes withFact;
    withFact.fmtSize = 18;
    withFact.fmtExtra = QByteArray(2, '\0');
    withFact.beforeData = WaveBytes::factChunk(sound.size() / 2);
    withFact.samples = sound;
    QTest::addRow("18-byte fmt, fact chunk") << withFact.bytes() << "" << sound;
    WaveBytes noFact = withFact;
    noFact.beforeData.clear();
    QTest::addRow("18-byte fmt, no fact chunk") << noFact.bytes() << "" << sound;

    for (quint32 claimed : {0u, 1000u, 1000000u, 0xFFFFFFFFu})
        QTest::addRow("data size %u", claimed)
            << withLe32(good, 40, claimed) << ""
            << sound.left(static_cast<int>(qMin<quint32>(claimed, sound.size())));
    for (quint32 claimed : {0u, 0xFFFFFFFFu})
        QTest::addRow("RIFF size %u", claimed) << withLe32(good, 4, claimed) << "" << sound;
    for (quint32 claimed : {0u, 8u, 100000u, 0xFFFFFFFFu})
        QTest::addRow("fmt size %u", claimed)
            << withLe32(good, 16, claimed) << "fmt incorrect" << QByteArray();
    QTest::addRow("RIFX") << QByteArray("RIFX") + good.mid(4) << "Not a RIFF file" << QByteArray();
    QTest::addRow("AVI form") << withLe32(good, 8, 0x20495641) << "Not a WAVE file" << QByteArray();
    QTest::addRow("LIST before fmt")
        << withLe32(good, 12, 0x5453494C) << "fmt incorrect" << QByteArray();
}

void BadInputTest::aBadMessageFileGivesTheReadersBehaviour() {
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
    QVERIFY(!w.keyerState().playActive());
    QVERIFY(w.keyerState().keyerStopped());
    QVERIFY(!w.keyerState().playFileOpen());
    QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
    // Only a message with sound in it opens the device.
    QCOMPARE(h.wave.calls(Dir::Output, Op::Open), heard.isEmpty() ? 0 : 1);
    if (refusal.isEmpty()) {
        QVERIFY(h.dialogs.messages.isEmpty());
        // Whole blocks: what the message holds, then silence.
        QCOMPARE(out.size(), (heard.size() + kBlock - 1) / kBlock * kBlock);
        QCOMPARE(out.left(heard.size()), heard);
        QCOMPARE(out.mid(heard.size()), QByteArray(out.size() - heard.size(), '\0'));
        QVERIFY(w.keyerState().keyerIdle());
    } else {
        QCOMPARE(h.dialogs.messages,
                 (QList<FakeDialogs::Message>{{refusal, "File Error Message"}}));
        QCOMPARE(h.ports.events(), QStringList()); // nothing keyed
    }

    // Open Wave checks the file by the same rules.
    h.dialogs.messages.clear();
    h.dialogs.fileAnswers << path;
    w.ui().RetrieveWave1->trigger();
    QCOMPARE(h.dialogs.texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
    QCOMPARE(w.keyerState().currentMessageFile(), path);
    QVERIFY(filesIn(h.installDir()) == before);
}

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
