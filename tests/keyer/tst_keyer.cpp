// Playing and recording messages through the window on the virtual sound card.
#include "audiopump.h"
#include "keyer/keyer.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QAction>
#include <QtTest>

#include <sys/stat.h>

namespace {
void expectIdle(TTavrin& w) {
    QVERIFY(!w.keyerState().playActive());
    QVERIFY(w.keyerState().keyerIdle());
    QVERIFY(w.keyerState().keyerStopped());
    QVERIFY(!w.keyerState().playFileOpen());
    QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
}
} // namespace

class KeyerTest : public QObject {
    Q_OBJECT

private slots:
    // Every byte reaches the device once and in order, two buffers at most in flight, keyed
    // only with Tx Enable on; the device and the line are let go at the end.
    void playsEveryByteOfTheMessageOnce_data() {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("txEnable");
        QTest::newRow("one block") << kBlock << true;
        QTest::newRow("final partial block") << 4 * kBlock + 2 << true;
        QTest::newRow("less than a block, Tx Enable off") << 1000 << false;
    }
    void playsEveryByteOfTheMessageOnce() {
        QFETCH(int, bytes);
        QFETCH(bool, txEnable);
        WindowHarness h;
        const QByteArray data = pattern(bytes);
        h.writeMessage(1, data);
        TTavrin& w = h.open();
        w.ui().COM[2]->trigger();
        if (txEnable)
            click(w.ui().TransmitBtn);
        int maxQueued = 0;
        bool keyed = false;
        AudioPump pump(h.wave, Dir::Output);
        for (int n = 1; n < 10; ++n)
            pump.after(n, [&] {
                maxQueued = std::max(maxQueued, h.wave.queuedCount(Dir::Output));
                keyed |= w.keyingLine().KeyingLevel() == KeyingLine::Keyed;
            });
        click(w.ui().PlayBtn);
        const QByteArray out = h.wave.played();
        QCOMPARE(out.size(), (bytes + kBlock - 1) / kBlock * kBlock);
        QCOMPARE(out.left(bytes), data);
        QCOMPARE(out.mid(bytes), QByteArray(out.size() - bytes, '\0'));
        QVERIFY(maxQueued <= 2);
        QCOMPARE(keyed, txEnable);
        QVERIFY(!h.wave.isOpen(Dir::Output));
        QCOMPARE(h.wave.doubleOpens(Dir::Output), 0);
        QVERIFY(h.dialogs.messages.isEmpty());
        expectIdle(w);
    }

    // Paused, the file stays open and the transmitter released; PLAY goes on with all that had
    // not been heard, even after another slot was chosen and STOP pressed in the pause.
    void pauseResumesWhereTheSoundStopped() {
        WindowHarness h;
        const QByteArray data = pattern(8 * kBlock + 300);
        h.writeMessage(1, data);
        h.writeMessage(5, pattern(kBlock, 99));
        TTavrin& w = h.open();
        click(w.ui().TransmitBtn);
        AudioPump pump(h.wave, Dir::Output);
        pump.after(3, [&] { click(w.ui().PlayBtn); });
        click(w.ui().PlayBtn);
        QVERIFY(w.keyerState().playFileOpen());
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
        QVERIFY(!h.wave.isOpen(Dir::Output));
        QCOMPARE(h.wave.played(), data.left(3 * kBlock));
        click(w.ui().MemBtn[4]);
        click(w.ui().StopBtn);
        click(w.ui().PlayBtn);
        QCOMPARE(h.wave.played().left(data.size()), data);
        QCOMPARE(h.wave.played().size(), 9 * kBlock);
        expectIdle(w);
    }

