#include "app/remotecontrol.h"

#include "app/tavrin.h"
#include "keyer/keyer.h"
#include "keyer/messagefile.h"
#include "tx/transmitcontrols.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QTextEdit>
#include <QTimer>

#include <memory>
#include <utility>

namespace {
const QString kBaseService = QStringLiteral("org.tavrin.Tavrin");
const QString kStop = QStringLiteral("Stop");
const QString kBoxWaits = QStringLiteral("a box in the keyer's window waits for an answer");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QStringList kStateProperties{
    QStringLiteral("State"),    QStringLiteral("Memory"),       QStringLiteral("Looping"),
    QStringLiteral("Tuning"),   QStringLiteral("Transmitting"), QStringLiteral("UnkeyNotConfirmed"),
    QStringLiteral("TxEnabled")};
const QStringList kMemoryProperties{QStringLiteral("Present"), QStringLiteral("Lengths"),
                                    QStringLiteral("Notes")};
} // namespace

QString remote::serviceName(const QString& instance) {
    return instance.isEmpty() ? kBaseService : kBaseService + QLatin1Char('.') + instance;
}

RemoteControl::RemoteControl(TTavrin& window)
    : QObject(&window), window_(window), bus_(QStringLiteral("unpublished")) {
    qDBusRegisterMetaType<QList<bool>>();
    qDBusRegisterMetaType<QList<double>>();
    const KeyerState& keyer = window.keyerState();
    for (auto changed : {&KeyerState::recordActiveChanged, &KeyerState::playActiveChanged,
                         &KeyerState::playFileOpenChanged, &KeyerState::loopActiveChanged})
        connect(&keyer, changed, this, &RemoteControl::announce);
    connect(&keyer, &KeyerState::selectedMemoryChanged, this, &RemoteControl::announce);
    const TxState& tx = window.transmitControls().state();
    for (auto changed : {&TxState::tuneActiveChanged, &TxState::transmittingChanged,
                         &TxState::unkeyNotConfirmedChanged, &TxState::txEnableChanged})
        connect(&tx, changed, this, &RemoteControl::announce);
}

bool RemoteControl::publish(QDBusConnection bus, const QString& service, QString& error) {
    if (!bus.isConnected()) {
        error = QStringLiteral("no session bus: %1").arg(bus.lastError().message());
        return false;
    }
    // Never queued behind, nor taking over from, a keyer that holds the name already.
    const auto reply =
        bus.interface()->registerService(service, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        error = QStringLiteral("the session bus refused the name %1: %2")
                    .arg(service, reply.error().message());
        return false;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        error = QStringLiteral("the name %1 is taken; start with --instance NAME").arg(service);
        return false;
    }
    if (!bus.registerObject(remote::kObjectPath, this,
                            QDBusConnection::ExportAllSlots |
                                QDBusConnection::ExportAllProperties)) {
        error = bus.lastError().message();
        return false;
    }
    bus_ = bus;
    announced_.clear();
    announce();
    return true;
}

QString RemoteControl::state() const {
    const KeyerState& keyer = window_.keyerState();
    if (keyer.recordActive())
        return QStringLiteral("recording");
    // PLAY stays lit while a box tells why the message cannot be played; nothing plays then.
    if (keyer.playActive() && keyer.playFileOpen())
        return QStringLiteral("playing");
    // A pause keeps the message open where it was left.
    if (keyer.playFileOpen())
        return QStringLiteral("paused");
    return QStringLiteral("idle");
}

int RemoteControl::memory() const {
    return window_.keyerState().selectedMemory();
}

bool RemoteControl::looping() const {
    return window_.keyerState().loopActive();
}

bool RemoteControl::tuning() const {
    return window_.transmitControls().state().TuneActive();
}

bool RemoteControl::transmitting() const {
    return window_.transmitControls().state().transmitting();
}

bool RemoteControl::unkeyNotConfirmed() const {
    return window_.transmitControls().state().unkeyNotConfirmed();
}

bool RemoteControl::txEnabled() const {
    return window_.transmitControls().state().TxEnable();
}

QList<bool> RemoteControl::present() const {
    QList<bool> present;
    for (const double seconds : lengths())
        present << (seconds > 0);
    return present;
}

QList<double> RemoteControl::lengths() const {
    QList<double> lengths;
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot) {
        const OpenedMessage message = openMessageFile(window_.memories().path(slot));
        const double bytesPerSecond =
            double(message.format.samplesPerSecond) * message.format.blockAlign;
        lengths << (message.result == HeaderResult::Ok && bytesPerSecond > 0
                        ? message.dataBytes / bytesPerSecond
                        : 0.0);
    }
    return lengths;
}

QStringList RemoteControl::notes() const {
    QStringList notes;
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        notes << window_.memories().note(slot);
    // The selected memory's note is what the window shows, saved or not yet.
    notes[memory() - 1] = window_.ui().MessageWindow->toPlainText();
    return notes;
}

