#include "app/remotecontrol.h"

#include "app/station.h"
#include "keyer/exchange.h"
#include "keyer/keyer.h"
#include "keyer/messagefile.h"
#include "keyer/notebox.h"
#include "tx/transmitcontrols.h"

#include <QDir>

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMetaType>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <memory>
#include <utility>

namespace {
const QString kBaseService = QStringLiteral("org.tavrin.Tavrin");
const QString kStop = QStringLiteral("Stop");
const QString kBoxWaits = QStringLiteral("a box in the keyer's window waits for an answer");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QStringList kProperties{QStringLiteral("State"),        QStringLiteral("Memory"),
                              QStringLiteral("File"),         QStringLiteral("Looping"),
                              QStringLiteral("LoopDelay"),    QStringLiteral("Tuning"),
                              QStringLiteral("Transmitting"), QStringLiteral("UnkeyNotConfirmed"),
                              QStringLiteral("TxEnabled"),    QStringLiteral("Present"),
                              QStringLiteral("Lengths"),      QStringLiteral("Notes"),
                              QStringLiteral("Bank"),         QStringLiteral("Banks")};
// The Loop Delay menu and the configuration keep the delay in tenths of a second.
constexpr double kTenthsPerSecond = 10;
constexpr double kShortestLoopDelaySeconds = 0.1;
// Far past the menu's longest: a repetition an hour apart is no loop any more.
constexpr double kLongestLoopDelaySeconds = 3600;
// How often an answer looks whether the interrupted message has let go of the device.
} // namespace

QString remote::serviceName(const QString& instance) {
    return instance.isEmpty() ? kBaseService : kBaseService + QLatin1Char('.') + instance;
}

RemoteControl::RemoteControl(Station& station, const NoteBox& notes)
    : QObject(&station), station_(station), notes_(notes), bus_(QStringLiteral("unpublished")) {
    qDBusRegisterMetaType<QList<bool>>();
    qDBusRegisterMetaType<QList<double>>();
    const KeyerState& keyer = station.keyerState();
    connect(&keyer, &KeyerState::phaseChanged, this, &RemoteControl::announce);
    connect(&keyer, &KeyerState::loopActiveChanged, this, &RemoteControl::announce);
    connect(&keyer, &KeyerState::selectedMemoryChanged, this, &RemoteControl::announce);
    connect(&keyer, &KeyerState::loopDelayChanged, this, &RemoteControl::announce);
    connect(&keyer, &KeyerState::currentMessageFileChanged, this, &RemoteControl::announce);
    connect(&station, &Station::slotLengthsRead, this, &RemoteControl::announce);
    connect(&station.keyer(), &Keyer::messageEnded, this, &RemoteControl::messageEnded);
    connect(&notes, &NoteBox::textChanged, this, &RemoteControl::announce);
    announceTimer_.setSingleShot(true);
    connect(&announceTimer_, &QTimer::timeout, this, &RemoteControl::announceChanges);
    const TxState& tx = station.transmitControls().state();
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
    announceChanges();
    return true;
}

QString RemoteControl::state() const {
    switch (phase()) {
    case KeyerPhase::Recording:
        return QStringLiteral("recording");
    case KeyerPhase::Playing:
        return QStringLiteral("playing");
    case KeyerPhase::Paused:
        return QStringLiteral("paused");
    case KeyerPhase::Idle:
        break;
    }
    return QStringLiteral("idle");
}

KeyerPhase RemoteControl::phase() const {
    return station_.keyerState().phase();
}

int RemoteControl::memory() const {
    return station_.keyerState().selectedMemory();
}

QString RemoteControl::file() const {
    const KeyerState& keyer = station_.keyerState();
    // A paused message resumes whatever memory has been selected since.
    const QString& sounding = keyer.playFileOpen() ? keyer.playFile() : keyer.currentMessageFile();
    return phase() == KeyerPhase::Idle || sounding == station_.memories().path(memory()) ? QString()
                                                                                         : sounding;
}

