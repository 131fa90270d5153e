// The main window's transmitter side: the keying line and its menus, the transmit buttons and
// indicators, the ID alarm, and the ways out that must unkey.
#include "app/mainwindow.h"

#include "app/look.h"
#include "app/rigdialogs.h"
#include "app/unixsignalbridge.h"
#include "keyer/keyer.h"
#include "tx/emergencyunkey.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "tx/serialports.h"
#include "tx/transmitcontrols.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <algorithm>
#include <array>

namespace {

// The Rx/Tx panel's warning is longer than its usual captions: smaller, it fits in three lines.
constexpr double kWarningFontScale = 0.8;

QColor stripColour(AlarmStrip::Colour colour) {
    switch (colour) {
    case AlarmStrip::Red:
        return look::kRed;
    case AlarmStrip::Blue:
        return look::kBlue;
    case AlarmStrip::Teal:
        break;
    }
    return look::kTeal;
}

} // namespace

void MainWindow::createTransmitter() {
    keying_ = new KeyingLine(*platform_.portIo, dialogs_, this);
    keying_->setObjectName(QStringLiteral("KeyingLine"));
    transmit_ = new TransmitControls(*keying_, this);
    transmit_->setObjectName(QStringLiteral("TransmitControls"));
    idAlarm_ = new IdAlarm(dialogs_, *platform_.beeper, this);
    idAlarm_->setObjectName(QStringLiteral("IdAlarm"));
    signalBridge_ = new UnixSignalBridge({SIGINT, SIGTERM, SIGHUP}, this);
    fatalSignals_ = std::make_unique<FatalSignalUnkey>();
}

void MainWindow::wireTransmitter() {
    const struct {
        QAction* item;
        void (KeyingLine::*handler)();
    } outputItems[] = {
        {ui_.lpt1Item, &KeyingLine::chooseLpt1},
        {ui_.lpt2Item, &KeyingLine::chooseLpt2},
        {ui_.comItems[0], &KeyingLine::chooseCom1},
        {ui_.comItems[1], &KeyingLine::chooseCom2},
        {ui_.comItems[2], &KeyingLine::chooseCom3},
        {ui_.comItems[3], &KeyingLine::chooseCom4},
        {ui_.comItems[4], &KeyingLine::chooseCom5},
        {ui_.comItems[5], &KeyingLine::chooseCom6},
        {ui_.noPortItem, &KeyingLine::chooseNoPort},
        {ui_.voxItem, &KeyingLine::chooseVox},
        {ui_.normalItem, &KeyingLine::chooseNormalPolarity},
        {ui_.invertItem, &KeyingLine::chooseInvertedPolarity},
    };
    for (const auto& output : outputItems) {
        connect(output.item, &QAction::triggered, keying_, output.handler);
        if (output.item != ui_.normalItem && output.item != ui_.invertItem)
            connect(output.item, &QAction::triggered, this,
                    [this] { chosenSerialDevice_.clear(); });
    }
    connect(keying_, &KeyingLine::choiceChanged, this, &MainWindow::showKeyingChoice);
    showKeyingChoice();
    connect(ui_.catItem, &QAction::triggered, this, &MainWindow::chooseCatKeying);
    connect(ui_.cm108Item, &QAction::triggered, this, &MainWindow::chooseCm108Keying);
    // Adapters come and go while the program runs.
    connect(ui_.outputMenu, &QMenu::aboutToShow, this, &MainWindow::listSerialPortItems);
    connect(ui_.pttLeadItem, &QAction::triggered, this,
            [this] { setPttDelay(&PttTiming::lead, tr("PTT Lead")); });
    connect(ui_.pttTailItem, &QAction::triggered, this,
            [this] { setPttDelay(&PttTiming::tail, tr("PTT Tail")); });
    for (QAction* choice : ui_.operatorPttItems)
        connect(choice, &QAction::triggered, keying_, [this, choice] {
            keying_->watchOperatorPtt(static_cast<OperatorPtt>(choice->data().toInt()));
        });
    connect(keying_, &KeyingLine::operatorPttPressed, this, &MainWindow::yieldToOperator);
    connect(keying_, &KeyingLine::operatorPttUnwatched, this, &MainWindow::showIdleStatus);

    connect(idAlarm_, &IdAlarm::switched, this, [this](bool on) {
        tickByData(std::array{ui_.idOffItem, ui_.idOnItem}, on);
    });
    connect(ui_.idOffItem, &QAction::triggered, idAlarm_, &IdAlarm::switchOff);
    connect(ui_.idOnItem, &QAction::triggered, idAlarm_, &IdAlarm::switchOn);
    connect(ui_.idSetItem, &QAction::triggered, idAlarm_, &IdAlarm::askAlarmTime);

    connect(ui_.tuneButton, &QPushButton::clicked, transmit_, &TransmitControls::toggleTune);
    connect(ui_.txEnableButton, &QPushButton::clicked, transmit_,
            &TransmitControls::toggleTxEnable);
    connect(ui_.micButton, &QPushButton::clicked, transmit_, &TransmitControls::toggleMic);

    const TxState& tx = transmit_->state();
    connect(&tx, &TxState::tuneActiveChanged, ui_.tuneButton, [button = ui_.tuneButton](bool on) {
        look::setTextColour(button, on ? look::kRed : look::kBlue);
    });
    const auto onOff = [](QPushButton* button) {
        return [button](bool on) {
            button->setText(on ? tr("ON") : tr("OFF"));
            look::setTextColour(button, on ? look::kRed : look::kBlue);
        };
    };
    connect(&tx, &TxState::txEnableChanged, ui_.txEnableButton, onOff(ui_.txEnableButton));
    connect(&tx, &TxState::txMicChanged, ui_.micButton, onOff(ui_.micButton));
    // The longer warning takes the place of the "Rx/Tx" caption too, wrapped, so it is read
    // whole.
    const QRect usual = ui_.rxTxIndicator->geometry();
    const QRect warning = usual.united(ui_.rxTxCaption->geometry());
    const QFont usualFont = ui_.rxTxIndicator->font();
    QFont warningFont = usualFont;
    warningFont.setPixelSize(qRound(usualFont.pixelSize() * kWarningFontScale));
    const auto showTransmitter = [panel = ui_.rxTxIndicator, &tx, usual, warning, usualFont,
                                  warningFont] {
        const bool unsure = tx.unkeyNotConfirmed();
        panel->setText(!tx.transmitting() ? tr("Receive")
                       : unsure           ? tr("Transmit — unkey not confirmed")
                                          : tr("Transmit"));
        look::setFillColour(panel, tx.transmitting() ? look::kRed : look::kGreen);
        panel->setWordWrap(unsure);
        panel->setFont(unsure ? warningFont : usualFont);
        panel->setGeometry(unsure ? warning : usual);
        panel->raise();
    };
    connect(&tx, &TxState::transmittingChanged, ui_.rxTxIndicator, showTransmitter);
    connect(&tx, &TxState::unkeyNotConfirmedChanged, ui_.rxTxIndicator, showTransmitter);
    connect(&idAlarm_->strip(), &AlarmStrip::colourChanged, ui_.alarmStrip,
            [panel = ui_.alarmStrip](AlarmStrip::Colour colour) {
                look::setFillColour(panel, stripColour(colour));
            });

    connect(signalBridge_, &UnixSignalBridge::signalReceived, this, &MainWindow::terminationSignal);
    // Any other end of the event loop (a device failure asks for termination without the
    // shutdown sequence) still leaves the transmitter unkeyed.
    connect(qApp, &QCoreApplication::aboutToQuit, keying_, &KeyingLine::unkey);
}

