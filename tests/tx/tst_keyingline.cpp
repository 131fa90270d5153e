#include "keyingrig.h"

#include <QTest>

namespace {

const QString commsErrorTitle = QStringLiteral("Communications I/O Error");
const QString serialOpenFailed = QStringLiteral("Failed to open the comms device");
const QString parallelRefused =
    QStringLiteral("This function is not supported under WindowsNT, Windows2000, & WindowsXP");

using Handler = void (KeyingLine::*)();

struct Selection {
    const char* item;
    Handler handler;
};

const Selection comPorts[] = {
    {"COM1", &KeyingLine::COM1Click}, {"COM2", &KeyingLine::COM2Click},
    {"COM3", &KeyingLine::COM3Click}, {"COM4", &KeyingLine::COM4Click},
    {"COM5", &KeyingLine::COM5Click}, {"COM6", &KeyingLine::COM6Click},
};

} // namespace

class KeyingLineTest : public QObject {
    Q_OBJECT

private slots:
    void serialKeyingFollowsPolarity_data();
    void serialKeyingFollowsPolarity();
    void parallelKeyingFollowsPolarity_data();
    void parallelKeyingFollowsPolarity();
    void exactlyOneSelectionIsTicked();
    void failedSerialOpenFallsBackToVox();
    void nonTerminalFallsBackToVoxSilently();
    void refusedParallelFallsBackToVox();
    void voxDrivesNothing();
    void switchingPortsReleasesThePreviousLineUnkeyed();
    void polarityChangeRedrivesTheLastLevel();
    void nothingMovesBeforeASelection();
    void storedNameRunsTheMatchingHandler();
    void destructionLeavesTheLineUnkeyed();
};

void KeyingLineTest::serialKeyingFollowsPolarity_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("invert");
    for (int port = 0; port < 6; ++port) {
        QTest::addRow("%s normal", comPorts[port].item) << port << false;
        QTest::addRow("%s invert", comPorts[port].item) << port << true;
    }
}

void KeyingLineTest::serialKeyingFollowsPolarity() {
    QFETCH(int, port);
    QFETCH(bool, invert);
    KeyingRig rig;
    const QStringList asserted{"SETDTR", "SETRTS"};
    const QStringList cleared{"CLRDTR", "CLRRTS"};
    const QStringList keyed = invert ? cleared : asserted;
    const QStringList unkeyed = invert ? asserted : cleared;

    if (invert)
        rig.line->Invert1Click();
    (rig.line.get()->*comPorts[port].handler)();
    const QString name = QString::fromLatin1(comPorts[port].item);
    // The line is driven unkeyed right after the open, with nothing in between.
    QCOMPARE(rig.io.takeEvents(), QStringList{"open " + name} + unkeyed);
    QCOMPARE(rig.line->KeyingPortName(), name);
    QCOMPARE(rig.line->KeyingPortKind(), 1);
    QVERIFY(rig.dialogs.messages.isEmpty());

    rig.line->drive(KeyingLine::Keyed);
    QCOMPARE(rig.io.takeEvents(), keyed);
    QCOMPARE(rig.line->KeyingLevel(), KeyingLine::Keyed);
    rig.line->drive(KeyingLine::Unkeyed);
    QCOMPARE(rig.io.takeEvents(), unkeyed);
    QCOMPARE(rig.line->KeyingLevel(), KeyingLine::Unkeyed);
}

void KeyingLineTest::parallelKeyingFollowsPolarity_data() {
    QTest::addColumn<bool>("secondary");
    QTest::addColumn<bool>("invert");
    QTest::newRow("LPT1 normal") << false << false;
    QTest::newRow("LPT1 invert") << false << true;
    QTest::newRow("LPT2 normal") << true << false;
    QTest::newRow("LPT2 invert") << true << true;
}

