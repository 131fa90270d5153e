// Playing and recording messages through the window on the virtual sound card. The transmitter
// is keyed only while a message sounds or TUNE holds it, and every control shows the line as it is.
#include "app/look.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "tx/transmitcontrols.h"
#include "windowharness.h"

#include <QLabel>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

namespace {
void escape(TTavrin& w) {
    QTest::keyRelease(w.ui().MessageWindow, Qt::Key_Escape);
}
} // namespace

class KeyerTest : public QObject {
    Q_OBJECT

    enum class Way { Escape, Stop, Reset, RecordThenStop, PlayToEnd, EscapeInLoop };
    enum class Failure { FormatRefused, WriteInLoop, InputInLoop, RecordingFile, MissingMessage };

private slots:
    // Every byte reaches the device once and in order, keyed only with Tx Enable on and sound to
    // play; the device and the line are let go at the end.
    void playsEveryByteOfTheMessageOnce_data() {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("txEnable");
        QTest::newRow("one block") << kBlock << true;
        QTest::newRow("final partial block") << 4 * kBlock + 2 << true;
        QTest::newRow("less than a block, Tx Enable off") << 1000 << false;
        QTest::newRow("no samples") << 0 << true;
    }
    void playsEveryByteOfTheMessageOnce() {
        QFETCH(int, bytes);
        QFETCH(bool, txEnable);
        WindowHarness h;
        const QByteArray data = pattern(bytes);
        h.writeMessage(1, data);
        TTavrin& w = h.openKeying(txEnable);
        QSignalSpy panel(&w.transmitControls().state(), &TxState::transmittingChanged);
        bool keyed = false;
        AudioPump pump(h.wave, Dir::Output);
        pump.after(1, [&] { keyed = h.keyed(); });
        click(w.ui().PlayBtn);
        const QByteArray out = h.wave.played();
        QCOMPARE(out.size(), (bytes + kBlock - 1) / kBlock * kBlock);
        QCOMPARE(out, data + QByteArray(out.size() - bytes, '\0'));
        QCOMPARE(keyed, txEnable && bytes > 0);
        QCOMPARE(panel.isEmpty(), !keyed);
        QVERIFY(!h.wave.isOpen(Dir::Output) && h.dialogs.messages.isEmpty());
        QVERIFY(!w.keyerState().busy() && !w.keyerState().playFileOpen() && !h.keyed());
    }

    // Paused, the file stays open and the transmitter released; PLAY goes on with all that had
    // not been heard, even after another slot was chosen and STOP pressed in the pause, and
    // even when the device finished the queued block while the pause was being handled.
    void pauseResumesWhereTheSoundStopped_data() {
        QTest::addColumn<int>("heardAtPause");
        QTest::newRow("one block playing") << 3;
        QTest::newRow("the queued block finished too") << 4;
    }
    void pauseResumesWhereTheSoundStopped() {
        QFETCH(int, heardAtPause);
        WindowHarness h;
        const QByteArray data = pattern(8 * kBlock + 300);
        h.writeMessage(1, data);
        h.writeMessage(5, pattern(kBlock, 99));
        TTavrin& w = h.openKeying();
        AudioPump pump(h.wave, Dir::Output);
        pump.after(3, [&] {
            click(w.ui().PlayBtn);
            if (heardAtPause > 3)
                h.wave.completeNext(Dir::Output);
        });
        click(w.ui().PlayBtn);
        QVERIFY(w.keyerState().playFileOpen() && !h.keyed() && !h.wave.isOpen(Dir::Output));
        QCOMPARE(h.wave.played(), data.left(heardAtPause * kBlock));
        click(w.ui().MemBtn[4]);
        click(w.ui().StopBtn);
        click(w.ui().PlayBtn);
        QCOMPARE(h.wave.played(), data + QByteArray(9 * kBlock - data.size(), '\0'));
    }