    // PLAY again while the paused loop still holds the device starts once it is let go.
    void resumeInTheSameDispatchWaitsForTheDeviceToBeReleased() {
        WindowHarness h;
        const QByteArray data = pattern(6 * kBlock);
        h.writeMessage(1, data);
        TTavrin& w = h.open();
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] {
            click(w.ui().PlayBtn);
            click(w.ui().PlayBtn);
        });
        click(w.ui().PlayBtn);
        QCOMPARE(h.wave.doubleOpens(Dir::Output), 0);
        QCOMPARE(h.wave.played(), data);
        expectIdle(w);
    }

    // A message file that cannot be opened is reported and keys nothing; a named pipe in its
    // place is refused at once instead of hanging the program.
    void aFileThatCannotBeOpenedIsReported_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("text");
        QTest::newRow("missing, PLAY") << "missing"
                                       << "PLAY"
                                       << "Could not open the file";
        QTest::newRow("pipe, PLAY") << "pipe"
                                    << "PLAY"
                                    << "Could not open the file";
        QTest::newRow("pipe, Open Wave") << "pipe"
                                         << "Open"
                                         << "Could not open the wave file";
        QTest::newRow("pipe, REC") << "pipe"
                                   << "REC"
                                   << "Could not open the Wave file";
        QTest::newRow("directory, REC") << "directory"
                                        << "REC"
                                        << "Could not open the Wave file";
    }
    void aFileThatCannotBeOpenedIsReported() {
        QFETCH(QString, file);
        QFETCH(QString, action);
        QFETCH(QString, text);
        WindowHarness h;
        if (file == "pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(h.slotPath(1)).constData(), 0600), 0);
        if (file == "directory")
            QVERIFY(QDir().mkdir(h.slotPath(1)));
        TTavrin& w = h.open();
        w.ui().COM[0]->trigger();
        click(w.ui().TransmitBtn);
        h.ports.takeEvents();
        h.dialogs.fileAnswers << h.slotPath(1);
        if (action == "Open")
            w.ui().RetrieveWave1->trigger();
        else
            click(action == "REC" ? w.ui().RecordBtn : w.ui().PlayBtn);
        QCOMPARE(h.dialogs.texts(), QStringList{text});
        QVERIFY(!h.ports.events().join(' ').contains("SET")); // never keyed
        QCOMPARE(h.wave.calls(Dir::Output, Op::Open) + h.wave.calls(Dir::Input, Op::Open), 0);
        QVERIFY(!w.keyerState().recordActive());
    }

    // While one message plays or records, other slots, PLAY and REC change nothing.
    void otherButtonsWaitWhileAMessageRuns_data() {
        QTest::addColumn<bool>("recording");
        QTest::newRow("playing") << false;
        QTest::newRow("recording") << true;
    }
    void otherButtonsWaitWhileAMessageRuns() {
        QFETCH(bool, recording);
        WindowHarness h;
        h.writeMessage(1, pattern(6 * kBlock));
        TTavrin& w = h.open();
        AudioPump pump(h.wave, recording ? Dir::Input : Dir::Output);
        pump.after(1, [&] {
            click(w.ui().MemBtn[3]);
            click(recording ? w.ui().PlayBtn : w.ui().RecordBtn);
        });
        pump.after(4, [&] {
            if (recording)
                click(w.ui().StopBtn);
        });
        click(recording ? w.ui().RecordBtn : w.ui().PlayBtn);
        QCOMPARE(w.keyerState().selectedMemory(), 1);
        QVERIFY(!QFile::exists(h.slotPath(4)));
        QCOMPARE(h.wave.calls(recording ? Dir::Output : Dir::Input, Op::Open), 0);
        QCOMPARE(recording ? readBytes(h.slotPath(1)).size() - 44 : h.wave.played().size(),
                 (recording ? 3 : 6) * kBlock);
    }

    // Each box waits for the operator: the transmitter must not stay keyed on dead air meanwhile.
    void aDeviceFailureReleasesTheTransmitterBeforeItsBox_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<bool>("terminates");
        QTest::newRow("format refused") << Op::Query << 1 << false;
        QTest::newRow("write inside the loop") << Op::Queue << 3 << true;
    }
    void aDeviceFailureReleasesTheTransmitterBeforeItsBox() {
        QFETCH(Op, op);
        QFETCH(int, occurrence);
        QFETCH(bool, terminates);
        WindowHarness h;
        h.writeMessage(1, pattern(6 * kBlock));
        TTavrin& w = h.open();
        w.ui().COM[1]->trigger();
        click(w.ui().TransmitBtn);
        h.wave.failOn(Dir::Output, op, occurrence);
        QList<int> levels;
        h.dialogs.onMessage = [&] { levels << w.keyingLine().KeyingLevel(); };
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().PlayBtn);
        QVERIFY(!levels.isEmpty());
        QVERIFY(!levels.contains(KeyingLine::Keyed));
        QCOMPARE(h.dialogs.messages.first().title, QStringLiteral("Wave Device Message"));
        QVERIFY(!terminates || w.terminationRequested());
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
        QVERIFY(!h.wave.isOpen(Dir::Output));
    }

    void gainIsAppliedAndSaturates_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QList<qint16>>("expected");
        QTest::newRow("Unity") << "UnityGain" << QList<qint16>{5000, -5000, 100, -1};
        QTest::newRow("10 dB") << "N20dB" << QList<qint16>{32767, -32768, 1000, -10};
        QTest::newRow("20 dB") << "N40dB" << QList<qint16>{32767, -32768, 10000, -100};
    }
    void gainIsAppliedAndSaturates() {
        QFETCH(QString, item);
        QFETCH(QList<qint16>, expected);
        WindowHarness h;
        TTavrin& w = h.open();
        w.findChild<QAction*>(item)->trigger();
        const qint16 captured[] = {5000, -5000, 100, -1};
        h.wave.setCapture(QByteArray(reinterpret_cast<const char*>(captured), sizeof captured));
        AudioPump pump(h.wave, Dir::Input);
        pump.after(2, [&] { click(w.ui().StopBtn); });
        click(w.ui().RecordBtn);
        const QByteArray file = readBytes(h.slotPath(1));
        QCOMPARE(file.size(), 44 + kBlock);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(qFromLittleEndian<qint16>(file.constData() + 44 + 2 * i), expected[i]);
    }
};

QTEST_MAIN(KeyerTest)
#include "tst_keyer.moc"
