// The loop repeats a message with a pause in which the transmitter is released.
#include "app/look.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

class LoopTest : public QObject {
    Q_OBJECT

private:
    static void writeSlot(WindowHarness& h, int slot, int blocks, char fill) {
        h.writeMessage(slot, QByteArray(blocks * kBlock, fill));
    }
    static QAction* delayItem(TTavrin& w, const char* name) {
        return w.findChild<QAction*>(QLatin1String(name));
    }

private slots:
    void repeatsWithTheTransmitterReleasedInEachPause() {
        WindowHarness h;
        writeSlot(h, 1, 2, 'a');
        TTavrin& w = h.open();
        w.ui().COM[0]->trigger();
        click(w.ui().TransmitBtn);
        delayItem(w, "N1sec1")->trigger();
        click(w.ui().LoopBtn);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> starts, ends; // ms since the test began
        QObject::connect(&w.keyerState(), &KeyerState::playActiveChanged, &w,
                         [&](bool on) { (on ? starts : ends) << clock.elapsed(); });
        QStringList panelInPauses;
        QList<int> levelsInPauses;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, &w, [&] {
            if (w.keyerState().keyerIdle()) {
                panelInPauses << w.ui().TxPanel->text();
                levelsInPauses << w.keyingLine().KeyingLevel();
            }
        });
        probe.start(50);
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().PlayBtn);
        QTRY_VERIFY_WITH_TIMEOUT(starts.size() >= 3, 5000);
        click(w.ui().ResetBtn);

        for (int i = 1; i < 3; ++i) {
            const qint64 pause = starts[i] - ends[i - 1];
            QVERIFY2(pause >= 400 && pause <= 1600, qPrintable(QString::number(pause)));
        }
        QVERIFY(!panelInPauses.isEmpty());
        QVERIFY(!panelInPauses.contains("Transmit"));
        QVERIFY(!levelsInPauses.contains(KeyingLine::Keyed));
        QVERIFY(h.ports.events().count("SETDTR") >= 3); // each repetition keyed again
        // RST cancels what would come next; LOOP stays on for the next PLAY.
        const int played = starts.size();
        QTest::qWait(1300);
        QCOMPARE(starts.size(), played);
        QCOMPARE(look::textColour(w.ui().LoopBtn), look::kRed);
    }

    // STOP ends one repetition only and does nothing in the pause; RST ends the loop.
    void stopEndsOneRepetitionOnly() {
        WindowHarness h;
        writeSlot(h, 1, 40, 'b');
        TTavrin& w = h.open();
        delayItem(w, "N1sec1")->trigger();
        click(w.ui().LoopBtn);
        int starts = 0;
        QObject::connect(&w.keyerState(), &KeyerState::playActiveChanged, &w,
                         [&](bool on) { starts += on ? 1 : 0; });
        AudioPump pump(h.wave, Dir::Output);
        pump.after(3, [&] { click(w.ui().StopBtn); });
        click(w.ui().PlayBtn);
        QTRY_VERIFY_WITH_TIMEOUT(starts >= 2, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(w.keyerState().keyerIdle(), 3000);
        click(w.ui().StopBtn);
        QVERIFY(w.keyer().loopTimer().isActive());
        click(w.ui().ResetBtn);
        QVERIFY(!w.keyer().loopTimer().isActive());
    }

    // Choosing a delay while a message plays stops the message and the loop.
    void choosingADelayDuringAMessageStopsItAndTheLoop() {
        WindowHarness h;
        writeSlot(h, 1, 40, 'c');
        TTavrin& w = h.open();
        click(w.ui().LoopBtn);
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] { delayItem(w, "N451")->trigger(); });
        click(w.ui().PlayBtn);
        QVERIFY(w.keyerState().keyerIdle());
        QVERIFY(!w.keyer().loopTimer().isActive());
        QCOMPARE(w.keyerState().loopDelay, 450);
        QCOMPARE(h.wave.played().size(), 2 * kBlock);
    }

    void theNextRepetitionPlaysTheSlotSelectedInThePause() {
        WindowHarness h;
        writeSlot(h, 1, 1, 'e');
        writeSlot(h, 2, 1, 'f');
        TTavrin& w = h.open();
        delayItem(w, "N1sec1")->trigger();
        click(w.ui().LoopBtn);
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().PlayBtn);
        click(w.ui().MemBtn[1]);
        QTRY_COMPARE_WITH_TIMEOUT(h.wave.played().size(), 2 * kBlock, 3000);
        click(w.ui().ResetBtn);
        QCOMPARE(h.wave.played(), QByteArray(kBlock, 'e') + QByteArray(kBlock, 'f'));
    }
};

QTEST_MAIN(LoopTest)
#include "tst_loop.moc"
