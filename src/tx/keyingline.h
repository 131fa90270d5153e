#pragma once

#include "support/notice.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

class Dialogs;
class ParallelLine;
class PortIo;
class QTimer;
class RigPtt;
class SerialLine;
struct InputChange;
struct RigTarget;

// What the operator's own PTT (a foot switch, a hand PTT) is read from: an input of the serial
// keying port, or the PTT state that a radio keyed by CAT reports; Off reads nothing.
enum class OperatorPtt { Off, Cts, Dsr, Rig };

// The Output menu items whose tick marks follow the keying selection. Built by the window.
// The transmitter's push-to-talk line: the selected port (parallel data bits, serial DTR/RTS, a
// rig keyed through Hamlib, or none for VOX), its polarity and the level last asked for. Every part
// of the keyer keys and unkeys through writeLevel. A serial port is named "COM1".."COM6" or, for
// a USB adapter, by its device path.
class KeyingLine : public QObject {
    Q_OBJECT

public:
    static constexpr std::uint8_t Unkeyed = 0;
    static constexpr std::uint8_t Keyed = 3;
    // A rig's key-down not confirmed within this is given up: nothing is sent on an
    // unconfirmed key.
    static constexpr std::chrono::milliseconds kKeyDownWait{3000};
    // A rig's unkey not confirmed within this is shown as such.
    static constexpr std::chrono::milliseconds kUnkeyWait{1000};
    enum PortKind : int { ParallelKind = 0, SerialKind = 1 };
    enum Polarity : int { NormalPolarity = 1, InvertPolarity = 2 };

    KeyingLine(PortIo& io, Dialogs& dialogs, QObject* parent = nullptr);
    // Leaves the line unkeyed before the port is given back, whatever keyed it.
    ~KeyingLine() override;

    // Writes the level (Unkeyed or Keyed) to the selected line, swapped under Invert.
    void writeLevel(std::uint8_t level);
    // Keeps level as the one asked for, then writeLevel: what every caller that keys or unkeys
    // does, so that a polarity change can re-drive the level last asked for.
    void drive(std::uint8_t level);
    void unkey() { drive(Unkeyed); }

    std::uint8_t level() const { return level_; }
    int polarity() const { return polarity_; }
    int portKind() const { return kind_; }
    QString portName() const { return name_; }

    // True from drive(Keyed) until keyDownConfirmed or keyingFailed.
    bool keyDownPending() const;
    // What is known of the transmitter: keyed once the key-down is confirmed, and until the
    // unkey is; a rig's unkey that has not been confirmed in time or has failed is "not
    // confirmed" until the rig takes it.
    bool transmitting() const { return transmitting_; }
    bool unkeyNotConfirmed() const { return unkeyNotConfirmed_; }

    // Keys through Hamlib from now on: a radio's CAT command or a CM108 GPIO pin. The record
    // keeps kind 1 and "NONE" for it, so another copy of the program reading it uses VOX. The
    // selection ends unkeyed, as every other; polarity does not apply to it.
    void selectRig(const RigTarget& target);
    // The rig in use, or none.
    const RigTarget* rigTarget() const;

    // Watches the operator's PTT from now on, on every port or rig selected that can show it.
    void watchOperatorPtt(OperatorPtt source);
    OperatorPtt operatorPtt() const { return operatorPtt_; }

    // The title of the boxes that say the keying port or the rig failed.
    static Notice failureTitle();

signals:
    // The level asked for changed between keyed and unkeyed; what shows the transmitter's
    // state follows this, so it cannot disagree with the line.
    void keyedChanged(bool keyed);
    // The key-down last asked for is in force at the transmitter.
    void keyDownConfirmed();
    // Keying failed and the line is released; the reason names the device and the cause.
    void keyingFailed(const Notice& reason);
    // transmitting() or unkeyNotConfirmed() changed.
    void transmitterChanged();
    // Another port, rig or VOX was chosen, or the polarity changed: what the menus show follows
    // this.
    void choiceChanged();
    // The operator's PTT went down. A rig's PTT is heard only while this program has it unkeyed.
    void operatorPttPressed();
    // The operator's PTT cannot be watched on the line in use; the reason says why.
    void operatorPttUnwatched(const QString& reason);

public:
    // A serial device chosen by its path (rather than a fixed name) is open and selected.
    bool usesDevicePath() const;

    // The configuration reader's step: the stored kind and name are taken, then the selection
    // handler whose port name equals the stored name (case-sensitive) runs. For any other name
    // no port is selected and the stored kind and name stay in force.
    void applyStoredPort(int kind, const QString& name);

public slots:
    void chooseLpt1();
    void chooseLpt2();
    void chooseCom1();
    void chooseCom2();
    void chooseCom3();
    void chooseCom4();
    void chooseCom5();
    void chooseCom6();
    void chooseNoPort();
    void chooseVox();
    void chooseNormalPolarity();
    void chooseInvertedPolarity();
    // Keys DTR and RTS of the serial device at path, opened exactly as COMn is.
    void selectSerialDevice(const QString& path);

private:
    struct Port;
    static const Port kPorts[];

    void selectPort(const Port& port);
    void selectVox();
    void openPort(const Port& port);
    void openSerialLine(const QString& name);
    void setPolarity(Polarity polarity);
    void releaseLine();
    // Keeps the fatal-signal handler's unkeying write for the line in use.
    void armEmergencyUnkey(std::uint8_t unkeyedOut);
    void rigConfirmed(bool keyed);
    void rigFailed(const Notice& reason);
    void keyDownOverdue();
    void showTransmitter();
    void startOperatorWatch();
    void operatorInput(const InputChange& change, int watch);

    PortIo& io_;
    Dialogs& dialogs_;

    std::uint8_t level_ = Unkeyed;
    int polarity_ = NormalPolarity;
    int kind_ = ParallelKind;
    QString name_;
    std::unique_ptr<SerialLine> serial_;
    std::unique_ptr<ParallelLine> parallel_;
    std::unique_ptr<RigPtt> rig_;
    bool keyDownPending_ = false;
    // One report per key-down: the unkey that follows a failure fails the same way.
    bool failureReported_ = false;
    QTimer* keyDownWait_;
    QTimer* unkeyWait_;
    // The rig has confirmed the key-down of the level in force.
    bool keyConfirmed_ = false;
    // The unkey last asked of the rig has failed or is overdue.
    bool unkeyLate_ = false;
    bool transmitting_ = false;
    bool unkeyNotConfirmed_ = false;
    OperatorPtt operatorPtt_ = OperatorPtt::Off;
    // Counts the watches started: a change still queued from one given up is not acted on.
    int operatorWatch_ = 0;
};
