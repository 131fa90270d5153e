// Message files damaged or foreign: cut short, of other formats, lying about their sizes or
// holding other chunks. Each gives the readers' behaviour, and no file is lost or changed by
// reading it.
#include "audiopump.h"
#include "keyer/keyer.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QtTest>

namespace {
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

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
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
        h.writeMessage(2, pattern(2 * kBlock, 2));
        const QString path = h.slotPath(1);
        writeBytes(path, file);
        const QStringList before = filesIn(h.installDir());
        TTavrin& w = h.openKeying();
        click(w.ui().MemBtn[0]);
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