void KeyingLineTest::parallelKeyingFollowsPolarity() {
    QFETCH(bool, secondary);
    QFETCH(bool, invert);
    KeyingRig rig;
    const QString address = secondary ? "0x3BC" : "0x378";
    const QString keyed = "out " + address + (invert ? " 0x00" : " 0x03");
    const QString unkeyed = "out " + address + (invert ? " 0x03" : " 0x00");

    if (invert)
        rig.line->Invert1Click();
    secondary ? rig.line->Printer2Click() : rig.line->Printer1Click();
    QCOMPARE(rig.io.takeEvents(), (QStringList{"claim " + address, unkeyed}));
    QCOMPARE(rig.line->KeyingPortName(), secondary ? QString("LPT2") : QString("LPT1"));
    QCOMPARE(rig.line->KeyingPortKind(), 0);
    QCOMPARE(rig.line->ParallelPortAddress(),
             std::optional<std::uint16_t>(secondary ? 0x3BC : 0x378));

    rig.line->drive(KeyingLine::Keyed);
    QCOMPARE(rig.io.takeEvents(), QStringList{keyed});
    rig.line->drive(KeyingLine::Unkeyed);
    QCOMPARE(rig.io.takeEvents(), QStringList{unkeyed});
}

void KeyingLineTest::exactlyOneSelectionIsTicked() {
    KeyingRig rig;
    rig.io.failingPorts = {"COM5"};
    rig.io.nonCommPorts = {"COM6"};
    const QStringList vox{"NoComPort", "VOX1"};
    const struct {
        Handler handler;
        QStringList ticked;
    } steps[] = {
        {&KeyingLine::COM3Click, {"COM3"}},
        {&KeyingLine::Printer2Click, {"Printer2"}},
        {&KeyingLine::VOX1Click, vox},
        {&KeyingLine::COM1Click, {"COM1"}},
        {&KeyingLine::Printer1Click, {"Printer1"}},
        {&KeyingLine::COM2Click, {"COM2"}},
        {&KeyingLine::NoComPortClick, vox},
        {&KeyingLine::COM4Click, {"COM4"}},
        {&KeyingLine::COM5Click, vox}, // fails to open
        {&KeyingLine::COM3Click, {"COM3"}},
        {&KeyingLine::COM6Click, vox}, // no terminal
        {&KeyingLine::COM4Click, {"COM4"}},
    };
    for (const auto& step : steps) {
        (rig.line.get()->*step.handler)();
        QCOMPARE(rig.ticked(), step.ticked);
        QCOMPARE(rig.io.openLines(), step.ticked == vox ? 0 : 1);
    }
    // The polarity items are ticked only by the polarity handlers.
    rig.line->Invert1Click();
    QCOMPARE(rig.ticked(), (QStringList{"COM4", "Invert1"}));
    rig.line->NormalClick();
    QCOMPARE(rig.ticked(), (QStringList{"COM4", "Normal"}));
}

void KeyingLineTest::failedSerialOpenFallsBackToVox() {
    KeyingRig rig;
    rig.io.failingPorts = {"COM2"};
    // While the message is up the failed port must not be half-selected with a line held.
    int linesDuringMessage = -1;
    rig.dialogs.onMessage = [&](const QString&, const QString&) {
        linesDuringMessage = rig.io.openLines();
    };
    rig.line->COM2Click();
    QCOMPARE(rig.dialogs.messages,
             (QList<FakeDialogs::Message>{{serialOpenFailed, commsErrorTitle}}));
    QCOMPARE(linesDuringMessage, 0);
    QCOMPARE(rig.io.takeEvents(), QStringList{"open COM2 failed"});
    QCOMPARE(rig.line->KeyingPortName(), QString("NONE"));
    QCOMPARE(rig.line->KeyingPortKind(), 1);
    QCOMPARE(rig.ticked(), (QStringList{"NoComPort", "VOX1"}));
}

void KeyingLineTest::nonTerminalFallsBackToVoxSilently() {
    KeyingRig rig;
    rig.io.nonCommPorts = {"COM4"};
    rig.line->COM4Click();
    QVERIFY(rig.dialogs.messages.isEmpty());
    // Nothing is written to a device that is no terminal; it is closed at once.
    QCOMPARE(rig.io.takeEvents(), (QStringList{"open COM4", "close COM4"}));
    QCOMPARE(rig.io.openLines(), 0);
    QCOMPARE(rig.line->KeyingPortName(), QString("NONE"));
    QCOMPARE(rig.ticked(), (QStringList{"NoComPort", "VOX1"}));
}

