// The loop repeats a message with a pause in which the transmitter is released.
#include "app/look.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "tx/transmitcontrols.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

class LoopTest : public QObject {
    Q_OBJECT

private slots:
    // The pause runs from key-up to the next key-down; the line and the panel show receive all
    // through it, and RST cancels what would come next while LOOP stays on.
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
        h.writeMessage(1, QByteArray(2 * kBlock, 'p'));
        TTavrin& w = h.openKeying();
        if (!item.isEmpty() && !whileLooping)
            ::item(w, item)->trigger();
        click(w.ui().LoopBtn);
        // The port's writes and the panel, seen by a probe that runs in every dispatch of events.
        QElapsedTimer clock;
        clock.start();
        QList<qint64> keyDowns, keyUps;
        bool transmitInPause = false;
        qsizetype seen = h.ports.events().size();
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, &w, [&] {
            for (const QString& e : h.ports.events().mid(seen))
                (e == kKeyed ? keyDowns : keyUps) << clock.elapsed();
            seen = h.ports.events().size();
            transmitInPause |= w.keyerState().keyerIdle() && w.ui().TxPanel->text() == "Transmit";
        });
        probe.start(1);
        AudioPump pump(h.wave, Dir::Output);
        if (whileLooping)
            pump.after(1, [&] { ::item(w, item)->trigger(); });
        click(w.ui().PlayBtn);
        QTRY_VERIFY_WITH_TIMEOUT(keyDowns.size() >= 2 && !keyUps.isEmpty(), 3 * pauseMs);
        click(w.ui().ResetBtn);
        const qint64 pause = keyDowns[1] - keyUps.first();
        QVERIFY2(pause >= pauseMs - 40 && pause <= pauseMs + 250,
                 qPrintable(QString::number(pause)));
        QVERIFY(!transmitInPause && !h.keyed());
        QVERIFY(::item(w, item.isEmpty() ? "N1sec1" : item.constData())->isChecked());
        QVERIFY(!w.keyer().loopTimer().isActive());
        QCOMPARE(look::textColour(w.ui().LoopBtn), look::kRed);
    }

    // Repetitions of a message without samples come and go, and never key.
    void aLoopedMessageWithoutSamplesNeverKeys() {
        WindowHarness h;
        h.writeMessage(1, {});
        TTavrin& w = h.openKeying();
        QSignalSpy panel(&w.transmitControls().state(), &TxState::transmittingChanged);
        QSignalSpy starts(&w.keyerState(), &KeyerState::playActiveChanged);
        click(w.ui().LoopBtn);
        click(w.ui().PlayBtn);
        QTRY_VERIFY_WITH_TIMEOUT(starts.count() >= 4, 4000);
        click(w.ui().ResetBtn);
        QVERIFY(!h.everKeyed() && panel.isEmpty());
    }

    // STOP ends one repetition only and does nothing in the pause, where a slot chosen is the
    // one played next; RST ends the loop.
    void stopEndsOneRepetitionAndThePauseTakesTheNextSlot() {
        WindowHarness h;
        h.writeMessage(1, QByteArray(8 * kBlock, 'e'));
        h.writeMessage(2, QByteArray(kBlock, 'f'));
        TTavrin& w = h.open();
        click(w.ui().LoopBtn);
        AudioPump pump(h.wave, Dir::Output);
        pump.after(3, [&] { click(w.ui().StopBtn); });
        click(w.ui().PlayBtn);
        click(w.ui().StopBtn);
        QVERIFY(w.keyerState().keyerIdle() && w.keyer().loopTimer().isActive());
        click(w.ui().MemBtn[1]);
        QTRY_COMPARE_WITH_TIMEOUT(h.wave.played().size(), 4 * kBlock, 3000);
        click(w.ui().ResetBtn);
        QVERIFY(!w.keyer().loopTimer().isActive());
        QCOMPARE(h.wave.played(), QByteArray(3 * kBlock, 'e') + QByteArray(kBlock, 'f'));
    }
};

QTEST_MAIN(LoopTest)
#include "tst_loop.moc"
