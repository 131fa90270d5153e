#pragma once

#include <QObject>

#include <utility>

// The hand controls of the transmitter and the receive/transmit indicator. Setters signal only
// on a change, so the window can follow them with captions and colours.
class TxState : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    bool tuning() const { return tuneActive_; }
    bool txEnabled() const { return txEnable_; }
    bool micOn() const { return txMic_; }
    // The indicator: true shows "Transmit" on red, false "Receive" on green.
    bool transmitting() const { return transmitting_; }
    // Transmitting, and the rig has not confirmed the unkey asked of it.
    bool unkeyNotConfirmed() const { return unkeyNotConfirmed_; }

    void setTuneActive(bool on) { update(tuneActive_, on, &TxState::tuneActiveChanged); }
    void setTxEnable(bool on) { update(txEnable_, on, &TxState::txEnableChanged); }
    void setTxMic(bool on) { update(txMic_, on, &TxState::txMicChanged); }
    // Both change before either is announced, so no one sees a state between them.
    void setTransmitter(bool transmitting, bool unkeyNotConfirmed) {
        const bool wasTransmitting = std::exchange(transmitting_, transmitting);
        const bool wasNotConfirmed = std::exchange(unkeyNotConfirmed_, unkeyNotConfirmed);
        if (wasTransmitting != transmitting)
            emit transmittingChanged(transmitting);
        if (wasNotConfirmed != unkeyNotConfirmed)
            emit unkeyNotConfirmedChanged(unkeyNotConfirmed);
    }

signals:
    void tuneActiveChanged(bool on);
    void txEnableChanged(bool on);
    void txMicChanged(bool on);
    void transmittingChanged(bool on);
    void unkeyNotConfirmedChanged(bool on);

private:
    void update(bool& value, bool on, void (TxState::*changed)(bool)) {
        if (value == on)
            return;
        value = on;
        emit(this->*changed)(on);
    }

    bool tuneActive_ = false;
    bool txEnable_ = false;
    bool txMic_ = false;
    bool transmitting_ = false;
    bool unkeyNotConfirmed_ = false;
};
