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

    void thePauseIsTheTickedDelayFromKeyUp_data() {
        QTest::addColumn<QByteArray>("item"); // the delay chosen, none at first start
        QTest::addColumn<bool>("whileLooping");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("first start") << QByteArray() << false << 1000;
        QTest::newRow("1 sec") << QByteArray("N1sec1") << false << 1000;
        QTest::newRow("2 sec chosen while looping") << QByteArray("N2sec1") << true << 2000;
    }
    void thePauseIsTheTickedDelayFromKeyUp() {
        QFETCH(QByteArray, item);
        QFETCH(bool, whileLooping);
        QFETCH(int, pauseMs);
        WindowHarness h;
        writeSlot(h, 1, 2, 'p');
        TTavrin& w = h.open();
        w.ui().Printer1->trigger();
        click(w.ui().TransmitBtn);
        if (!item.isEmpty() && !whileLooping)
            delayItem(w, item)->trigger();
        click(w.ui().LoopBtn);
        // The port's writes, timed by a probe that runs in every dispatch of events.
        QElapsedTimer clock;
        clock.start();
        QList<qint64> keyDowns, keyUps;
        qsizetype seen = h.ports.events().size();
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, &w, [&] {
            for (const QString& e : h.ports.events().mid(seen))
                (e.endsWith("0x03") ? keyDowns : keyUps) << clock.elapsed();
            seen = h.ports.events().size();
        });
        probe.start(1);
        AudioPump pump(h.wave, Dir::Output);
        if (whileLooping)
            pump.after(1, [&] { delayItem(w, item)->trigger(); });
        click(w.ui().PlayBtn);
        QTRY_VERIFY_WITH_TIMEOUT(keyDowns.size() >= 2, 3 * pauseMs);
        click(w.ui().ResetBtn);
        const qint64 pause = keyDowns[1] - keyUps.first();
        QVERIFY2(pause >= pauseMs - 10 && pause <= pauseMs + 60,
                 qPrintable(QString::number(pause)));
        QVERIFY(delayItem(w, item.isEmpty() ? "N1sec1" : item.constData())->isChecked());
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
