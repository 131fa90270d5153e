#include "tx/keyingline.h"

#include "support/dialogs.h"
#include "tx/emergencyunkey.h"
#include "tx/portio.h"
#include "tx/rigptt.h"

#include <QTimer>

#include <algorithm>
#include <cstring>

struct KeyingLine::Port {
    QLatin1String name;
    PortKind kind;
    std::uint16_t address; // data register of a parallel port; unused for serial kPorts
};

const KeyingLine::Port KeyingLine::kPorts[] = {
    {QLatin1String("LPT1"), ParallelKind, 0x378}, {QLatin1String("LPT2"), ParallelKind, 0x3BC},
    {QLatin1String("COM1"), SerialKind, 0},       {QLatin1String("COM2"), SerialKind, 0},
    {QLatin1String("COM3"), SerialKind, 0},       {QLatin1String("COM4"), SerialKind, 0},
    {QLatin1String("COM5"), SerialKind, 0},       {QLatin1String("COM6"), SerialKind, 0},
};

namespace {

enum PortIndex { LPT1, LPT2, COM1, COM2, COM3, COM4, COM5, COM6 };

const QLatin1String kVoxName("NONE");

// The input of the serial port that the operator's PTT drives, if it drives one.
std::optional<ModemInput> modemInputOf(OperatorPtt source) {
    if (source == OperatorPtt::Cts)
        return ModemInput::Cts;
    if (source == OperatorPtt::Dsr)
        return ModemInput::Dsr;
    return std::nullopt;
}

} // namespace

KeyingLine::KeyingLine(PortIo& io, Dialogs& dialogs, QObject* parent)
    : QObject(parent), io_(io), dialogs_(dialogs), keyDownWait_(new QTimer(this)),
      unkeyWait_(new QTimer(this)) {
    keyDownWait_->setSingleShot(true);
    keyDownWait_->setInterval(kKeyDownWait);
    connect(keyDownWait_, &QTimer::timeout, this, &KeyingLine::keyDownOverdue);
    unkeyWait_->setSingleShot(true);
    unkeyWait_->setInterval(kUnkeyWait);
    connect(unkeyWait_, &QTimer::timeout, this, [this] {
        unkeyLate_ = rig_ && rig_->mayBeKeyed();
        showTransmitter();
    });
}

KeyingLine::~KeyingLine() {
    releaseLine();
    // The program's end: a rig given up is given its chance to take the unkey.
    RigPtt::awaitGivenUp(RigPtt::kCloseWait);
}

void KeyingLine::writeLevel(std::uint8_t level) {
    std::uint8_t out = level;
    if (polarity_ == InvertPolarity) {
        if (level == Unkeyed)
            out = Keyed;
        else if (level == Keyed)
            out = Unkeyed;
    }

    armEmergencyUnkey(polarity_ == InvertPolarity ? Keyed : Unkeyed);
    if (rig_) {
        rig_->setPtt(level == Keyed);
        return;
    }
    switch (kind_) {
    case ParallelKind:
        if (parallel_)
            parallel_->write(out);
        break;
    case SerialKind:
        if (!serial_)
            break;
        if (out == Keyed) {
            serial_->setDtr();
            serial_->setRts();
        } else {
            serial_->clearDtr();
            serial_->clearRts();
        }
        break;
    default:
        break;
    }
}

// Every change of port or polarity ends in writeLevel, so the record is always current.
void KeyingLine::armEmergencyUnkey(std::uint8_t unkeyedOut) {
    LineWrite write;
    if (rig_)
        write = rig_->unkeyWrite();
    else if (kind_ == ParallelKind && parallel_)
        write = parallel_->levelWrite(unkeyedOut);
    else if (kind_ == SerialKind && serial_)
        write = serial_->levelWrite(unkeyedOut == Keyed);
    setEmergencyUnkey(write);
}

void KeyingLine::drive(std::uint8_t level) {
    const bool wasKeyed = level_ == Keyed;
    level_ = level;
    keyDownPending_ = level == Keyed && rig_;
    // A key held already stays confirmed through a repeated key-down.
    keyConfirmed_ = level == Keyed && (!rig_ || (wasKeyed && keyConfirmed_));
    if (level == Keyed)
        failureReported_ = false;
    if (rig_ && level == Keyed) {
        unkeyWait_->stop();
        keyDownWait_->start();
    } else if (rig_) {
        keyDownWait_->stop();
        // A repeated unkey does not put off the time the first one is late.
        if (!unkeyWait_->isActive())
            unkeyWait_->start();
    }
    writeLevel(level);
    // The other lines change within writeLevel.
    if (level == Keyed && !rig_)
        emit keyDownConfirmed();
    if (wasKeyed != (level == Keyed))
        emit keyedChanged(level == Keyed);
    showTransmitter();
}

bool KeyingLine::usesDevicePath() const {
    return kind_ == SerialKind && serial_ && name_.startsWith(QLatin1Char('/'));
}

bool KeyingLine::keyDownPending() const {
    return keyDownPending_;
}

