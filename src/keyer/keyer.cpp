#include "keyer/keyer.h"

#include "audio/waveengine.h"
#include "audio/wavein.h"
#include "keyer/bufferwatchdog.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"
#include "keyer/notebox.h"
#include "support/dialogs.h"
#include "tx/keyingline.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextEdit>
#include <QTimer>

#include <chrono>

using namespace std::chrono_literals;

namespace {
const QString kWaveDeviceTitle = QStringLiteral("Wave Device Message");
const QString kKeyingErrorTitle = QStringLiteral("Communications I/O Error");

// The input sites that run with the input device open.
bool leavesInputOpen(WaveSite site) {
    switch (site) {
    case WaveSite::InPrepare:
    case WaveSite::InAddBuffer:
    case WaveSite::InStart:
    case WaveSite::InReset:
    case WaveSite::InUnprepare:
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
      noteBox_(new NoteBox(parts.messageWindow, parts.memories, this)),
      installDir_(parts.installDir), menus_(parts.menus), line_(parts.line),
      transmit_(parts.transmit), strip_(parts.strip), watchdog_(new BufferWatchdog(this)),
      out_(parts.out), in_(parts.in), dialogs_(parts.dialogs),
      loopTimer_(makeTimer(this, "Loop_Timer", loopPause())) {
    // The pause is heard on air: a coarse timer would cut it short by up to a tenth.
    loopTimer_->setSingleShot(true);
    loopTimer_->setTimerType(Qt::PreciseTimer);
    connect(loopTimer_, &QTimer::timeout, this, &Keyer::Loop_TimerTimer);
    connect(&line_, &KeyingLine::keyingFailed, this, &Keyer::keyingFailed);
    watchdog_->setObjectName(QStringLiteral("BufferWatchdog"));
}

Keyer::~Keyer() = default;

void Keyer::MemBtnClick(int slot) {
    if (!MemorySlots::isSlot(slot) || state_.busy())
        return;
    DeselectMemory();
    state_.setSelectedMemory(slot);
    state_.setHighlightedMemory(slot);
    state_.setCurrentMessageFile(memories_.path(slot));
    noteBox_->show(slot);
}

void Keyer::DeselectMemory() {
    state_.setHighlightedMemory(0);
    saveNote();
}

void Keyer::saveNote() {
    noteBox_->save(state_.selectedMemory());
}

void Keyer::BuildRecordPath(int slot) {
    state_.setCurrentMessageFile(installDir_ + MemorySlots::fileName(slot));
    memories_.setPath(slot, state_.currentMessageFile());
}

void Keyer::closeMessageFile() {
    messageFile_.reset();
    playReader_.reset();
    state_.setPlayFileOpen(false);
    state_.setRecordFileOpen(false);
}

bool Keyer::deferWhileLoopsRun(void (Keyer::*start)()) {
    if (loopsRunning_ == 0)
        return false;
    deferredStart_ = start;
    return true;
}

void Keyer::runDeferredStart() {
    if (loopsRunning_ != 0 || !deferredStart_ || shuttingDown_)
        return;
    const auto start = deferredStart_;
    deferredStart_ = nullptr;
    (this->*start)();
}

void Keyer::reportFailure(const QString& text, const QString& title) {
    if (line_.KeyingLevel() != KeyingLine::Unkeyed)
        line_.unkey();
    dialogs_.showMessage(text, title);
}

void Keyer::chooseMessageFile(const QString& path) {
    state_.setCurrentMessageFile(path);
}

void Keyer::checkDevice(const WaveStatus& status) {
    if (status.ok())
        return;
    // The box waits for the operator: no transmitter stays keyed meanwhile, whether a playback
    // or TUNE keyed it. A playback goes on through the failure, unkeyed.
    line_.unkey();
    dialogs_.showMessage(status.text(), kWaveDeviceTitle);
    if (leavesInputOpen(status.site()))
        checkDevice(in_.CloseWaveIn());
    if (!state_.stopRequested())
        requestQuit();
}

WaitEnd Keyer::waitForBuffer(WaveEngine& engine, Half half) {
    QElapsedTimer waiting;
    waiting.start();
    for (;;) {
        const WaitEnd end = engine.waitFor(
            half, [this] { return state_.stopRequested(); },
            [&] {
                return !engine.problem().empty() ||
                       (watchdog_->BufferWaitTimedOut() && !soundCardShown_);
            });
        if (end != WaitEnd::TimedOut)
            return end;
        // A sound server may hold a buffer well past its time (one that renders ahead does, for
        // a second and more): its sound still comes, whole, so the wait goes on. Only a device
        // that failed, stopped answering, or moved nothing for far longer is given up on.
        if (!engine.problem().empty() || waiting.elapsed() >= kLongestSilence.count())
            return WaitEnd::Failed;
        watchdog_->disable();
        watchdog_->enable();
    }
}

void Keyer::reportDeviceFailure(const QString& text) {
    reportFailure(text, kWaveDeviceTitle);
}

QString Keyer::deviceStopped(WaveEngine& engine) {
    std::string reason = engine.problem();
    if (reason.empty())
        reason = "no sound moved for " + std::to_string(kLongestSilence.count() / 1000) + " s";
    // The message ends as STOP ends it: the line is released first, a recording keeps what it
    // has.
    StopBtnClick();
    return QStringLiteral("Sound stopped on the device %1: %2")
        .arg(engine.deviceName(), QString::fromStdString(reason));
}

void Keyer::requestQuit() {
    // The running loop ends as STOP ends it, so its file is completed and the handler returns
    // to the main loop; the transmitter is released first.
    shutDown();
    emit quitRequested();
}

void Keyer::keyingFailed(const QString& reason) {
    // A repetition would only fail again, with another box each time.
    loopRunning_ = false;
    loopTimer_->stop();
    if (state_.playActive())
        StopBtnClick();
    reportFailure(reason, kKeyingErrorTitle);
}

bool Keyer::holdWhilePlaying(std::chrono::milliseconds hold, bool forKeyDown) {
    const auto awaitingKeyDown = [&] { return forKeyDown && line_.keyDownPending(); };
    // With nothing to wait for, no event is dispatched here: the playback runs on as it always
    // has.
    if (!awaitingKeyDown() && hold <= 0ms)
        return state_.playActive();
    QEventLoop loop;
    QTimer holdTimer;
    holdTimer.setSingleShot(true);
    holdTimer.setTimerType(Qt::PreciseTimer);
    bool holding = false;
    bool done = false;
    const auto check = [&] {
        if (done)
            return;
        const bool stopped = !state_.playActive() || shuttingDown_;
        if (!stopped && awaitingKeyDown())
            return;
        if (!stopped && !holding) {
            holding = true;
            holdTimer.start(hold);
            return;
        }
        if (!stopped && holdTimer.isActive())
            return;
        done = true;
        loop.quit();
    };
    connect(&line_, &KeyingLine::keyDownConfirmed, &loop, check);
    connect(&line_, &KeyingLine::keyingFailed, &loop, check);
    connect(&state_, &KeyerState::playActiveChanged, &loop, check);
    connect(&holdTimer, &QTimer::timeout, &loop, check);
    check();
    if (!done)
        loop.exec();
    return state_.playActive() && !shuttingDown_;
}
