#include "app/look.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "tx/keyingline.h"
#include "tx/transmitcontrols.h"
#include "wavebytes.h"
#include "windowharness.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

namespace {
constexpr int kBlock = 2096;
using Dir = WaveService::Direction;

// Distinct samples, so any lost, repeated or reordered byte shows.
QByteArray ramp(int bytes, int seed = 0) {
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>((i * 7 + seed + i / 251) & 0xFF);
    return data;
}

QByteArray played(VirtualWaveService& wave) {
    const auto bytes = wave.played();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}
} // namespace

class PlaybackTest : public QObject {
    Q_OBJECT

private:
    static void writeSlot(WindowHarness& h, int slot, const QByteArray& samples) {
        WaveBytes wave;
        wave.samples = samples;
        QFile file(h.installDir() + QStringLiteral("memory%1.wav").arg(slot));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wave.bytes());
    }

    static void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    static void expectIdle(TTavrin& w) {
        const KeyerState& s = w.keyerState();
        QVERIFY(!s.playActive());
        QVERIFY(s.keyerIdle());
        QVERIFY(s.keyerStopped());
        QVERIFY(s.stopRequested);
        QCOMPARE(look::textColour(w.ui().PlayBtn), look::kBlue);
        QCOMPARE(look::textColour(w.ui().StopBtn), look::kRed);
        QCOMPARE(look::textColour(w.ui().ResetBtn), look::kRed);
        QCOMPARE(w.ui().TxPanel->text(), QStringLiteral("Receive"));
        QCOMPARE(w.ui().PlayProgressBar->value(), 0);
    }