    // Pause and resume in one dispatch of events: the resume waits until the paused loop has let
    // the device go, and once the close box began nothing starts or keys again.
    void pauseAndResumeInOneDispatch_data() {
        QTest::addColumn<bool>("closing");
        QTest::newRow("resume") << false;
        QTest::newRow("resume, then the close box") << true;
    }
    void pauseAndResumeInOneDispatch() {
        QFETCH(bool, closing);
        WindowHarness h;
        const QByteArray data = pattern(12 * kBlock);
        h.writeMessage(1, data);
        TTavrin& w = h.openKeying();
        AudioPump pump(h.wave, Dir::Output);
        qsizetype writesAtClose = -1;
        pump.after(3, [&] {
            click(w.ui().PlayBtn);
            click(w.ui().PlayBtn);
            if (closing)
                w.close();
            writesAtClose = h.ports.events().size();
        });
        click(w.ui().PlayBtn);
        QVERIFY(h.dialogs.messages.isEmpty() && !w.keyerState().busy());
        if (closing)
            QVERIFY(h.wave.played().size() < data.size() &&
                    !h.ports.events().mid(writesAtClose).contains(kKeyed));
        else
            QCOMPARE(h.wave.played(), data);
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
        QVERIFY(file != "pipe" || ::mkfifo(QFile::encodeName(h.slotPath(1)), 0600) == 0);
        QVERIFY(file != "directory" || QDir().mkdir(h.slotPath(1)));
        TTavrin& w = h.openKeying();
        h.dialogs.fileAnswers << h.slotPath(1);
        if (action == "Open")
            w.ui().RetrieveWave1->trigger();
        else
            click(action == "REC" ? w.ui().RecordBtn : w.ui().PlayBtn);
        QCOMPARE(h.dialogs.texts(), QStringList{text});
        QVERIFY(!h.everKeyed() && !w.keyerState().recordActive());
        QCOMPARE(h.wave.calls(Dir::Output, Op::Open) + h.wave.calls(Dir::Input, Op::Open), 0);
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

    // Each box waits for the operator: the transmitter must not stay keyed on dead air meanwhile,
    // and TUNE no longer shows keyed.
    void theLineIsReleasedBeforeAFailureBox_data() {
        QTest::addColumn<Failure>("failure");
        QTest::newRow("format refused") << Failure::FormatRefused;
        QTest::newRow("write inside the loop") << Failure::WriteInLoop;
        QTest::newRow("sound input fails while recording") << Failure::InputInLoop;
        QTest::newRow("the recording file cannot be created") << Failure::RecordingFile;
        QTest::newRow("PLAY on a missing message") << Failure::MissingMessage;
    }
    void theLineIsReleasedBeforeAFailureBox() {
        QFETCH(Failure, failure);
        WindowHarness h;
        const bool playing = failure == Failure::FormatRefused || failure == Failure::WriteInLoop;
        if (playing)
            h.writeMessage(1, pattern(6 * kBlock));
        QVERIFY(failure != Failure::RecordingFile || QDir().mkdir(h.slotPath(1)));
        TTavrin& w = h.openKeying();
        if (!playing)
            click(w.ui().TuneBtn);
        QStringList atBox; // the line and TUNE's colour when each box appeared
        h.dialogs.onMessage = [&] {
            atBox << (h.keyed() ? "keyed" : "unkeyed") << look::textColour(w.ui().TuneBtn).name();
        };
        if (failure == Failure::FormatRefused)
            h.wave.failOn(Dir::Output, Op::Query);
        else
            h.wave.failOn(Dir::Output, Op::Queue, 3);
        h.wave.failOn(Dir::Input, Op::Queue, 3);
        AudioPump pump(h.wave, playing ? Dir::Output : Dir::Input);
        pump.after(10, [&] { click(w.ui().StopBtn); });
        click(failure == Failure::RecordingFile || failure == Failure::InputInLoop
                  ? w.ui().RecordBtn
                  : w.ui().PlayBtn);
        QCOMPARE(atBox.mid(0, 2), (QStringList{"unkeyed", look::kBlue.name()}));
        if (failure == Failure::WriteInLoop || failure == Failure::InputInLoop)
            QVERIFY(w.terminationRequested());
        QVERIFY(!h.keyed() && !h.wave.isOpen(Dir::Output));
    }

    void everyUnkeyEndsTune_data() {
        QTest::addColumn<Way>("way");
        QTest::newRow("Escape") << Way::Escape;
        QTest::newRow("STOP") << Way::Stop;
        QTest::newRow("RST") << Way::Reset;
        QTest::newRow("REC then STOP") << Way::RecordThenStop;
        QTest::newRow("a message played to its end") << Way::PlayToEnd;
        QTest::newRow("Escape in a looped message") << Way::EscapeInLoop;
    }
    void everyUnkeyEndsTune() {
        QFETCH(Way, way);
        WindowHarness h;
        h.writeMessage(1, QByteArray((way == Way::EscapeInLoop ? 40 : 2) * kBlock, 'k'));
        TTavrin& w = h.openKeying();
        click(w.ui().TuneBtn);
        QVERIFY(h.keyed());
        AudioPump pump(h.wave, way == Way::RecordThenStop ? Dir::Input : Dir::Output);
        pump.after(2, [&] { way == Way::EscapeInLoop ? escape(w) : click(w.ui().StopBtn); });
        if (way == Way::EscapeInLoop)
            click(w.ui().LoopBtn);
        if (way == Way::Escape)
            escape(w);
        else
            click(way == Way::Stop             ? w.ui().StopBtn
                  : way == Way::Reset          ? w.ui().ResetBtn
                  : way == Way::RecordThenStop ? w.ui().RecordBtn
                                               : w.ui().PlayBtn);
        QVERIFY(!w.keyerState().busy() && !w.keyer().loopTimer().isActive());
        QVERIFY(!h.keyed());
        QCOMPARE(look::textColour(w.ui().TuneBtn), look::kBlue);
        QCOMPARE(w.ui().TxPanel->text(), QStringLiteral("Receive"));
        click(w.ui().TuneBtn); // the next press keys again rather than "releasing" an idle line
        QVERIFY(h.keyed());
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