bool RemoteControl::looping() const {
    return station_.keyerState().loopActive();
}

double RemoteControl::loopDelay() const {
    return station_.keyerState().loopDelay() / kTenthsPerSecond;
}

bool RemoteControl::tuning() const {
    return station_.transmitControls().state().tuning();
}

bool RemoteControl::transmitting() const {
    return station_.transmitControls().state().transmitting();
}

bool RemoteControl::unkeyNotConfirmed() const {
    return station_.transmitControls().state().unkeyNotConfirmed();
}

bool RemoteControl::txEnabled() const {
    return station_.transmitControls().state().txEnabled();
}

QList<bool> RemoteControl::present() const {
    QList<bool> present;
    const QList<double> seconds = lengths();
    // A memory kept as a template plays whether or not it holds a recording.
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        present << (seconds[slot - 1] > 0 ||
                    !station_.keyer().templates().templateOf(slot).isEmpty());
    return present;
}

// What the memory buttons show: a grey button is an empty memory.
QList<double> RemoteControl::lengths() const {
    QList<double> lengths;
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        lengths << std::chrono::duration<double>(station_.slotLength(slot)).count();
    return lengths;
}

QStringList RemoteControl::notes() const {
    QStringList notes;
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        notes << station_.memories().note(slot);
    // The selected memory's note is what the window shows, saved or not yet.
    notes[memory() - 1] = notes_.text();
    return notes;
}

QString RemoteControl::bank() const {
    return station_.chosenBank();
}

QStringList RemoteControl::banks() const {
    return station_.bankNames();
}

void RemoteControl::SelectBank(const QString& name) {
    const QString what = QStringLiteral("SelectBank %1").arg(name);
    if (refuseInvalid(
            !banks().contains(name, Qt::CaseInsensitive),
            QStringLiteral("%1: the banks are %2").arg(what, banks().join(QStringLiteral(", ")))))
        return;
    run([this, name] { station_.chooseBank(name); },
        [this, name] { return bank().compare(name, Qt::CaseInsensitive) == 0; }, what);
}

void RemoteControl::Play(int memory) {
    if (refuseBadMemory(QStringLiteral("Play"), memory))
        return;
    // Tried before the click, so that what is missing comes back as the caller's mistake; the
    // click assembles it again.
    Keyer& keyer = station_.keyer();
    if (!keyer.templates().templateOf(memory).isEmpty() && phase() != KeyerPhase::Recording) {
        const Assembly assembly = keyer.templates().assembleTemplate(memory);
        if (refuseInvalid(assembly.missing,
                          QStringLiteral("Play %1: %2").arg(memory).arg(assembly.why.source())))
            return;
    }
    run([this, memory] { station_.keyer().playMemory(memory); },
        [this, memory] {
            // A message that cannot be played is refused with a box while PLAY is still lit.
            return this->memory() == memory && file().isEmpty() && phase() == KeyerPhase::Playing &&
                   station_.keyer().deviceInUse();
        },
        QStringLiteral("Play %1").arg(memory));
}

void RemoteControl::PlayFile(const QString& path) {
    const QString what = QStringLiteral("PlayFile %1").arg(path);
    if (refuseInvalid(!QDir::isAbsolutePath(path), what + QStringLiteral(": not an absolute path")))
        return;
    playFile(path, what);
}

void RemoteControl::Say(const QString& text) {
    const QString what = QStringLiteral("Say %1").arg(text);
    const Assembly assembly = station_.keyer().templates().assembleSay(text);
    if (refuseInvalid(assembly.missing, QStringLiteral("%1: %2").arg(what, assembly.why.source())))
        return;
    // A message playing the last exchange goes on from the file it opened until it gives way.
    if (!assembly.ok()) {
        sendErrorReply(remote::kRefused, QStringLiteral("%1: %2").arg(what, assembly.why.source()));
        return;
    }
    playFile(station_.keyer().templates().exchangeFile(), what);
}

