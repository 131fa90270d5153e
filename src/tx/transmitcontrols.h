#pragma once

#include "tx/txstate.h"

#include <QObject>

class KeyingLine;

// TUNE, Tx Enable and Tx Mic, and the receive/transmit indicator. TUNE's flag and the indicator
// follow the keying line, whoever drives it.
class TransmitControls : public QObject {
    Q_OBJECT

public:
    explicit TransmitControls(KeyingLine& line, QObject* parent = nullptr);

    TxState& state() { return state_; }
    const TxState& state() const { return state_; }

public slots:
    // TUNE keys whatever Tx Enable says; the next press, or anything else that unkeys the
    // line, ends it.
    void toggleTune();
    // Takes effect at the next playback start; keys nothing by itself.
    void toggleTxEnable();
    // Shown only; nothing else reads it.
    void toggleMic();

private:
    KeyingLine& line_;
    TxState state_;
};
