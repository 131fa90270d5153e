#include "app/look.h"
#include "audiopump.h"
#include "filesizelimit.h"
#include "keyer/keyer.h"
#include "keyer/messagefile.h"
#include "wavebytes.h"
#include "windowharness.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtEndian>
#include <QtTest>

namespace {
constexpr int kBlock = 2096;
using Dir = WaveService::Direction;

std::vector<std::uint8_t> samplesOf(const std::vector<qint16>& values) {
    std::vector<std::uint8_t> bytes;
    for (qint16 v : values) {
        const auto u = static_cast<quint16>(v);
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return bytes;
}

std::vector<std::uint8_t> ramp(int bytes) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes));
    for (int i = 0; i < bytes; ++i)
        data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i * 13 + i / 509) & 0xFF);
    return data;
}

qint16 sampleAt(const QByteArray& file, int index) {
    return qFromLittleEndian<qint16>(file.constData() + 44 + 2 * index);
}
} // namespace

class RecordingTest : public QObject {
    Q_OBJECT

private:
    static void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    static QByteArray readSlot(WindowHarness& h, int slot) {
        QFile file(h.installDir() + QStringLiteral("memory%1.wav").arg(slot));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Records into the selected slot and stops while the block after the given number of
    // captured blocks is being filled (a block still being filled is not kept).
    static void recordBlocks(WindowHarness& h, int blocks) {
        AudioPump pump(h.wave, Dir::Input);
        pump.after(blocks + 1, [&] { click(h.window->ui().StopBtn); });
        click(h.window->ui().RecordBtn);
    }

private slots:
    void writesTheCapturedBlocksWithAFinalHeader() {
        WindowHarness h;
        TTavrin& w = h.open();
        click(w.ui().MemBtn[2]);
        const auto captured = ramp(5 * kBlock);
        h.wave.setCapture(captured);
        QList<QColor> stripColours;
        AudioPump pump(h.wave, Dir::Input);
        for (int n = 1; n <= 3; ++n)
            pump.after(n, [&] { stripColours << look::fillColour(w.ui().AlarmPanel); });
        pump.after(4, [&] {
            QCOMPARE(look::textColour(w.ui().RecordBtn), look::kRed);
            QCOMPARE(look::textColour(w.ui().StopBtn), look::kBlue);
            QCOMPARE(look::textColour(w.ui().ResetBtn), look::kBlue);
            click(w.ui().StopBtn);
        });
        click(w.ui().RecordBtn);

        const QByteArray file = readSlot(h, 3);
        QCOMPARE(file.size(), 44 + 3 * kBlock);
        QCOMPARE(file.left(4), QByteArray("RIFF"));
        QCOMPARE(le32At(file, 4), quint32(36 + 3 * kBlock));
        QCOMPARE(file.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(le32At(file, 24), 11025u);
        QCOMPARE(le32At(file, 40), quint32(3 * kBlock));
        QCOMPARE(file.mid(44),
                 QByteArray(reinterpret_cast<const char*>(captured.data()), 3 * kBlock));
        // The strip flashes while blocks arrive and is teal again at the end.
        QVERIFY(stripColours.contains(look::kRed));
        QVERIFY(stripColours.contains(look::kBlue));
        QCOMPARE(look::fillColour(w.ui().AlarmPanel), look::kTeal);
        QCOMPARE(look::textColour(w.ui().RecordBtn), look::kBlue);
        QVERIFY(!w.keyerState().recordActive());
        QVERIFY(!w.keyerState().recordFileOpen);
        QVERIFY(!h.wave.isOpen(Dir::Input));
        QCOMPARE(w.keyerState().currentMessageFile, h.installDir() + "memory3.wav");
        QCOMPARE(look::textColour(w.ui().TuneBtn), look::kBlue);
    }

    void aRecordingStoppedAtOnceLeavesAnEmptyMessage() {
        WindowHarness h;
        TTavrin& w = h.open();
        recordBlocks(h, 0);
        const QByteArray file = readSlot(h, 1);
        QCOMPARE(file.size(), 44);
        QCOMPARE(le32At(file, 4), 36u);
        QCOMPARE(le32At(file, 40), 0u);
        QVERIFY(w.keyerState().keyerStopped());
    }

    void gainIsAppliedAndSaturates_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QList<qint16>>("expected");
        QTest::newRow("Unity") << "UnityGain" << QList<qint16>{5000, -5000, 100, -1};
        QTest::newRow("10 dB") << "N20dB" << QList<qint16>{32767, -32768, 1000, -10};
        QTest::newRow("15 dB") << "N30dB" << QList<qint16>{32767, -32768, 5000, -50};
        QTest::newRow("20 dB") << "N40dB" << QList<qint16>{32767, -32768, 10000, -100};
    }

    void gainIsAppliedAndSaturates() {
        QFETCH(QString, item);
        QFETCH(QList<qint16>, expected);
        WindowHarness h;
        TTavrin& w = h.open();
        w.findChild<QAction*>(item)->trigger();
        int ticked = 0;
        for (QAction* a : w.ui().Gain)
            ticked += a->isChecked() ? 1 : 0;
        QCOMPARE(ticked, 1);
        QVERIFY(w.findChild<QAction*>(item)->isChecked());
        h.wave.setCapture(samplesOf({5000, -5000, 100, -1}));
        recordBlocks(h, 1);
        const QByteArray file = readSlot(h, 1);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(sampleAt(file, i), expected[i]);
    }

    void aFailedWriteEndsTheRecordingWithHonestSizes() {
        WindowHarness h;
        TTavrin& w = h.open();
        h.wave.setCapture(ramp(6 * kBlock));
        {
            // Room for the header, two blocks and part of a third.
            FileSizeLimit limit(44 + 2 * kBlock + 1000);
            AudioPump pump(h.wave, Dir::Input);
            pump.after(6, [&] { click(w.ui().StopBtn); });
            click(w.ui().RecordBtn);
        }
        const QByteArray file = readSlot(h, 1);
        QCOMPARE(file.size(), 44 + 2 * kBlock);
        QCOMPARE(le32At(file, 4), quint32(36 + 2 * kBlock));
        QCOMPARE(le32At(file, 40), quint32(2 * kBlock));
        QCOMPARE(h.dialogs.messages.size(), 1);
        QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("Could not write the Wave file"));
        QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("File Error Message"));
        QVERIFY(!w.keyerState().recordActive());
        QVERIFY(w.keyerState().keyerStopped());
        QVERIFY(!h.wave.isOpen(Dir::Input));
        // The message still plays.
        OpenedMessage opened = openMessageFile(h.installDir() + "memory1.wav");
        QCOMPARE(opened.result, HeaderResult::Ok);
        QCOMPARE(opened.dataBytes, quint32(2 * kBlock));
    }

    void aFileThatCannotBeCreatedIsReported() {
        WindowHarness h;
        QVERIFY(QDir(h.installDir()).mkdir("memory1.wav")); // a directory in its place
        TTavrin& w = h.open();
        click(w.ui().RecordBtn);
        QCOMPARE(h.dialogs.texts(), QStringList{"Could not open the Wave file"});
        QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("File Error Message"));
        QVERIFY(h.wave.calls().empty());
        QVERIFY(!w.keyerState().recordActive());
        QCOMPARE(look::textColour(w.ui().StopBtn), look::kRed);
        QCOMPARE(look::textColour(w.ui().ResetBtn), look::kRed);
    }

    void playAndMemoryButtonsAreIgnoredWhileRecording() {
        WindowHarness h;
        TTavrin& w = h.open();
        AudioPump pump(h.wave, Dir::Input);
        pump.after(1, [&] {
            click(w.ui().PlayBtn);
            click(w.ui().MemBtn[6]);
            click(w.ui().RecordBtn);
        });
        pump.after(4, [&] { click(w.ui().StopBtn); });
        click(w.ui().RecordBtn);
        QCOMPARE(w.keyerState().selectedMemory, 1);
        const auto calls = h.wave.calls();
        QVERIFY(std::find(calls.begin(), calls.end(), "output.open") == calls.end());
        QCOMPARE(readSlot(h, 1).size(), 44 + 3 * kBlock);
    }

    void aDeviceFailureDuringRecordingLeavesACompleteFile() {
        WindowHarness h;
        TTavrin& w = h.open();
        // The fourth buffer handed to the device fails: codes 6/8 close the input device.
        h.wave.failOn(Dir::Input, VirtualWaveService::Op::Queue, 4);
        AudioPump pump(h.wave, Dir::Input);
        click(w.ui().RecordBtn);
        QVERIFY(w.terminationRequested());
        QVERIFY(h.dialogs.texts().contains("Error in sending a buffer_b"));
        QVERIFY(!h.wave.isOpen(Dir::Input));
        const QByteArray file = readSlot(h, 1);
        QVERIFY(file.size() >= 44);
        QCOMPARE((file.size() - 44) % kBlock, 0);
        QCOMPARE(le32At(file, 40), quint32(file.size() - 44));
        QCOMPARE(le32At(file, 4), quint32(file.size() - 8));
    }

    void aRecordingPlaysBackAsCaptured() {
        WindowHarness h;
        TTavrin& w = h.open();
        const auto captured = ramp(4 * kBlock);
        h.wave.setCapture(captured);
        recordBlocks(h, 4);
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().PlayBtn);
        QCOMPARE(h.wave.played(), captured);
    }
};

QTEST_MAIN(RecordingTest)
#include "tst_recording.moc"
