// The main window's transmitter side: the keying line and its menus, the transmit buttons and
// indicators, the ID alarm, and the ways out that must unkey.
#include "app/mainwindow.h"

#include "app/catdialog.h"
#include "app/cm108dialog.h"
#include "app/look.h"
#include "app/station.h"
#include "app/unixsignalbridge.h"
#include "keyer/keyer.h"
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

void MainWindow::wireTransmitter() {
    KeyingLine& line = station_->keyingLine();
    IdAlarm& alarm = station_->idAlarm();
    TransmitControls& transmit = station_->transmitControls();
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
        connect(output.item, &QAction::triggered, &line, output.handler);
        if (output.item != ui_.normalItem && output.item != ui_.invertItem)
            connect(output.item, &QAction::triggered, station_, &Station::forgetSerialDevice);
    }
    connect(&line, &KeyingLine::choiceChanged, this, &MainWindow::showKeyingChoice);
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
        connect(choice, &QAction::triggered, &line, [&line, choice] {
            line.watchOperatorPtt(static_cast<OperatorPtt>(choice->data().toInt()));
        });
    connect(&line, &KeyingLine::operatorPttPressed, this, &MainWindow::yieldToOperator);
    connect(&line, &KeyingLine::operatorPttUnwatched, this, &MainWindow::showIdleStatus);

    connect(&alarm, &IdAlarm::switched, this, [this](bool on) {
        tickByData(std::array{ui_.idOffItem, ui_.idOnItem}, on);
    });
    connect(ui_.idOffItem, &QAction::triggered, &alarm, &IdAlarm::switchOff);
    connect(ui_.idOnItem, &QAction::triggered, &alarm, &IdAlarm::switchOn);
    connect(ui_.idSetItem, &QAction::triggered, &alarm, &IdAlarm::askAlarmTime);

    connect(ui_.tuneButton, &QPushButton::clicked, &transmit, &TransmitControls::toggleTune);
    connect(ui_.txEnableButton, &QPushButton::clicked, &transmit,
            &TransmitControls::toggleTxEnable);
    connect(ui_.micButton, &QPushButton::clicked, &transmit, &TransmitControls::toggleMic);

    const TxState& tx = transmit.state();
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
    connect(&alarm.strip(), &AlarmStrip::colourChanged, ui_.alarmStrip,
            [panel = ui_.alarmStrip](AlarmStrip::Colour colour) {
                look::setFillColour(panel, stripColour(colour));
            });

    connect(signalBridge_, &UnixSignalBridge::signalReceived, this, &MainWindow::terminationSignal);
}

void MainWindow::chooseCatKeying() {
    // The tick stays where the line is until OK changes the line.
    showKeyingChoice();
    CatDialog dialog(station_->rigSettings(), listSerialPorts(station_->platform().devRoot), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    station_->keyThroughRig(dialog.settings(), RigSettings::Keying::Cat);
}

void MainWindow::chooseCm108Keying() {
    showKeyingChoice();
    Cm108Dialog dialog(station_->rigSettings(), hidrawDevices(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    station_->keyThroughRig(dialog.settings(), RigSettings::Keying::Cm108);
}

void MainWindow::listSerialPortItems() {
    qDeleteAll(serialPortItems_);
    serialPortItems_.clear();
    for (const SerialPortEntry& port : listSerialPorts(station_->platform().devRoot)) {
        auto* item = new QAction(port.label, ui_.outputMenu);
        item->setToolTip(port.path);
        item->setCheckable(true);
        item->setData(port.path);
        ui_.keyingPortGroup->addAction(item);
        ui_.outputMenu->insertAction(ui_.voxItem, item);
        connect(item, &QAction::triggered, this,
                [this, path = port.path] { station_->chooseSerialDevice(path); });
        serialPortItems_.append(item);
    }
    showKeyingChoice();
}

void MainWindow::showKeyingChoice() {
    const RigTarget* rig = station_->keyingLine().rigTarget();
    QString line = station_->keyingLine().portName();
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
    tickByData(std::array{ui_.normalItem, ui_.invertItem}, station_->keyingLine().polarity());
}

void MainWindow::setPttDelay(std::chrono::milliseconds PttTiming::*delay, const QString& caption) {
    Keyer& keyer = station_->keyer();
    PttTiming timing = keyer.pttTiming();
    if (const auto asked = askPttDelay(station_->dialogs(), caption, timing.*delay)) {
        timing.*delay = *asked;
        keyer.setPttTiming(timing);
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
    station_->abandonStart();
    shutDown_ = true;
    QCoreApplication::exit(0);
}

void MainWindow::showOperatorPtt() {
    tickByData(ui_.operatorPttItems, static_cast<int>(station_->keyingLine().operatorPtt()));
}