void RemoteControl::SetField(const QString& name, const QString& value) {
    const QString why = station_.keyer().templates().fields().set(name, value);
    refuseInvalid(!why.isEmpty(), QStringLiteral("SetField %1: %2").arg(name, why));
}

QString RemoteControl::Field(const QString& name) {
    const QString field = name.trimmed().toLower();
    if (refuseInvalid(!ExchangeFields::names().contains(field),
                      QStringLiteral("Field %1: the fields are %2")
                          .arg(name, ExchangeFields::names().join(QStringLiteral(", ")))))
        return {};
    return station_.keyer().templates().fields().value(field);
}

void RemoteControl::playFile(const QString& path, const QString& what) {
    run(
        [this, path] {
            Keyer& keyer = station_.keyer();
            if (phase() == KeyerPhase::Recording)
                return;
            // A message playing gives way as it does to an F-key; a paused one is closed by
            // opening the new file, which checks it as PLAY does.
            if (phase() == KeyerPhase::Playing)
                keyer.stop();
            keyer.chooseMessageFile(path);
            if (phase() == KeyerPhase::Idle || keyer.readMessageHeader(path))
                keyer.play();
        },
        [this, path] {
            return station_.keyerState().currentMessageFile() == path &&
                   phase() == KeyerPhase::Playing && station_.keyer().deviceInUse();
        },
        what);
}

void RemoteControl::Pause() {
    const auto before = std::make_shared<KeyerPhase>();
    run(
        [this, before] {
            *before = phase();
            if (*before == KeyerPhase::Playing || *before == KeyerPhase::Paused)
                station_.keyer().play();
        },
        [this, before] {
            return (*before == KeyerPhase::Playing && phase() == KeyerPhase::Paused) ||
                   (*before == KeyerPhase::Paused && phase() == KeyerPhase::Playing);
        },
        QStringLiteral("Pause"));
}

void RemoteControl::Record(int memory) {
    if (refuseBadMemory(QStringLiteral("Record"), memory))
        return;
    run(
        [this, memory] {
            station_.keyer().selectMemory(memory);
            if (station_.keyerState().selectedMemory() == memory)
                station_.keyer().record();
        },
        [this, memory] {
            return this->memory() == memory && phase() == KeyerPhase::Recording &&
                   station_.keyer().deviceInUse();
        },
        QStringLiteral("Record %1").arg(memory));
}

void RemoteControl::Select(int memory) {
    if (refuseBadMemory(QStringLiteral("Select"), memory))
        return;
    run([this, memory] { station_.keyer().selectMemory(memory); },
        [this, memory] { return this->memory() == memory; },
        QStringLiteral("Select %1").arg(memory));
}

void RemoteControl::Stop() {
    run([this] { station_.keyer().stop(); }, [] { return true; }, kStop);
}

void RemoteControl::Tune(bool on) {
    run(
        [this, on] {
            if (tuning() != on)
                station_.transmitControls().toggleTune();
        },
        [this, on] { return tuning() == on; }, QStringLiteral("Tune"));
}

void RemoteControl::TxEnable(bool on) {
    run(
        [this, on] {
            if (txEnabled() != on)
                station_.transmitControls().toggleTxEnable();
        },
        [this, on] { return txEnabled() == on; }, QStringLiteral("TxEnable"));
}

void RemoteControl::SetLoop(bool on) {
    run(
        [this, on] {
            if (looping() != on)
                station_.keyer().toggleLoop();
        },
        [this, on] { return looping() == on; }, QStringLiteral("SetLoop"));
}

void RemoteControl::SetLoopDelay(double seconds) {
    // Also false for NaN.
    const bool inRange =
        seconds >= kShortestLoopDelaySeconds && seconds <= kLongestLoopDelaySeconds;
    if (refuseInvalid(!inRange,
                      QStringLiteral("SetLoopDelay %1: the loop delay is %2 to %3 seconds")
                          .arg(seconds)
                          .arg(kShortestLoopDelaySeconds)
                          .arg(kLongestLoopDelaySeconds)))
        return;
    const auto tenths = static_cast<std::int32_t>(std::lround(seconds * kTenthsPerSecond));
    run([this, tenths] { station_.keyer().setLoopDelay(tenths); },
        [this, tenths] { return station_.keyerState().loopDelay() == tenths; },
        QStringLiteral("SetLoopDelay"));
}

