#include "tx/transmitcontrols.h"

#include "tx/keyingline.h"

TransmitControls::TransmitControls(KeyingLine& line, QObject* parent)
    : QObject(parent), line_(line) {
    // Whatever unkeys the line ends TUNE too: TUNE never claims a keyed transmitter that is not.
    connect(&line_, &KeyingLine::keyedChanged, this, [this](bool keyed) {
        if (!keyed)
            state_.setTuneActive(false);
    });
    // The indicator tells what the transmitter has confirmed, not what was asked of it.
    connect(&line_, &KeyingLine::transmitterChanged, this,
            [this] { state_.setTransmitter(line_.transmitting(), line_.unkeyNotConfirmed()); });
}

void TransmitControls::toggleTune() {
    if (state_.tuning()) {
        line_.unkey();
        return;
    }
    state_.setTuneActive(true);
    line_.drive(KeyingLine::Keyed);
}

void TransmitControls::toggleTxEnable() {
    state_.setTxEnable(!state_.txEnabled());
}

void TransmitControls::toggleMic() {
    state_.setTxMic(!state_.micOn());
}
