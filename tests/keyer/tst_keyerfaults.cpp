#include "app/look.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "tx/transmitcontrols.h"
#include "wavebytes.h"
#include "windowharness.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

namespace {
using Dir = WaveService::Direction;
using Op = VirtualWaveService::Op;
// The primary printer port under normal polarity.
const QString kKeyed = QStringLiteral("out 0x378 0x03");
const QString kUnkeyed = QStringLiteral("out 0x378 0x00");

void escape(TTavrin& w) {
    QTest::keyRelease(w.ui().MessageWindow, Qt::Key_Escape);
}
void writeSlot(WindowHarness& h, int blocks) {
    h.writeMessage(1, QByteArray(blocks * kBlock, 'k'));
}
// The window on the primary printer port with Tx Enable on.
TTavrin& openKeying(WindowHarness& h) {
    TTavrin& w = h.open();
    w.show();
    w.ui().Printer1->trigger();
    click(w.ui().TransmitBtn);
    return w;
}
} // namespace

// The transmitter is keyed only while a message sounds or TUNE holds it, and every control
// shows the line as it is.
class KeyerFaultsTest : public QObject {
    Q_OBJECT

    enum class Way { Escape, Stop, Reset, RecordThenStop, PlayToEnd, EscapeInLoop };
    enum class Failure { DeviceDuringRecording, RecordingFile, MissingMessage };

private slots:
    void aMessageWithoutSamplesNeverKeys_data() {
        QTest::addColumn<bool>("looped");
        QTest::newRow("once") << false;
        QTest::newRow("looped") << true;
    }
    void aMessageWithoutSamplesNeverKeys() {
        QFETCH(bool, looped);
        WindowHarness h;
        writeSlot(h, 0);
        TTavrin& w = openKeying(h);
        QSignalSpy panel(&w.transmitControls().state(), &TxState::transmittingChanged);
        QSignalSpy starts(&w.keyerState(), &KeyerState::playActiveChanged);
        if (looped)
            click(w.ui().LoopBtn);
        click(w.ui().PlayBtn);
        if (looped)
            QTRY_VERIFY_WITH_TIMEOUT(starts.count() >= 4, 4000);
        click(w.ui().ResetBtn);
        QVERIFY(starts.count() >= 2);
        QVERIFY(!h.ports.events().contains(kKeyed));
        QCOMPARE(panel.count(), 0);
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
        writeSlot(h, way == Way::EscapeInLoop ? 40 : 2);
        TTavrin& w = openKeying(h);
        click(w.ui().TuneBtn);
        QCOMPARE(h.ports.events().last(), kKeyed);
        AudioPump pump(h.wave, way == Way::RecordThenStop ? Dir::Input : Dir::Output);
        switch (way) {
        case Way::Escape:
            escape(w);
            break;
        case Way::Stop:
            click(w.ui().StopBtn);
            break;
        case Way::Reset:
            click(w.ui().ResetBtn);
            break;
        case Way::RecordThenStop:
            pump.after(2, [&] { click(w.ui().StopBtn); });
            click(w.ui().RecordBtn);
            break;
        case Way::PlayToEnd:
            click(w.ui().PlayBtn);
            break;
        case Way::EscapeInLoop:
            click(w.ui().LoopBtn);
            pump.after(2, [&] { escape(w); });
            click(w.ui().PlayBtn);
            QVERIFY(!w.keyerState().busy());
            QVERIFY(!w.keyerState().loopActive());
            QVERIFY(!w.keyer().loopTimer().isActive());
            break;
        }
        QCOMPARE(h.ports.events().last(), kUnkeyed);
        QCOMPARE(look::textColour(w.ui().TuneBtn), look::kBlue);
        QCOMPARE(w.ui().TxPanel->text(), QStringLiteral("Receive"));
        click(w.ui().TuneBtn); // the next press keys again rather than "releasing" an idle line
        QCOMPARE(h.ports.events().last(), kKeyed);
    }

    void theLineIsReleasedBeforeAFailureBox_data() {
        QTest::addColumn<Failure>("failure");
        QTest::newRow("sound input fails while recording") << Failure::DeviceDuringRecording;
        QTest::newRow("the recording file cannot be created") << Failure::RecordingFile;
        QTest::newRow("PLAY on a missing message") << Failure::MissingMessage;
    }
    void theLineIsReleasedBeforeAFailureBox() {
        QFETCH(Failure, failure);
        WindowHarness h;
        if (failure == Failure::RecordingFile)
            QVERIFY(QDir(h.installDir()).mkdir(QStringLiteral("memory1.wav")));
        TTavrin& w = openKeying(h);
        click(w.ui().TuneBtn);
        QStringList atBox; // the last port write and TUNE's colour when each box appeared
        h.dialogs.onMessage = [&] {
            atBox << h.ports.events().last() << look::textColour(w.ui().TuneBtn).name();
        };
        AudioPump pump(h.wave, Dir::Input);
        h.wave.failOn(Dir::Input, Op::Queue, 3);
        pump.after(10, [&] { click(w.ui().StopBtn); });
        click(failure == Failure::MissingMessage ? w.ui().PlayBtn : w.ui().RecordBtn);
        QCOMPARE(atBox.mid(0, 2), (QStringList{kUnkeyed, look::kBlue.name()}));
    }

    void nothingStartsOnceShutdownBegan() {
        // PLAY (pause), PLAY (resume, kept until the running loop unwinds) and the close box,
        // all in one dispatch of events.
        WindowHarness h;
        writeSlot(h, 40);
        TTavrin& w = openKeying(h);
        AudioPump pump(h.wave, Dir::Output);
        qsizetype writesAtClose = -1;
        pump.after(3, [&] {
            click(w.ui().PlayBtn);
            click(w.ui().PlayBtn);
            w.close();
            writesAtClose = h.ports.events().size();
        });
        click(w.ui().PlayBtn);
        QVERIFY(writesAtClose > 0);
        QVERIFY(!h.ports.events().mid(writesAtClose).contains(kKeyed));
        QVERIFY(h.wave.played().size() < 10 * kBlock);
        QVERIFY(!w.keyerState().busy());
    }
};

QTEST_MAIN(KeyerFaultsTest)
#include "tst_keyerfaults.moc"