private slots:
    void playsEveryByteOfTheMessageOnce_data() {
        QTest::addColumn<int>("bytes");
        QTest::newRow("one block") << kBlock;
        QTest::newRow("whole blocks") << 3 * kBlock;
        QTest::newRow("final partial block") << 2 * kBlock + 500;
        QTest::newRow("short final quarter") << 4 * kBlock + 2;
        QTest::newRow("less than a block") << 1000;
    }

    void playsEveryByteOfTheMessageOnce() {
        QFETCH(int, bytes);
        WindowHarness h;
        const QByteArray data = ramp(bytes);
        writeSlot(h, 1, data);
        TTavrin& w = h.open();
        AudioPump pump(h.wave, Dir::Output);
        int maxQueued = 0;
        for (int n = 1; n < 10; ++n)
            pump.after(n,
                       [&] { maxQueued = std::max(maxQueued, h.wave.queuedCount(Dir::Output)); });
        click(w.ui().PlayBtn);

        const QByteArray out = played(h.wave);
        const int blocks = (bytes + kBlock - 1) / kBlock;
        QCOMPARE(out.size(), blocks * kBlock);
        QCOMPARE(out.left(bytes), data);
        QCOMPARE(out.mid(bytes), QByteArray(out.size() - bytes, '\0'));
        QVERIFY(maxQueued <= 2);
        QVERIFY(!h.wave.isOpen(Dir::Output));
        QCOMPARE(h.wave.doubleOpens(Dir::Output), 0);
        expectIdle(w);
        QVERIFY(!w.keyerState().playFileOpen);
        QVERIFY(h.dialogs.messages.isEmpty());
    }

    void keysTheTransmitterOnlyWithTxEnable_data() {
        QTest::addColumn<bool>("txEnable");
        QTest::addColumn<bool>("invert");
        QTest::newRow("enabled") << true << false;
        QTest::newRow("enabled, inverted") << true << true;
        QTest::newRow("disabled") << false << false;
    }

    void keysTheTransmitterOnlyWithTxEnable() {
        QFETCH(bool, txEnable);
        QFETCH(bool, invert);
        WindowHarness h;
        writeSlot(h, 1, ramp(3 * kBlock));
        TTavrin& w = h.open();
        w.ui().COM[2]->trigger();
        if (invert)
            w.ui().Invert1->trigger();
        if (txEnable)
            click(w.ui().TransmitBtn);
        h.ports.takeEvents();

        QString panelWhilePlaying;
        AudioPump pump(h.wave, Dir::Output);
        pump.after(1, [&] { panelWhilePlaying = w.ui().TxPanel->text(); });
        click(w.ui().PlayBtn);

        const QStringList key =
            invert ? QStringList{"CLRDTR", "CLRRTS"} : QStringList{"SETDTR", "SETRTS"};
        const QStringList unkey =
            invert ? QStringList{"SETDTR", "SETRTS"} : QStringList{"CLRDTR", "CLRRTS"};
        const QStringList events = h.ports.takeEvents();
        if (txEnable) {
            QCOMPARE(panelWhilePlaying, QStringLiteral("Transmit"));
            QCOMPARE(events.mid(0, 2), key);
        } else {
            QCOMPARE(panelWhilePlaying, QStringLiteral("Receive"));
            QVERIFY(!events.contains(key.first()) || invert);
        }
        // The end releases the line whatever Tx Enable says.
        QCOMPARE(events.mid(events.size() - 2), unkey);
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
        expectIdle(w);
    }

    void stopEndsThePlaybackAndReleasesTheDevice() {
        WindowHarness h;
        const QByteArray data = ramp(10 * kBlock);
        writeSlot(h, 1, data);
        TTavrin& w = h.open();
        click(w.ui().TransmitBtn);
        int progressSeen = 0;
        AudioPump pump(h.wave, Dir::Output);
        pump.after(3, [&] {
            progressSeen = w.ui().PlayProgressBar->value();
            click(w.ui().StopBtn);
        });
        click(w.ui().PlayBtn);
        QVERIFY(progressSeen > 0);
        QCOMPARE(played(h.wave), data.left(3 * kBlock));
        QVERIFY(!h.wave.isOpen(Dir::Output));
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
        expectIdle(w);
        QVERIFY(!w.keyerState().playFileOpen);
        // STOP again does nothing.
        const auto calls = h.wave.calls().size();
        click(w.ui().StopBtn);
        QCOMPARE(h.wave.calls().size(), calls);
        expectIdle(w);
    }

    void resetDuringPlaybackStopsIt() {
        WindowHarness h;
        writeSlot(h, 1, ramp(10 * kBlock));
        TTavrin& w = h.open();
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] { QTest::keyRelease(w.ui().MessageWindow, Qt::Key_Escape); });
        click(w.ui().PlayBtn);
        QCOMPARE(played(h.wave).size(), 2 * kBlock);
        expectIdle(w);
    }

    void pauseAndResumeContinueWhereTheSoundStopped() {
        WindowHarness h;
        const QByteArray data = ramp(8 * kBlock + 300);
        writeSlot(h, 1, data);
        TTavrin& w = h.open();
        click(w.ui().TransmitBtn);
        AudioPump pump(h.wave, Dir::Output);
        pump.after(3, [&] { click(w.ui().PlayBtn); });
        click(w.ui().PlayBtn);

        // Paused: the file stays open, nothing is keyed, RST and STOP are blue.
        const KeyerState& s = w.keyerState();
        QVERIFY(!s.playActive());
        QVERIFY(s.playFileOpen);
        QVERIFY(!s.keyerIdle());
        QVERIFY(!s.keyerStopped());
        QCOMPARE(look::textColour(w.ui().StopBtn), look::kBlue);
        QCOMPARE(look::textColour(w.ui().ResetBtn), look::kBlue);
        QCOMPARE(w.ui().TxPanel->text(), QStringLiteral("Receive"));
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
        QVERIFY(!h.wave.isOpen(Dir::Output));
        QCOMPARE(played(h.wave), data.left(3 * kBlock));

        // Another slot selected while paused: PLAY still continues the paused message.
        writeSlot(h, 5, ramp(kBlock, 99));
        click(w.ui().MemBtn[4]);
        QCOMPARE(w.keyerState().selectedMemory, 5);
        click(w.ui().PlayBtn);
        const QByteArray out = played(h.wave);
        QCOMPARE(out.left(data.size()), data);
        QCOMPARE(out.size(), 9 * kBlock);
        expectIdle(w);
    }

    void resumeInTheSameDispatchWaitsForTheDeviceToBeReleased() {
        WindowHarness h;
        const QByteArray data = ramp(6 * kBlock);
        writeSlot(h, 1, data);
        TTavrin& w = h.open();
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] {
            click(w.ui().PlayBtn); // pause
            click(w.ui().PlayBtn); // resume before the loop has let the device go
        });
        click(w.ui().PlayBtn);
        QCOMPARE(h.wave.doubleOpens(Dir::Output), 0);
        QCOMPARE(played(h.wave), data);
        expectIdle(w);
    }

    void stopWhilePausedKeepsTheFileForTheNextPlay() {
        WindowHarness h;
        const QByteArray data = ramp(5 * kBlock);
        writeSlot(h, 1, data);
        TTavrin& w = h.open();
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] { click(w.ui().PlayBtn); });
        click(w.ui().PlayBtn);
        click(w.ui().StopBtn);
        QVERIFY(w.keyerState().keyerStopped());
        QVERIFY(w.keyerState().keyerIdle());
        QVERIFY(w.keyerState().playFileOpen);
        click(w.ui().PlayBtn);
        QCOMPARE(played(h.wave), data);
    }

    void refusedFilesAreReportedAndNothingIsKeyed() {
        WindowHarness h;
        TTavrin& w = h.open();
        click(w.ui().TransmitBtn);
        w.ui().COM[0]->trigger();
        h.ports.takeEvents();
        click(w.ui().PlayBtn);
        QCOMPARE(h.dialogs.messages.size(), 1);
        QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("Could not open the file"));
        QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("File Open Error Message"));
        QCOMPARE(look::textColour(w.ui().PlayBtn), look::kBlue);
        QCOMPARE(look::textColour(w.ui().StopBtn), look::kRed);
        QCOMPARE(look::textColour(w.ui().ResetBtn), look::kBlue);
        QVERIFY(!h.ports.events().contains("SETDTR"));
        QVERIFY(h.wave.calls().empty());

        QFile text(h.installDir() + "memory1.wav");
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("CQ CQ de station, this is not sound");
        text.close();
        click(w.ui().PlayBtn);
        QCOMPARE(h.dialogs.messages.last().text, QStringLiteral("Not a RIFF file"));
        QCOMPARE(h.dialogs.messages.last().title, QStringLiteral("File Error Message"));
        // RST then returns the keyer to idle without calling STOP's steps.
        click(w.ui().ResetBtn);
        QVERIFY(w.keyerState().keyerIdle());

        // A named pipe in a message's place is refused at once instead of hanging the program.
        QCOMPARE(::mkfifo(QFile::encodeName(h.installDir() + "memory2.wav").constData(), 0600), 0);
        click(w.ui().MemBtn[1]);
        click(w.ui().PlayBtn);
        QCOMPARE(h.dialogs.messages.last().text, QStringLiteral("Could not open the file"));
        h.dialogs.fileAnswers << h.installDir() + "memory2.wav";
        w.ui().RetrieveWave1->trigger();
        QCOMPARE(h.dialogs.messages.last().text, QStringLiteral("Could not open the wave file"));
        click(w.ui().RecordBtn);
        QCOMPARE(h.dialogs.messages.last().text, QStringLiteral("Could not open the Wave file"));
        QVERIFY(!w.keyerState().recordActive());
    }

    void anEmptyMessageEndsAtOnceUnkeyed() {
        WindowHarness h;
        writeSlot(h, 1, QByteArray());
        TTavrin& w = h.open();
        click(w.ui().TransmitBtn);
        click(w.ui().PlayBtn);
        QVERIFY(h.wave.calls().empty());
        QVERIFY(h.dialogs.messages.isEmpty());
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
        expectIdle(w);
    }

    void aHeaderClaimingTooMuchPlaysWhatTheFileHolds() {
        WindowHarness h;
        WaveBytes wave;
        wave.samples = ramp(2 * kBlock);
        wave.dataSize = 1000000;
        QFile file(h.installDir() + "memory1.wav");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wave.bytes());
        file.close();
        TTavrin& w = h.open();
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().PlayBtn);
        QCOMPARE(played(h.wave), wave.samples);
        expectIdle(w);
    }

    void memoryButtonsAndRecordAreIgnoredWhilePlaying() {
        WindowHarness h;
        writeSlot(h, 1, ramp(6 * kBlock));
        TTavrin& w = h.open();
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] {
            click(w.ui().MemBtn[3]);
            click(w.ui().RecordBtn);
        });
        click(w.ui().PlayBtn);
        QCOMPARE(w.keyerState().selectedMemory, 1);
        QCOMPARE(played(h.wave).size(), 6 * kBlock);
        QVERIFY(!QFile::exists(h.installDir() + "memory4.wav"));
    }

    void aDeviceFailureDuringPlaybackEndsTheProgramUnkeyed() {
        WindowHarness h;
        writeSlot(h, 1, ramp(6 * kBlock));
        TTavrin& w = h.open();
        w.ui().COM[1]->trigger();
        click(w.ui().TransmitBtn);
        // The third write is the first one inside the loop (a, b at the start, then a).
        h.wave.failOn(Dir::Output, VirtualWaveService::Op::Queue, 3);
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().PlayBtn);
        QVERIFY(h.dialogs.texts().contains("Error writing to the output device a"));
        QCOMPARE(h.dialogs.messages.first().title, QStringLiteral("Wave Device Message"));
        QVERIFY(w.terminationRequested());
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
        QCOMPARE(h.ports.events().last(), QStringLiteral("CLRRTS"));
        QVERIFY(!h.wave.isOpen(Dir::Output));
    }

    void anOutputDeviceThatCannotPlayTheFormat() {
        WindowHarness h;
        writeSlot(h, 1, ramp(2 * kBlock));
        TTavrin& w = h.open();
        click(w.ui().TransmitBtn);
        w.ui().COM[0]->trigger();
        h.wave.failOn(Dir::Output, VirtualWaveService::Op::Query, 1);
        // Each box waits for the operator: the transmitter must not stay keyed meanwhile.
        QList<int> levelsAtMessages;
        h.dialogs.onMessage = [&](const QString&, const QString&) {
            levelsAtMessages << w.keyingLine().KeyingLevel();
        };
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().PlayBtn);
        QVERIFY(!levelsAtMessages.isEmpty());
        QVERIFY(!levelsAtMessages.contains(KeyingLine::Keyed));
        const QStringList texts = h.dialogs.texts();
        QCOMPARE(texts.first(), QStringLiteral("Could not handle the output WAVE format"));
        QVERIFY(texts.contains("Error preparing the header_a"));
        QVERIFY(texts.contains("Error writing to the output device a"));
        // Those failures come before the loop runs, so the program goes on.
        QVERIFY(!w.terminationRequested() || w.keyerState().stopRequested);
    }
};

QTEST_MAIN(PlaybackTest)
#include "tst_playback.moc"
