#include "app/look.h"
#include "config/configrecord.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>

#include <unistd.h>

namespace {

QStringList tickedPorts(const TTavrin& w) {
    QStringList names;
    const auto& ui = w.ui();
    QAction* items[] = {ui.Printer1, ui.Printer2, ui.COM[0], ui.COM[1],    ui.COM[2],
                        ui.COM[3],   ui.COM[4],   ui.COM[5], ui.NoComPort, ui.VOX1};
    for (QAction* item : items)
        if (item->isChecked())
            names << item->objectName();
    return names;
}

void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TxWindowTest : public QObject {
    Q_OBJECT

private slots:
    void outputMenuSelectsThePort();
    void transmitButtonsShowTheirState();
    void idMenuDrivesTheAlarmStrip();
    void closeBoxAndExitUnkeyTune();
    void destroyingTheWindowUnkeys();
    void signalDuringAPortFailureBoxStoresVox_data();
    void signalDuringAPortFailureBoxStoresVox();
};

void TxWindowTest::outputMenuSelectsThePort() {
    WindowHarness h;
    TTavrin& w = h.open();
    // No port drives a line before a selection: the ticks say VOX.
    QCOMPARE(tickedPorts(w), (QStringList{"NoComPort", "VOX1"}));
    QVERIFY(h.ports.events().isEmpty());

    w.ui().COM[2]->trigger();
    QCOMPARE(tickedPorts(w), QStringList{"COM3"});
    QCOMPARE(h.ports.takeEvents(), (QStringList{"open COM3", "CLRDTR", "CLRRTS"}));
    w.ui().Invert1->trigger();
    QCOMPARE(h.ports.takeEvents(), (QStringList{"SETDTR", "SETRTS"}));
    QVERIFY(w.ui().Invert1->isChecked());
    QVERIFY(!w.ui().Normal->isChecked());
    w.ui().VOX1->trigger();
    QCOMPARE(tickedPorts(w), (QStringList{"NoComPort", "VOX1"}));
}

void TxWindowTest::transmitButtonsShowTheirState() {
    WindowHarness h;
    TTavrin& w = h.open();
    w.show();
    w.ui().Printer1->trigger();
    h.ports.takeEvents();

    click(w.ui().TuneBtn);
    QCOMPARE(look::textColour(w.ui().TuneBtn), look::kRed);
    QCOMPARE(w.ui().TxPanel->text(), QString("Transmit"));
    QCOMPARE(look::fillColour(w.ui().TxPanel), look::kRed);
    QCOMPARE(look::textColour(w.ui().TxPanel), look::kYellow);
    QCOMPARE(h.ports.takeEvents(), QStringList{"out 0x378 0x03"});
    click(w.ui().TuneBtn);
    QCOMPARE(look::textColour(w.ui().TuneBtn), look::kBlue);
    QCOMPARE(w.ui().TxPanel->text(), QString("Receive"));
    QCOMPARE(look::fillColour(w.ui().TxPanel), look::kGreen);
    QCOMPARE(h.ports.takeEvents(), QStringList{"out 0x378 0x00"});

    for (QPushButton* button : {w.ui().TransmitBtn, w.ui().MicBtn}) {
        click(button);
        QCOMPARE(button->text(), QString("ON"));
        QCOMPARE(look::textColour(button), look::kRed);
        click(button);
        QCOMPARE(button->text(), QString("OFF"));
        QCOMPARE(look::textColour(button), look::kBlue);
    }
    QVERIFY(h.ports.events().isEmpty());
}

void TxWindowTest::idMenuDrivesTheAlarmStrip() {
    WindowHarness h;
    TTavrin& w = h.open();
    auto* idTimer = w.findChild<QTimer*>("IDTimer");
    auto* watchdog = w.findChild<QTimer*>("TimeoutTimer");
    QVERIFY(idTimer && watchdog);
    QVERIFY(!idTimer->isActive());
    QVERIFY(!watchdog->isActive());

    w.ui().ON1->trigger();
    QVERIFY(idTimer->isActive());
    QVERIFY(w.ui().ON1->isChecked());
    QVERIFY(!w.ui().OFF1->isChecked());
    h.dialogs.inputAnswers = {{true, "2"}};
    w.ui().Set1->trigger();
    QCOMPARE(h.dialogs.texts(), QStringList{"Enter a value greater than 2 seconds"});
    QCOMPARE(idTimer->interval(), 3000);
    w.ui().OFF1->trigger();
    QVERIFY(!idTimer->isActive());

    w.idAlarm().IDTimerTimer();
    QCOMPARE(look::fillColour(w.ui().AlarmPanel), look::kRed);
    QCOMPARE(h.beeper.count, 1);
    QTRY_COMPARE_WITH_TIMEOUT(look::fillColour(w.ui().AlarmPanel), look::kTeal, 3000);
}

void TxWindowTest::closeBoxAndExitUnkeyTune() {
    {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        w.ui().COM[4]->trigger();
        click(w.ui().TuneBtn);
        h.ports.takeEvents();
        QVERIFY(w.close());
        QCOMPARE(h.ports.takeEvents(), (QStringList{"CLRDTR", "CLRRTS"}));
    }
    {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        w.ui().Invert1->trigger();
        w.ui().Printer1->trigger();
        click(w.ui().TuneBtn);
        h.ports.takeEvents();
        w.ui().Exit1->trigger();
        QVERIFY(!w.isVisible());
        QCOMPARE(h.ports.takeEvents(), QStringList{"out 0x378 0x03"});
    }
}

void TxWindowTest::destroyingTheWindowUnkeys() {
    WindowHarness h;
    TTavrin& w = h.open();
    w.ui().COM[0]->trigger();
    w.keyingLine().drive(KeyingLine::Keyed);
    h.ports.takeEvents();
    h.window.reset();
    QCOMPARE(h.ports.takeEvents(), (QStringList{"CLRDTR", "CLRRTS", "close COM1"}));
}

void TxWindowTest::signalDuringAPortFailureBoxStoresVox_data() {
    QTest::addColumn<bool>("parallel");
    QTest::newRow("COM4 missing") << false;
    QTest::newRow("LPT1 refused") << true;
}

void TxWindowTest::signalDuringAPortFailureBoxStoresVox() {
    QFETCH(bool, parallel);
    WindowHarness h;
    QFile config(h.installDir() + "Tavrin.cfg");
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(ConfigRecord{}.serialize());
    config.close();
    TTavrin& w = h.open();
    w.show();
    h.ports.failingPorts << "COM4";
    h.ports.refuseParallel = true;
    h.dialogs.onMessage = [&](const QString&, const QString&) {
        ::kill(::getpid(), SIGTERM);
        QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }));
    };
    (parallel ? w.ui().Printer1 : w.ui().COM[3])->trigger();
    QVERIFY(config.open(QIODevice::ReadOnly));
    const ConfigRecord written = ConfigRecord::parse(config.readAll(), ConfigRecord{});
    QCOMPARE(written.keyingPortName, QByteArray("NONE"));
    QCOMPARE(written.keyingPortKind, 1);
}

QTEST_MAIN(TxWindowTest)
#include "tst_txwindow.moc"
