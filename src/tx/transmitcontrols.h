#pragma once

#include "tx/txstate.h"

#include <QObject>

class KeyingLine;

// TUNE, Tx Enable and Tx Mic, and the receive/transmit indicator that playback and stop set too.
class TransmitControls : public QObject {
    Q_OBJECT

public:
    explicit TransmitControls(KeyingLine& line, QObject* parent = nullptr);

    TxState& state() { return state_; }
    const TxState& state() const { return state_; }

    void showTransmit() { state_.setTransmitting(true); }
    void showReceive() { state_.setTransmitting(false); }

public slots:
    // TUNE keys whatever Tx Enable says, and the next press unkeys even when a playback's end
    // has unkeyed the line already.
    void TuneBtnClick();
    // Takes effect at the next playback start; keys nothing by itself.
    void TransmitBtnClick();
    // Shown only; nothing else reads it.
    void MicBtnClick();

private:
    KeyingLine& line_;
    TxState state_;
};