bool RemoteControl::refuseInvalid(bool bad, const QString& why) {
    if (bad)
        sendErrorReply(QDBusError::InvalidArgs, why);
    return bad;
}

bool RemoteControl::refuseBadMemory(const QString& what, int memory) {
    return refuseInvalid(!MemorySlots::isSlot(memory), QStringLiteral("%1 %2: memories are 1 to %3")
                                                           .arg(what)
                                                           .arg(memory)
                                                           .arg(MemorySlots::kSlots));
}

void RemoteControl::run(std::function<void()> handler, std::function<bool()> tookEffect,
                        const QString& what) {
    setDelayedReply(true);
    const QDBusMessage call = message();
    QTimer::singleShot(0, this, [this, call, handler, tookEffect, what] {
        // A box or dialog the operator opened keeps hands off the buttons until it is answered;
        // only STOP, which ends and unkeys whatever runs, gets past it.
        if (QApplication::activeModalWidget() && what != kStop) {
            bus_.send(call.createErrorReply(remote::kRefused,
                                            QStringLiteral("%1 refused: %2").arg(what, kBoxWaits)));
            return;
        }
        station_.dialogs().remoteCommandStarts();
        handler();
        if (const QString failure = station_.dialogs().takeFailure(); !failure.isEmpty()) {
            bus_.send(call.createErrorReply(remote::kRefused,
                                            QStringLiteral("%1 failed: %2").arg(what, failure)));
            return;
        }
        if (tookEffect()) {
            bus_.send(call.createReply());
            return;
        }
        const QString why = QStringLiteral("the keyer is %1%2")
                                .arg(phase() == KeyerPhase::Idle
                                         ? state()
                                         : QStringLiteral("%1 %2").arg(state()).arg(memory()),
                                     tuning() ? QStringLiteral(", tuning") : QString());
        bus_.send(call.createErrorReply(remote::kRefused,
                                        QStringLiteral("%1 refused: %2").arg(what, why)));
    });
}

QString RemoteControl::Wait() {
    // Not the phase: PLAY stays lit while a box tells why its message cannot start, and the
    // answer waits for that failure.
    if (!station_.keyerState().playActive())
        return lastEnding_;
    setDelayedReply(true);
    waiting_ << message();
    return {};
}

void RemoteControl::messageEnded(MessageEnd how, const Notice& failure) {
    switch (how) {
    case MessageEnd::Played:
        lastEnding_ = QStringLiteral("played");
        break;
    case MessageEnd::Stopped:
        lastEnding_ = QStringLiteral("stopped");
        break;
    case MessageEnd::Failed: {
        // A failure told by a box before the end is the routed dialogs' to give.
        const QString why = failure.isEmpty() ? station_.dialogs().failure() : failure.source();
        lastEnding_ =
            why.isEmpty() ? QStringLiteral("failed") : QStringLiteral("failed: %1").arg(why);
        break;
    }
    }
    for (const QDBusMessage& call : std::exchange(waiting_, {}))
        bus_.send(call.createReply(lastEnding_));
}

void RemoteControl::announce() {
    announceTimer_.start();
}

void RemoteControl::announceChanges() {
    if (!bus_.isConnected())
        return;
    QVariantMap changed;
    for (const QString& name : kProperties) {
        const QVariant value = property(name.toLatin1().constData());
        if (announced_.value(name) != value)
            changed.insert(name, value);
    }
    if (changed.isEmpty())
        return;
    announced_.insert(changed);
    QDBusMessage signal = QDBusMessage::createSignal(remote::kObjectPath, kPropertiesInterface,
                                                     QStringLiteral("PropertiesChanged"));
    signal << remote::kInterface << changed << QStringList();
    bus_.send(signal);
}