void MainWindow::chooseCatKeying() {
    // The tick stays where the line is until OK changes the line.
    showKeyingChoice();
    CatDialog dialog(rigSettings_, listSerialPorts(platform_.devRoot), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    rigSettings_ = dialog.settings();
    keying_->selectRig(rigSettings_.catTarget());
}

void MainWindow::chooseCm108Keying() {
    showKeyingChoice();
    Cm108Dialog dialog(rigSettings_, hidrawDevices(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    rigSettings_ = dialog.settings();
    keying_->selectRig(rigSettings_.cm108Target());
}

void MainWindow::listSerialPortItems() {
    qDeleteAll(serialPortItems_);
    serialPortItems_.clear();
    for (const SerialPortEntry& port : listSerialPorts(platform_.devRoot)) {
        auto* item = new QAction(port.label, ui_.outputMenu);
        item->setToolTip(port.path);
        item->setCheckable(true);
        item->setData(port.path);
        ui_.keyingPortGroup->addAction(item);
        ui_.outputMenu->insertAction(ui_.voxItem, item);
        connect(item, &QAction::triggered, this,
                [this, path = port.path] { chooseSerialDevice(path); });
        serialPortItems_.append(item);
    }
    showKeyingChoice();
}

void MainWindow::showKeyingChoice() {
    const RigTarget* rig = keying_->rigTarget();
    QString line = keying_->portName();
    if (rig)
        line = rig->kind == RigTarget::Kind::Cat ? kCatLine : kCm108Line;
    // A stored name no item offers keys nothing, as VOX; a USB port's path is ticked once the
    // menu lists it.
    const QList<QAction*> ports = ui_.keyingPortGroup->actions();
    if (!line.startsWith(QLatin1Char('/')) &&
        std::none_of(ports.begin(), ports.end(),
                     [&](QAction* port) { return port->data() == line; }))
        line = kVoxLine;
    tickByData(ports, line);
    ui_.noPortItem->setChecked(ui_.voxItem->isChecked());
    tickByData(std::array{ui_.normalItem, ui_.invertItem}, keying_->polarity());
}

void MainWindow::chooseSerialDevice(const QString& path) {
    chosenSerialDevice_ = path;
    keying_->selectSerialDevice(path);
}

void MainWindow::setPttDelay(std::chrono::milliseconds PttTiming::*delay, const QString& caption) {
    PttTiming timing = keyer_->pttTiming();
    if (const auto asked = askPttDelay(dialogs_, caption, timing.*delay)) {
        timing.*delay = *asked;
        keyer_->setPttTiming(timing);
    }
}

void MainWindow::terminationSignal() {
    if (started_) {
        // A kill or a closed terminal goes out the way the close box does.
        close();
        return;
    }
    // Only a start-up message box runs the event loop this early. The settings are half
    // applied, so nothing is saved, and the exit also ends every later start-up box at once.
    keying_->unkey();
    shutDown_ = true;
    startAbandoned_ = true;
    QCoreApplication::exit(0);
}

void MainWindow::showOperatorPtt() {
    tickByData(ui_.operatorPttItems, static_cast<int>(keying_->operatorPtt()));
}