void KeyingLineTest::refusedParallelFallsBackToVox() {
    KeyingRig rig;
    rig.io.refuseParallel = true;
    rig.line->Printer2Click();
    QCOMPARE(rig.dialogs.messages,
             (QList<FakeDialogs::Message>{{parallelRefused, commsErrorTitle}}));
    QCOMPARE(rig.io.takeEvents(), QStringList{"claim 0x3BC refused"});
    QCOMPARE(rig.line->KeyingPortName(), QString("NONE"));
    QCOMPARE(rig.line->KeyingPortKind(), 1);
    QCOMPARE(rig.ticked(), (QStringList{"NoComPort", "VOX1"}));
    rig.line->drive(KeyingLine::Keyed);
    QVERIFY(rig.io.events().isEmpty());
}

void KeyingLineTest::voxDrivesNothing() {
    KeyingRig rig;
    rig.line->COM1Click();
    rig.line->drive(KeyingLine::Keyed);
    rig.io.takeEvents();
    rig.line->VOX1Click();
    QCOMPARE(rig.io.takeEvents(), (QStringList{"CLRDTR", "CLRRTS", "close COM1"}));
    // VOX keeps the level last asked for and moves no line, whatever the polarity does.
    QCOMPARE(rig.line->KeyingLevel(), KeyingLine::Keyed);
    rig.line->Invert1Click();
    rig.line->drive(KeyingLine::Unkeyed);
    rig.line->NormalClick();
    rig.line->SetKeyingLine(KeyingLine::Keyed);
    QVERIFY(rig.io.events().isEmpty());
    QCOMPARE(rig.line->KeyingPortName(), QString("NONE"));
}

void KeyingLineTest::switchingPortsReleasesThePreviousLineUnkeyed() {
    KeyingRig rig;
    rig.line->COM1Click();
    rig.line->COM2Click();
    rig.line->COM1Click();
    QCOMPARE(rig.io.takeEvents(),
             (QStringList{"open COM1", "CLRDTR", "CLRRTS",                                   //
                          "CLRDTR", "CLRRTS", "close COM1", "open COM2", "CLRDTR", "CLRRTS", //
                          "CLRDTR", "CLRRTS", "close COM2", "open COM1", "CLRDTR", "CLRRTS"}));
    QCOMPARE(rig.io.openLines(), 1);

    // Switching away while keyed (TUNE on) drops the old line before it is given up.
    rig.line->Invert1Click();
    rig.line->drive(KeyingLine::Keyed);
    rig.io.takeEvents();
    rig.line->Printer1Click();
    QCOMPARE(rig.io.takeEvents(),
             (QStringList{"SETDTR", "SETRTS", "close COM1", "claim 0x378", "out 0x378 0x03"}));
    QCOMPARE(rig.line->KeyingLevel(), KeyingLine::Unkeyed);
    rig.line->drive(KeyingLine::Keyed);
    rig.line->COM6Click();
    QCOMPARE(rig.io.takeEvents(), (QStringList{"out 0x378 0x00", "out 0x378 0x03", "release 0x378",
                                               "open COM6", "SETDTR", "SETRTS"}));
}

