#include "tx/transmitcontrols.h"

#include "tx/keyingline.h"

TransmitControls::TransmitControls(KeyingLine& line, QObject* parent)
    : QObject(parent), line_(line) {}

void TransmitControls::TuneBtnClick() {
    const bool turningOn = !state_.TuneActive();
    state_.setTuneActive(turningOn);
    if (turningOn) {
        showTransmit();
        line_.drive(KeyingLine::Keyed);
    } else {
        showReceive();
        line_.drive(KeyingLine::Unkeyed);
    }
}

void TransmitControls::TransmitBtnClick() {
    state_.setTxEnable(!state_.TxEnable());
}

void TransmitControls::MicBtnClick() {
    state_.setTxMic(!state_.TxMic());
}