void KeyingLine::selectRig(const RigTarget& target) {
    releaseLine();
    name_ = kVoxName;
    kind_ = SerialKind;
    failureReported_ = false;
    rig_ = std::make_unique<RigPtt>(target);
    emit choiceChanged();
    connect(rig_.get(), &RigPtt::pttConfirmed, this, &KeyingLine::rigConfirmed);
    connect(rig_.get(), &RigPtt::failed, this, &KeyingLine::rigFailed);
    connect(rig_.get(), &RigPtt::unkeyWriteChanged, this, [this] { armEmergencyUnkey(Unkeyed); });
    connect(rig_.get(), &RigPtt::pttHeard, this, [this] {
        if (level_ != Keyed)
            emit operatorPttPressed();
    });
    connect(rig_.get(), &RigPtt::pttNotReported, this, [this] {
        emit operatorPttUnwatched(
            tr("The operator's PTT is not watched: %1 does not report its PTT")
                .arg(rig_->deviceName()));
    });
    connect(rig_.get(), &RigPtt::mayBeKeyedChanged, this, [this](bool mayBeKeyed) {
        // A key command that left after the unkey was asked is late by then.
        unkeyLate_ = mayBeKeyed && level_ != Keyed && !unkeyWait_->isActive();
        showTransmitter();
    });
    startOperatorWatch();
    // Opens the connection, so that a rig that cannot be reached says so now.
    drive(Unkeyed);
}

const RigTarget* KeyingLine::rigTarget() const {
    return rig_ ? &rig_->target() : nullptr;
}

void KeyingLine::watchOperatorPtt(OperatorPtt source) {
    operatorPtt_ = source;
    startOperatorWatch();
}

void KeyingLine::startOperatorWatch() {
    const int watch = ++operatorWatch_;
    const std::optional<ModemInput> input = modemInputOf(operatorPtt_);
    const bool cat = rig_ && rig_->target().kind == RigTarget::Kind::Cat;
    if (serial_) {
        serial_->watchInput(input, [this, watch](InputChange change) {
            // On the watch's thread: acted on in this object's.
            QMetaObject::invokeMethod(
                this, [this, change, watch] { operatorInput(change, watch); },
                Qt::QueuedConnection);
        });
    }
    if (cat)
        rig_->listenForPtt(operatorPtt_ == OperatorPtt::Rig);
    if (input && !serial_)
        emit operatorPttUnwatched(
            tr("The operator's PTT is not watched: it needs a serial keying port"));
    else if (operatorPtt_ == OperatorPtt::Rig && !cat)
        emit operatorPttUnwatched(
            tr("The operator's PTT is not watched: it needs a radio keyed by CAT"));
}

void KeyingLine::operatorInput(const InputChange& change, int watch) {
    if (watch != operatorWatch_ || !serial_)
        return;
    if (change.kind == InputChange::Kind::Asserted)
        emit operatorPttPressed();
    else if (change.kind == InputChange::Kind::Unwatchable)
        emit operatorPttUnwatched(
            tr("The operator's PTT is not watched: %1 cannot show its %2 (%3)")
                .arg(name_, inputName(modemInputOf(operatorPtt_).value_or(ModemInput::Cts)),
                     QString::fromLocal8Bit(std::strerror(change.error))));
}

void KeyingLine::rigConfirmed(bool keyed) {
    // The rig has taken what was asked last: no unkey is outstanding.
    unkeyWait_->stop();
    unkeyLate_ = false;
    if (keyed && keyDownPending_ && level_ == Keyed) {
        keyDownPending_ = false;
        keyConfirmed_ = true;
        keyDownWait_->stop();
        emit keyDownConfirmed();
    }
    showTransmitter();
}

Notice KeyingLine::failureTitle() {
    return translatable("KeyingLine", "Communications I/O Error");
}

void KeyingLine::rigFailed(const Notice& reason) {
    keyDownPending_ = false;
    keyConfirmed_ = false;
    keyDownWait_->stop();
    if (level_ != Keyed)
        unkeyLate_ = rig_ && rig_->mayBeKeyed();
    showTransmitter();
    if (failureReported_)
        return;
    failureReported_ = true;
    if (level_ == Keyed)
        emit keyingFailed(reason);
    else // nothing is transmitting that could be stopped: the operator is told here
        dialogs_.showMessage(reason, failureTitle());
}

void KeyingLine::keyDownOverdue() {
    if (rig_ && keyDownPending_ && level_ == Keyed)
        rigFailed(translatable("KeyingLine", "%1: the key-down was not confirmed within %2 s, so "
                                             "the transmission is refused")
                      .arg(rig_->deviceName())
                      .arg(std::chrono::duration<double>(kKeyDownWait).count()));
}

// A rig that may have been keyed shows keyed until it confirms the unkey; a key-down still
// waiting for its confirmation does not show.
void KeyingLine::showTransmitter() {
    const bool keyed = level_ == Keyed && keyConfirmed_;
    const bool rigMayBeKeyed = rig_ && rig_->mayBeKeyed();
    const bool notConfirmed = !keyed && rigMayBeKeyed && unkeyLate_;
    const bool transmitting = keyed || notConfirmed || (rigMayBeKeyed && !keyDownPending_);
    if (transmitting == transmitting_ && notConfirmed == unkeyNotConfirmed_)
        return;
    transmitting_ = transmitting;
    unkeyNotConfirmed_ = notConfirmed;
    emit transmitterChanged();
}

