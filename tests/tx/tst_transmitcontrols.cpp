#include "keyingrig.h"
#include "tx/transmitcontrols.h"

#include <QSignalSpy>
#include <QTest>

class TransmitControlsTest : public QObject {
    Q_OBJECT

private slots:
    void tuneKeysWhateverTxEnableSays_data();
    void tuneKeysWhateverTxEnableSays();
    void tuneOnVoxMovesNoLine();
    void txEnableAndMicOnlyToggle();
};

void TransmitControlsTest::tuneKeysWhateverTxEnableSays_data() {
    QTest::addColumn<bool>("txEnable");
    QTest::newRow("Tx Enable OFF") << false;
    QTest::newRow("Tx Enable ON") << true;
}

void TransmitControlsTest::tuneKeysWhateverTxEnableSays() {
    QFETCH(bool, txEnable);
    KeyingRig rig;
    TransmitControls controls(*rig.line);
    rig.line->COM3Click();
    rig.io.takeEvents();
    if (txEnable)
        controls.TransmitBtnClick();
    QCOMPARE(controls.state().TxEnable(), txEnable);
    QVERIFY(rig.io.events().isEmpty());

    controls.TuneBtnClick();
    QVERIFY(controls.state().TuneActive());
    QVERIFY(controls.state().transmitting());
    QCOMPARE(rig.line->KeyingLevel(), KeyingLine::Keyed);
    QCOMPARE(rig.io.takeEvents(), (QStringList{"SETDTR", "SETRTS"}));

    controls.TuneBtnClick();
    QVERIFY(!controls.state().TuneActive());
    QVERIFY(!controls.state().transmitting());
    QCOMPARE(rig.line->KeyingLevel(), KeyingLine::Unkeyed);
    QCOMPARE(rig.io.takeEvents(), (QStringList{"CLRDTR", "CLRRTS"}));
}

void TransmitControlsTest::tuneOnVoxMovesNoLine() {
    KeyingRig rig;
    TransmitControls controls(*rig.line);
    rig.line->VOX1Click();
    controls.TuneBtnClick();
    QVERIFY(controls.state().TuneActive());
    QVERIFY(controls.state().transmitting());
    controls.TuneBtnClick();
    QVERIFY(!controls.state().transmitting());
    QVERIFY(rig.io.events().isEmpty());
}

void TransmitControlsTest::txEnableAndMicOnlyToggle() {
    KeyingRig rig;
    TransmitControls controls(*rig.line);
    rig.line->COM1Click();
    rig.io.takeEvents();
    QSignalSpy enable(&controls.state(), &TxState::txEnableChanged);
    QSignalSpy mic(&controls.state(), &TxState::txMicChanged);
    QSignalSpy indicator(&controls.state(), &TxState::transmittingChanged);

    controls.TransmitBtnClick();
    controls.MicBtnClick();
    controls.MicBtnClick();
    controls.TransmitBtnClick();
    controls.MicBtnClick();

    QCOMPARE(enable.size(), 2);
    QCOMPARE(enable.at(0).at(0).toBool(), true);
    QCOMPARE(enable.at(1).at(0).toBool(), false);
    QCOMPARE(mic.size(), 3);
    QVERIFY(controls.state().TxMic());
    QVERIFY(!controls.state().TxEnable());
    QVERIFY(indicator.isEmpty());
    QVERIFY(!controls.state().TuneActive());
    QVERIFY(rig.io.events().isEmpty());
}

QTEST_MAIN(TransmitControlsTest)
#include "tst_transmitcontrols.moc"