void KeyingLineTest::polarityChangeRedrivesTheLastLevel() {
    KeyingRig rig;
    rig.line->Printer1Click();
    rig.io.takeEvents();

    rig.line->Invert1Click();
    QCOMPARE(rig.io.takeEvents(), QStringList{"out 0x378 0x03"});
    QCOMPARE(rig.line->KeyingPolarity(), 2);
    rig.line->NormalClick();
    QCOMPARE(rig.io.takeEvents(), QStringList{"out 0x378 0x00"});
    QCOMPARE(rig.line->KeyingPolarity(), 1);

    // Keyed stays keyed in the new sense.
    rig.line->drive(KeyingLine::Keyed);
    rig.line->Invert1Click();
    QCOMPARE(rig.io.takeEvents(), (QStringList{"out 0x378 0x03", "out 0x378 0x00"}));
    QCOMPARE(rig.line->KeyingLevel(), KeyingLine::Keyed);

    rig.line->COM3Click();
    rig.line->drive(KeyingLine::Keyed);
    rig.io.takeEvents();
    rig.line->NormalClick();
    QCOMPARE(rig.io.takeEvents(), (QStringList{"SETDTR", "SETRTS"}));
    rig.line->Invert1Click();
    QCOMPARE(rig.io.takeEvents(), (QStringList{"CLRDTR", "CLRRTS"}));
}

void KeyingLineTest::nothingMovesBeforeASelection() {
    KeyingRig rig;
    QCOMPARE(rig.line->KeyingPortName(), QString());
    QCOMPARE(rig.line->KeyingPortKind(), 0);
    QVERIFY(!rig.line->ParallelPortAddress());
    rig.line->drive(KeyingLine::Keyed);
    rig.line->Invert1Click();
    rig.line->unkey();
    QVERIFY(rig.io.events().isEmpty());
    QCOMPARE(rig.ticked(), (QStringList{"NoComPort", "VOX1", "Invert1"}));
}

void KeyingLineTest::storedNameRunsTheMatchingHandler() {
    {
        KeyingRig rig;
        rig.line->applyStoredPort(1, "COM3");
        QCOMPARE(rig.io.takeEvents(), (QStringList{"open COM3", "CLRDTR", "CLRRTS"}));
        QCOMPARE(rig.ticked(), QStringList{"COM3"});
    }
    {
        KeyingRig rig;
        rig.line->applyStoredPort(1, "LPT2"); // the handler sets the kind again
        QCOMPARE(rig.line->KeyingPortKind(), 0);
        QCOMPARE(rig.io.takeEvents(), (QStringList{"claim 0x3BC", "out 0x3BC 0x00"}));
    }
    {
        KeyingRig rig;
        rig.line->applyStoredPort(0, "NONE");
        QCOMPARE(rig.line->KeyingPortKind(), 1);
        QCOMPARE(rig.ticked(), (QStringList{"NoComPort", "VOX1"}));
    }
    for (const char* unmatched : {"com3", "", "COM7", "LPT1 "}) {
        KeyingRig rig;
        rig.line->COM2Click();
        rig.io.takeEvents();
        rig.line->applyStoredPort(7, QString::fromLatin1(unmatched));
        QCOMPARE(rig.line->KeyingPortKind(), 7);
        QCOMPARE(rig.line->KeyingPortName(), QString::fromLatin1(unmatched));
        QCOMPARE(rig.ticked(), (QStringList{"NoComPort", "VOX1"}));
        rig.line->drive(KeyingLine::Keyed);
        QCOMPARE(rig.io.events(), (QStringList{"CLRDTR", "CLRRTS", "close COM2"}));
        QVERIFY(rig.dialogs.messages.isEmpty());
    }
}

void KeyingLineTest::destructionLeavesTheLineUnkeyed() {
    RecordingPortIo io;
    FakeDialogs dialogs;
    {
        KeyingLine line(io, dialogs, {});
        line.COM5Click();
        line.drive(KeyingLine::Keyed);
        io.takeEvents();
    }
    QCOMPARE(io.takeEvents(), (QStringList{"CLRDTR", "CLRRTS", "close COM5"}));
    {
        KeyingLine line(io, dialogs, {});
        line.Invert1Click();
        line.Printer1Click();
        line.drive(KeyingLine::Keyed);
        io.takeEvents();
    }
    QCOMPARE(io.takeEvents(), (QStringList{"out 0x378 0x03", "release 0x378"}));
    QCOMPARE(io.openLines(), 0);
}

QTEST_MAIN(KeyingLineTest)
#include "tst_keyingline.moc"