void KeyingLine::applyStoredPort(int kind, const QString& name) {
    if (name == kVoxName) {
        chooseVox();
        return;
    }
    const auto match = std::find_if(std::begin(kPorts), std::end(kPorts),
                                    [&](const Port& port) { return name == port.name; });
    if (match != std::end(kPorts)) {
        selectPort(*match);
        return;
    }
    releaseLine();
    kind_ = kind;
    name_ = name;
    emit choiceChanged();
    showTransmitter();
}

void KeyingLine::chooseLpt1() {
    selectPort(kPorts[LPT1]);
}
void KeyingLine::chooseLpt2() {
    selectPort(kPorts[LPT2]);
}
void KeyingLine::chooseCom1() {
    selectPort(kPorts[COM1]);
}
void KeyingLine::chooseCom2() {
    selectPort(kPorts[COM2]);
}
void KeyingLine::chooseCom3() {
    selectPort(kPorts[COM3]);
}
void KeyingLine::chooseCom4() {
    selectPort(kPorts[COM4]);
}
void KeyingLine::chooseCom5() {
    selectPort(kPorts[COM5]);
}
void KeyingLine::chooseCom6() {
    selectPort(kPorts[COM6]);
}
void KeyingLine::chooseNoPort() {
    selectVox();
}
void KeyingLine::chooseVox() {
    selectVox();
}
void KeyingLine::chooseNormalPolarity() {
    setPolarity(NormalPolarity);
}
void KeyingLine::chooseInvertedPolarity() {
    setPolarity(InvertPolarity);
}

void KeyingLine::selectSerialDevice(const QString& path) {
    releaseLine();
    name_ = path;
    kind_ = SerialKind;
    emit choiceChanged();
    openSerialLine(path);
    // As for COMn: the open raised DTR and RTS.
    drive(Unkeyed);
}

void KeyingLine::selectPort(const Port& port) {
    releaseLine();
    name_ = port.name;
    kind_ = port.kind;
    emit choiceChanged();
    openPort(port);
    if (parallel_)
        startOperatorWatch();
    // Linux raises DTR and RTS when a tty opens, so a freshly opened serial line may be keying
    // the transmitter already: nothing may run between the open and this write.
    drive(Unkeyed);
}

void KeyingLine::selectVox() {
    releaseLine();
    name_ = kVoxName;
    kind_ = SerialKind;
    emit choiceChanged();
    showTransmitter();
    startOperatorWatch();
}

// A refused port falls back to VOX before its box is shown: what the box's nested event loop
// runs meanwhile (a shutdown that saves the settings) must see the line in effect.
void KeyingLine::openPort(const Port& port) {
    if (kind_ == SerialKind) {
        openSerialLine(port.name);
    } else if (kind_ == ParallelKind) {
        ParallelOpen opened = io_.openParallel(port.address);
        parallel_ = std::move(opened.line);
        if (!parallel_) {
            selectVox();
            dialogs_.showMessage(translatable("KeyingLine", "Could not use the printer port: %1")
                                     .arg(opened.problem),
                                 failureTitle());
        }
    }
}

void KeyingLine::openSerialLine(const QString& name) {
    SerialOpen opened = io_.openSerial(name);
    auto line = std::move(opened.line);
    if (!line) {
        selectVox();
        Notice text = translatable("KeyingLine", "Failed to open the comms device");
        if (!opened.held.isEmpty())
            text += QLatin1Char('\n') + opened.held;
        else if (!opened.device.isEmpty() && opened.error != 0)
            text += QStringLiteral("\n%1: %2")
                        .arg(opened.device, QString::fromLocal8Bit(std::strerror(opened.error)));
        dialogs_.showMessage(text, failureTitle());
        return;
    }
    if (!line->isCommDevice()) {
        line.reset();
        selectVox();
        return;
    }
    serial_ = std::move(line);
    startOperatorWatch();
}

void KeyingLine::setPolarity(Polarity polarity) {
    polarity_ = polarity;
    emit choiceChanged();
    writeLevel(level_);
}

void KeyingLine::releaseLine() {
    // The line being given up is left unkeyed: a switch of port (or the program's end) while
    // TUNE or a playback holds it keyed must not leave the transmitter on the air.
    if (serial_ || parallel_)
        writeLevel(Unkeyed);
    setEmergencyUnkey({});
    serial_.reset();
    parallel_.reset();
    // Its own thread unkeys the rig; nothing here waits for it.
    rig_.reset();
    keyDownPending_ = false;
    // Whatever comes next is not a rig: the level asked is the level in force.
    keyConfirmed_ = level_ == Keyed;
    unkeyLate_ = false;
    keyDownWait_->stop();
    unkeyWait_->stop();
}
