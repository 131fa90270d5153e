// The keying line as the window's Output menu and TUNE drive it, on the recording ports.
#include "config/configrecord.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QAction>
#include <QtTest>

#include <csignal>

namespace {
QAction* portItem(TTavrin& w, const QString& port) {
    if (port.startsWith("LPT"))
        return port == "LPT1" ? w.ui().Printer1 : w.ui().Printer2;
    return w.ui().COM[port.back().digitValue() - 1];
}

// The events that put the port's line at a level (keyed or not, after the polarity).
QStringList line(const QString& port, bool high) {
    if (port.startsWith("LPT"))
        return {
            QString("out %1 %2").arg(port == "LPT1" ? "0x378" : "0x3BC", high ? "0x03" : "0x00")};
    return high ? QStringList{"SETDTR", "SETRTS"} : QStringList{"CLRDTR", "CLRRTS"};
}
} // namespace

class KeyingLineTest : public QObject {
    Q_OBJECT

private slots:
    // A port is driven unkeyed right after it is opened; TUNE keys it whatever Tx Enable says,
    // and a polarity change re-drives the level in its new sense.
    void tuneKeysTheSelectedLineInEitherPolarity_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("invert");
        for (const char* port : {"COM1", "COM6", "LPT1", "LPT2"})
            for (bool invert : {false, true})
                QTest::addRow("%s %s", port, invert ? "Invert" : "Normal") << port << invert;
    }
    void tuneKeysTheSelectedLineInEitherPolarity() {
        QFETCH(QString, port);
        QFETCH(bool, invert);
        WindowHarness h;
        TTavrin& w = h.open();
        if (invert)
            w.ui().Invert1->trigger();
        portItem(w, port)->trigger();
        const QString opened = port.startsWith("LPT")
                                   ? (port == "LPT1" ? "claim 0x378" : "claim 0x3BC")
                                   : "open " + port;
        QCOMPARE(h.ports.takeEvents(), QStringList{opened} + line(port, invert));
        click(w.ui().TuneBtn);
        QCOMPARE(h.ports.takeEvents(), line(port, !invert));
        (invert ? w.ui().Normal : w.ui().Invert1)->trigger();
        QCOMPARE(h.ports.takeEvents(), line(port, invert));
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Keyed);
        click(w.ui().TuneBtn);
        QCOMPARE(h.ports.takeEvents(), line(port, !invert));
    }

    // A port that cannot be used leaves VOX selected, holding no line, even while its box shows.
    void aPortThatCannotBeUsedFallsBackToVox_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<bool>("reported");
        QTest::newRow("fails to open") << "COM2" << QStringList{"open COM2 failed"} << true;
        QTest::newRow("no terminal") << "COM4" << QStringList{"open COM4", "close COM4"} << false;
        QTest::newRow("parallel refused") << "LPT2" << QStringList{"claim 0x3BC refused"} << true;
    }
    void aPortThatCannotBeUsedFallsBackToVox() {
        QFETCH(QString, port);
        QFETCH(QStringList, events);
        QFETCH(bool, reported);
        WindowHarness h;
        h.ports.failingPorts = {"COM2"};
        h.ports.nonCommPorts = {"COM4"};
        h.ports.refuseParallel = true;
        TTavrin& w = h.open();
        // Before any choice no port drives the line, and the ticks say so.
        QVERIFY(w.ui().VOX1->isChecked() && !w.ui().Printer1->isChecked());
        int linesAtBox = -1;
        h.dialogs.onMessage = [&] { linesAtBox = h.ports.openLines(); };
        portItem(w, port)->trigger();
        QCOMPARE(h.dialogs.messages.size(), reported ? 1 : 0);
        QCOMPARE(linesAtBox, reported ? 0 : -1);
        QCOMPARE(w.keyingLine().KeyingPortName(), QString("NONE"));
        QVERIFY(w.ui().VOX1->isChecked() && w.ui().NoComPort->isChecked());
        QVERIFY(!portItem(w, port)->isChecked());
        click(w.ui().TuneBtn);
        QCOMPARE(h.ports.takeEvents(), events);
    }

    // A termination signal while a port's failure box is open stores what is in effect: VOX.
    void aSignalDuringAPortFailureBoxStoresVox() {
        for (const char* port : {"COM2", "LPT2"}) {
            WindowHarness h;
            h.ports.failingPorts = {"COM2"};
            h.ports.refuseParallel = true;
            TTavrin& w = h.open();
            w.show();
            h.dialogs.onMessage = [&] {
                ::kill(::getpid(), SIGTERM);
                QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }));
            };
            portItem(w, port)->trigger();
            const auto written = ConfigRecord::parse(readBytes(h.installDir() + "Tavrin.cfg"), {});
            QCOMPARE(written.keyingPortName, QByteArray("NONE"));
            QCOMPARE(written.keyingPortKind, 1);
        }
    }

    // Switching ports while keyed drops the old line before it is given up.
    void switchingPortsWhileKeyedReleasesTheOldLineFirst() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.ui().Invert1->trigger();
        w.ui().COM[0]->trigger();
        click(w.ui().TuneBtn);
        h.ports.takeEvents();
        w.ui().Printer1->trigger();
        QCOMPARE(h.ports.takeEvents(),
                 (QStringList{"SETDTR", "SETRTS", "close COM1", "claim 0x378", "out 0x378 0x03"}));
        QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
    }

    // Destroying the window unkeys the line before it gives it up.
    void destroyingTheWindowUnkeys() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.ui().Invert1->trigger();
        w.ui().Printer2->trigger();
        click(w.ui().TuneBtn);
        h.ports.takeEvents();
        h.window.reset();
        QCOMPARE(h.ports.takeEvents(), (QStringList{"out 0x3BC 0x03", "release 0x3BC"}));
    }
};

QTEST_MAIN(KeyingLineTest)
#include "tst_keyingline.moc"