void RemoteControl::Play(int memory) {
    if (refuseBadMemory(QStringLiteral("Play"), memory))
        return;
    // PLAY on the selected memory, as the operator presses it: again while it plays pauses.
    run(
        [this, memory] {
            window_.keyer().MemBtnClick(memory);
            if (window_.keyerState().selectedMemory() == memory)
                window_.keyer().PlayBtnClick();
        },
        [this, memory] {
            // A message that cannot be played is refused with a box while PLAY is still lit.
            return this->memory() == memory &&
                   (state() == QLatin1String("paused") ||
                    (state() == QLatin1String("playing") && window_.keyer().deviceInUse()));
        },
        QStringLiteral("Play %1").arg(memory));
}

void RemoteControl::Record(int memory) {
    if (refuseBadMemory(QStringLiteral("Record"), memory))
        return;
    run(
        [this, memory] {
            window_.keyer().MemBtnClick(memory);
            if (window_.keyerState().selectedMemory() == memory)
                window_.keyer().RecordBtnClick();
        },
        [this, memory] {
            return this->memory() == memory && state() == QLatin1String("recording") &&
                   window_.keyer().deviceInUse();
        },
        QStringLiteral("Record %1").arg(memory));
}

void RemoteControl::Select(int memory) {
    if (refuseBadMemory(QStringLiteral("Select"), memory))
        return;
    run([this, memory] { window_.keyer().MemBtnClick(memory); },
        [this, memory] { return this->memory() == memory; },
        QStringLiteral("Select %1").arg(memory));
}

void RemoteControl::Stop() {
    run([this] { window_.keyer().StopBtnClick(); }, [] { return true; }, kStop);
}

void RemoteControl::Tune(bool on) {
    run(
        [this, on] {
            if (tuning() != on)
                window_.transmitControls().TuneBtnClick();
        },
        [this, on] { return tuning() == on; }, QStringLiteral("Tune"));
}

void RemoteControl::TxEnable(bool on) {
    run(
        [this, on] {
            if (txEnabled() != on)
                window_.transmitControls().TransmitBtnClick();
        },
        [this, on] { return txEnabled() == on; }, QStringLiteral("TxEnable"));
}

bool RemoteControl::refuseBadMemory(const QString& what, int memory) {
    if (MemorySlots::isSlot(memory))
        return false;
    sendErrorReply(remote::kRefused, QStringLiteral("%1 %2 refused: memories are 1 to %3")
                                         .arg(what)
                                         .arg(memory)
                                         .arg(MemorySlots::kSlots));
    return true;
}

void RemoteControl::run(std::function<void()> handler, std::function<bool()> tookEffect,
                        const QString& what) {
    setDelayedReply(true);
    const QDBusMessage call = message();
    // From the event loop, as a click: a playback or recording runs its loop in the handler.
    QTimer::singleShot(0, this, [this, call, handler, tookEffect, what] {
        // A modal box or dialog keeps the operator's hands off the buttons until it is
        // answered; only STOP, which ends and unkeys whatever runs, gets past it.
        const bool stop = what == kStop;
        if (QApplication::activeModalWidget() && !stop) {
            bus_.send(call.createErrorReply(remote::kRefused,
                                            QStringLiteral("%1 refused: %2").arg(what, kBoxWaits)));
            return;
        }
        const auto answered = std::make_shared<bool>(false);
        const auto answer = [this, call, tookEffect, what, stop, answered] {
            if (std::exchange(*answered, true))
                return;
            QString why;
            // The handler's boxes tell of failures: a message that cannot be played, a device
            // that cannot be opened.
            if (QApplication::activeModalWidget() && !stop)
                why = kBoxWaits;
            else if (!tookEffect())
                why = QStringLiteral("the keyer is %1%2")
                          .arg(state() == QLatin1String("idle")
                                   ? state()
                                   : QStringLiteral("%1 %2").arg(state()).arg(memory()),
                               tuning() ? QStringLiteral(", tuning") : QString());
            bus_.send(why.isEmpty()
                          ? call.createReply()
                          : call.createErrorReply(remote::kRefused,
                                                  QStringLiteral("%1 refused: %2").arg(what, why)));
        };
        // The first event a started loop lets through; a handler that returns at once answers
        // on its return.
        QTimer::singleShot(0, this, answer);
        handler();
        answer();
    });
}

void RemoteControl::announce() {
    if (!bus_.isConnected())
        return;
    QVariantMap changed;
    for (const QString& name : kStateProperties) {
        const QVariant value = property(name.toLatin1().constData());
        if (announced_.value(name) != value)
            changed.insert(name, value);
    }
    if (changed.isEmpty())
        return;
    announced_.insert(changed);
    QDBusMessage signal = QDBusMessage::createSignal(remote::kObjectPath, kPropertiesInterface,
                                                     QStringLiteral("PropertiesChanged"));
    signal << remote::kInterface << changed << kMemoryProperties;
    bus_.send(signal);
}
