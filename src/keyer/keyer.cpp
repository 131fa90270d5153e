#include "keyer/keyer.h"

#include "audio/waveengine.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "keyer/bufferwatchdog.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"
#include "keyer/monitor.h"
#include "keyer/notebox.h"
#include "support/dialogs.h"
#include "tx/alarmstrip.h"
#include "tx/keyingline.h"

#include <QTimer>

#include <chrono>

using namespace std::chrono_literals;

namespace {
const QString kWaveDeviceTitle = QStringLiteral("Wave Device Message");
const QString kKeyingErrorTitle = QStringLiteral("Communications I/O Error");

// The input sites that run with the input device open.
bool leavesInputOpen(WaveSite site) {
    switch (site) {
    case WaveSite::InAddBuffer:
    case WaveSite::InStart:
    case WaveSite::InReset:
        return true;
    default:
        return false;
    }
}

QTimer* makeTimer(QObject* parent, const char* name, std::chrono::milliseconds interval) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(interval);
    return timer;
}
} // namespace

Keyer::Keyer(const KeyerParts& parts, QObject* parent)
    : QObject(parent), state_(parts.state), memories_(parts.memories),
      installDir_(parts.installDir), line_(parts.line), transmit_(parts.transmit),
      strip_(parts.strip), watchdog_(new BufferWatchdog(this)), out_(parts.out), in_(parts.in),
      dialogs_(parts.dialogs), monitor_(new Monitor(
                                   parts.monitor, [this] { return out_.device(); }, this)),
      loopTimer_(makeTimer(this, "Loop_Timer", loopPause())),
      holdTimer_(makeTimer(this, "HoldTimer", 0ms)), templates_(parts.memories) {
    // The pause, the lead and the tail are heard on air: a coarse timer would cut them short by
    // up to a tenth.
    for (QTimer* timer : {loopTimer_, holdTimer_}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(loopTimer_, &QTimer::timeout, this, &Keyer::repeatLoop);
    connect(holdTimer_, &QTimer::timeout, this, &Keyer::holdEnded);
    connect(&line_, &KeyingLine::keyingFailed, this, &Keyer::keyingFailed);
    connect(&line_, &KeyingLine::keyDownConfirmed, this, &Keyer::awaitLead);
    connect(watchdog_, &BufferWatchdog::fired, this, &Keyer::checkSilence);
    out_.reportCompletionsTo(this, [this] { deviceProgressed(); });
}

Keyer::~Keyer() = default;

void Keyer::selectMemory(int slot) {
    if (!MemorySlots::isSlot(slot) || state_.busy())
        return;
    deselectMemory();
    state_.setSelectedMemory(slot);
    state_.setHighlightedMemory(slot);
    state_.setCurrentMessageFile(memories_.path(slot));
    if (noteBox_)
        noteBox_->show(slot);
}

void Keyer::deselectMemory() {
    state_.setHighlightedMemory(0);
    saveNote();
}

void Keyer::saveNote() {
    if (noteBox_)
        noteBox_->save(state_.selectedMemory());
}

void Keyer::attachNoteBox(NoteBox* box) {
    noteBox_ = box;
}

void Keyer::showMemories(const QString& folder) {
    installDir_ = folder;
    const int slot = state_.selectedMemory();
    state_.setCurrentMessageFile(memories_.path(slot));
    if (noteBox_)
        noteBox_->show(slot);
}

void Keyer::useRecordPath(int slot) {
    state_.setCurrentMessageFile(installDir_ + MemorySlots::fileName(slot));
    memories_.setPath(slot, state_.currentMessageFile());
}

void Keyer::closeMessageFile() {
    messageFile_.reset();
    playReader_.reset();
    state_.setPlayFile({});
    state_.setRecordFileOpen(false);
}

void Keyer::reportFailure(const QString& text, const QString& title) {
    if (line_.level() != KeyingLine::Unkeyed)
        line_.unkey();
    dialogs_.showMessage(text, title);
}

void Keyer::chooseMessageFile(const QString& path) {
    state_.setCurrentMessageFile(path);
}

bool Keyer::checkDevice(const WaveStatus& status) {
    if (status.ok())
        return true;
    // A box waits for the operator. No transmitter stays keyed meanwhile, whether a playback or
    // TUNE keyed it, and the message has ended before any box shows, so that every other
    // command answers and the next PLAY or REC opens the device afresh. The failure's own box
    // comes first, then those of the clean-up it led to.
    line_.unkey();
    deviceFailures_ << status.text();
    if (deviceFailures_.size() > 1)
        return false;
    if (leavesInputOpen(status.site()))
        checkDevice(in_.closeInput());
    if (run_ != Run::Idle)
        endFailed();
    for (const QString& text : std::exchange(deviceFailures_, {}))
        dialogs_.showMessage(text, kWaveDeviceTitle);
    return false;
}

void Keyer::deviceProgressed() {
    monitor_->serviceDevice();
    if (servicing_)
        return;
    servicing_ = true;
    if (run_ == Run::Sounding)
        serviceOutput();
    else if (run_ == Run::Recording)
        serviceInput();
    servicing_ = false;
    // A device that fails reports that too, so the line is released without waiting for the
    // watchdog.
    if (WaveEngine* engine = runningEngine(); engine && !engine->problem().empty())
        reportDeviceFailure(deviceStopped(*engine));
}

WaveEngine* Keyer::runningEngine() {
    switch (run_) {
    case Run::Sounding:
        return &out_;
    case Run::Recording:
        return &in_;
    default:
        return nullptr;
    }
}

void Keyer::checkSilence() {
    WaveEngine* engine = runningEngine();
    // A sound server may hold a buffer well past its time (one that renders ahead does, for a
    // second and more): its sound still comes, whole. Only a device that failed, stopped
    // answering, or moved nothing for far longer is given up on; and none while the operator
    // may be choosing the device in the sound card dialog.
    if (!engine ||
        (engine->problem().empty() && (watchdog_->silence() < kLongestSilence || soundCardShown_)))
        return;
    reportDeviceFailure(deviceStopped(*engine));
}

void Keyer::reportDeviceFailure(const QString& text) {
    reportFailure(text, kWaveDeviceTitle);
}

QString Keyer::deviceStopped(WaveEngine& engine) {
    std::string reason = engine.problem();
    if (reason.empty())
        reason = "no sound moved for " + std::to_string(kLongestSilence.count() / 1000) + " s";
    endFailed();
    return QStringLiteral("Sound stopped on the device %1: %2")
        .arg(engine.deviceName(), QString::fromStdString(reason));
}

void Keyer::endFailed() {
    // A repetition would only fail again, with another box each time.
    loopRunning_ = false;
    loopTimer_->stop();
    ending_ = MessageEnd::Failed;
    stop();
}

void Keyer::keyingFailed(const QString& reason) {
    if (state_.playActive())
        endFailed();
    // A loop waiting in its pause repeats no more either.
    loopRunning_ = false;
    loopTimer_->stop();
    reportFailure(reason, kKeyingErrorTitle);
}

int Keyer::templateToPlay() const {
    const int slot = state_.selectedMemory();
    return MemorySlots::isSlot(slot) && state_.currentMessageFile() == memories_.path(slot) &&
                   !templates_.templateOf(slot).isEmpty()
               ? slot
               : 0;
}

void Keyer::stop() {
    monitor_->stopPreview();
    holdKey_ = false;
    // Released even with the keyer stopped: TUNE may hold the line.
    line_.unkey();
    stopRunning();
}

void Keyer::stopRunning() {
    if (state_.keyerStopped())
        return;
    state_.setKeyerIdle(true);
    state_.setKeyerStopped(true);
    startLoopPause();
    if (state_.playActive()) {
        state_.setPlayActive(false);
        state_.setProgress(0);
        if (state_.playFileOpen())
            closeMessageFile();
        endSound();
    }
    if (state_.recordActive()) {
        state_.setRecordActive(false);
        strip_.setColour(AlarmStrip::Teal);
        // A device that failed before it captured anything leaves the message as it was.
        if (state_.recordFileOpen() && ending_ == MessageEnd::Failed && state_.recordedBytes() == 0)
            discardRecording();
        else if (state_.recordFileOpen())
            finishRecording();
        ending_ = MessageEnd::Stopped;
        endRecording();
    }
}

void Keyer::reset() {
    monitor_->stopPreview();
    holdKey_ = false;
    loopRunning_ = false;
    loopTimer_->stop();
    line_.unkey();
    if (state_.keyerIdle())
        return;
    state_.setKeyerIdle(true);
    if (!state_.keyerStopped())
        stop();
}

void Keyer::stopEverything() {
    reset();
    if (state_.loopActive())
        toggleLoop();
}

bool Keyer::yieldToOperator() {
    const bool keyed = line_.level() == KeyingLine::Keyed;
    if (!keyed && !state_.playActive() && !loopTimer_->isActive())
        return false;
    if (keyed) {
        stopEverything();
        return true;
    }
    // The line is released already. Another unkey would reach a rig keyed through CAT, which
    // takes it whoever keyed it: the operator would be cut off mid-word.
    holdKey_ = false;
    loopRunning_ = false;
    loopTimer_->stop();
    if (!state_.keyerIdle()) {
        state_.setKeyerIdle(true);
        stopRunning();
    }
    if (state_.loopActive())
        toggleLoop();
    return true;
}

void Keyer::shutDown() {
    shuttingDown_ = true;
    reset();
    if (state_.busy())
        stop();
}
