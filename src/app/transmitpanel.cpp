#include "app/transmitpanel.h"

#include "app/look.h"
#include "app/mainwindowui.h"
#include "app/station.h"
#include "tx/idalarm.h"
#include "tx/transmitcontrols.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

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

TransmitPanel::TransmitPanel(Station& station, const MainWindowUi& ui, QWidget& window)
    : QObject(&window) {
    IdAlarm& alarm = station.idAlarm();
    TransmitControls& transmit = station.transmitControls();
    connect(&alarm, &IdAlarm::switched, this, [&ui](bool on) {
        tickByData(std::array{ui.idOffItem, ui.idOnItem}, on);
    });
    connect(ui.idOffItem, &QAction::triggered, &alarm, &IdAlarm::switchOff);
    connect(ui.idOnItem, &QAction::triggered, &alarm, &IdAlarm::switchOn);
    connect(ui.idSetItem, &QAction::triggered, &alarm, &IdAlarm::askAlarmTime);

    connect(ui.tuneButton, &QPushButton::clicked, &transmit, &TransmitControls::toggleTune);
    connect(ui.txEnableButton, &QPushButton::clicked, &transmit, &TransmitControls::toggleTxEnable);
    connect(ui.micButton, &QPushButton::clicked, &transmit, &TransmitControls::toggleMic);

    const TxState& tx = transmit.state();
    connect(&tx, &TxState::tuneActiveChanged, ui.tuneButton, [button = ui.tuneButton](bool on) {
        look::setTextColour(button, on ? look::kRed : look::kBlue);
    });
    const auto onOff = [](QPushButton* button) {
        return [button](bool on) {
            button->setText(on ? tr("ON") : tr("OFF"));
            look::setTextColour(button, on ? look::kRed : look::kBlue);
        };
    };
    connect(&tx, &TxState::txEnableChanged, ui.txEnableButton, onOff(ui.txEnableButton));
    connect(&tx, &TxState::txMicChanged, ui.micButton, onOff(ui.micButton));
    // The longer warning takes the place of the "Rx/Tx" caption too, wrapped, so it is read
    // whole.
    const QRect usual = ui.rxTxIndicator->geometry();
    const QRect warning = usual.united(ui.rxTxCaption->geometry());
    const QFont usualFont = ui.rxTxIndicator->font();
    QFont warningFont = usualFont;
    warningFont.setPixelSize(qRound(usualFont.pixelSize() * kWarningFontScale));
    const auto showTransmitter = [panel = ui.rxTxIndicator, &tx, usual, warning, usualFont,
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
    connect(&tx, &TxState::transmittingChanged, ui.rxTxIndicator, showTransmitter);
    connect(&tx, &TxState::unkeyNotConfirmedChanged, ui.rxTxIndicator, showTransmitter);
    connect(&alarm.strip(), &AlarmStrip::colourChanged, ui.alarmStrip,
            [panel = ui.alarmStrip](AlarmStrip::Colour colour) {
                look::setFillColour(panel, stripColour(colour));
            });
}
