#include "keyer/keyer.h"

#include "audio/waveengine.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "keyer/bufferwatchdog.h"
#include "keyer/exchange.h"
#include "keyer/keyerlog.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"
#include "keyer/menutables.h"
#include "keyer/messagerecording.h"
#include "keyer/monitor.h"
#include "keyer/notebox.h"
#include "keyer/repeatloop.h"
#include "support/dialogs.h"
#include "tx/alarmstrip.h"
#include "tx/keyingline.h"
#include "tx/transmitcontrols.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

using namespace std::chrono_literals;

namespace {
// Made when shown, so that they speak the language of the translator installed by then.
// A template that cannot be spoken, said with its memory: "Memory 3: the field call is not set".
Notice memoryRefused(int slot, const Notice& why) {
    return translatable("Keyer", "Memory %1: ").arg(slot) + why;
}
Notice waveDeviceTitle() {
    return translatable("Keyer", "Wave Device Message");
}
// The system's reason goes with the text: a full disk and a folder made read-only need different
// mends.
Notice couldNotWrite(const FileStatus& failure) {
    return translatable("Keyer", "Could not write the Wave file: %1").arg(failure.reason());
}

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
} // namespace

Keyer::Keyer(const KeyerParts& parts, QObject* parent)
    : QObject(parent), state_(parts.state), memories_(parts.memories),
      installDir_(parts.installDir), line_(parts.line), transmit_(parts.transmit),
      strip_(parts.strip), watchdog_(new BufferWatchdog(this)), out_(parts.out), in_(parts.in),
      dialogs_(parts.dialogs), monitor_(new Monitor(
                                   parts.monitor, [this] { return out_.device(); }, this)),
      loop_(new RepeatLoop(parts.state, this)), holdTimer_(new QTimer(this)),
      templates_(parts.memories) {
    // The lead and the tail are heard on air: a coarse timer would cut them short by up to a
    // tenth.
    holdTimer_->setObjectName(QStringLiteral("HoldTimer"));
    holdTimer_->setSingleShot(true);
    holdTimer_->setTimerType(Qt::PreciseTimer);
    connect(loop_, &RepeatLoop::due, this, &Keyer::repeatLoop);
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
    recording_.reset();
    playReader_.reset();
    state_.setPlayFile({});
    state_.setRecordFileOpen(false);
}

void Keyer::reportFailure(const Notice& text, const Notice& title) {
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
        endFailed(deviceFailures_.constFirst());
    for (const Notice& text : std::exchange(deviceFailures_, {}))
        dialogs_.showMessage(text, waveDeviceTitle());
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

void Keyer::reportDeviceFailure(const Notice& text) {
    reportFailure(text, waveDeviceTitle());
}

Notice Keyer::deviceStopped(WaveEngine& engine) {
    Notice reason = QString::fromStdString(engine.problem());
    if (reason.isEmpty())
        reason =
            translatable("Keyer", "no sound moved for %1 s")
                .arg(std::chrono::duration_cast<std::chrono::seconds>(kLongestSilence).count());
    const Notice text =
        translatable("Keyer", "Sound stopped on the device %1: ").arg(engine.deviceName()) + reason;
    endFailed(text);
    return text;
}

void Keyer::endFailed(const Notice& why) {
    // A repetition would only fail again, with another box each time.
    loop_->end();
    ending_ = MessageEnd::Failed;
    endingWhy_ = why;
    stop();
}

void Keyer::keyingFailed(const Notice& reason) {
    if (state_.playActive())
        endFailed(reason);
    // A loop waiting in its pause repeats no more either.
    loop_->end();
    reportFailure(reason, KeyingLine::failureTitle());
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
    loop_->keyedUp();
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
        endingWhy_ = {};
        endRecording();
    }
}

void Keyer::reset() {
    monitor_->stopPreview();
    holdKey_ = false;
    loop_->end();
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
    if (!keyed && !state_.playActive() && !loop_->pausing())
        return false;
    if (keyed) {
        stopEverything();
        return true;
    }
    // The line is released already. Another unkey would reach a rig keyed through CAT, which
    // takes it whoever keyed it: the operator would be cut off mid-word.
    holdKey_ = false;
    loop_->end();
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

void Keyer::play() {
    if (shuttingDown_ || state_.recordActive())
        return;
    if (state_.playActive()) {
        // Every sample has been heard by then: the message ends, with nothing left to resume.
        if (run_ == Run::Tailing)
            endOfData();
        else
            pause();
        return;
    }
    startPlayback();
}

void Keyer::playMemory(int slot) {
    if (!MemorySlots::isSlot(slot) || shuttingDown_ || state_.recordActive())
        return;
    if (state_.playActive()) {
        holdKey_ = line_.level() == KeyingLine::Keyed;
        stopRunning();
    }
    // A paused message gives way too, or PLAY would resume it instead.
    if (state_.playFileOpen())
        closeMessageFile();
    selectMemory(slot);
    play();
}

void Keyer::pause() {
    state_.setPlayActive(false);
    line_.unkey();
    endSound();
}

bool Keyer::readMessageHeader(const QString& path) {
    return openMessage(path, path);
}

bool Keyer::openMessage(const QString& path, const QString& read) {
    if (state_.playFileOpen())
        closeMessageFile();
    state_.setCurrentMessageFile(path);
    OpenedMessage opened = openMessageFile(read);
    if (opened.result != HeaderResult::Ok) {
        if (const auto message = headerFailureMessage(opened.result)) {
            Notice text = message->textNotice();
            if (opened.result == HeaderResult::UnplayableFormat)
                text += QStringLiteral(": ") + describeFormat(opened.format);
            reportFailure(text, message->titleNotice());
        }
        state_.setPlayFile({});
        return false;
    }
    playReader_ = std::make_unique<MessageReader>(std::move(opened));
    state_.setPlayFile(path);
    state_.setPlayLength(static_cast<std::int32_t>(playReader_->playBytes()));
    state_.setPlayBytesLeft(static_cast<std::int32_t>(playReader_->playBytes()));
    return true;
}

// Reads the next block of the message into a half; what the data does not fill is silence.
// Returns the bytes of message data in it.
std::int32_t Keyer::fillOutBlock(Half half, std::int32_t startCount) {
    std::uint8_t* block = out_.block(half);
    std::size_t got = 0;
    if (playReader_ && state_.playBytesLeft() > 0) {
        const auto wanted = static_cast<std::size_t>(
            std::min<std::int32_t>(state_.playBytesLeft(), kWaveBufferBytes));
        got = playReader_->read(block, wanted);
        // A file that ends early (cut while we play) ends the message with what it held.
        state_.setPlayBytesLeft(
            got < wanted ? 0 : state_.playBytesLeft() - static_cast<std::int32_t>(got));
    }
    std::memset(block + got, 0, kWaveBufferBytes - got);
    if (startCount > 0)
        state_.setProgress(static_cast<int>(
            (static_cast<double>(startCount) - state_.playBytesLeft()) * 100.0 / startCount));
    return static_cast<std::int32_t>(got);
}

void Keyer::endOfData() {
    closeMessageFile();
    state_.setProgress(0);
    ending_ = MessageEnd::Played;
    stop();
}

void Keyer::rewindUnheard(std::int32_t bytes) {
    if (bytes > 0 && playReader_ && playReader_->unread(static_cast<std::size_t>(bytes)))
        state_.setPlayBytesLeft(state_.playBytesLeft() + bytes);
}

void Keyer::startPlayback() {
    // Only this start decides whether a key held over from the message before stays down.
    const bool keyHeld = std::exchange(holdKey_, false);
    ending_ = MessageEnd::Stopped;
    state_.setPlayActive(true);
    state_.setKeyerIdle(false);
    state_.setKeyerStopped(false);
    // A repetition still waiting is overtaken by this start; the loop times its next pause
    // from this message's end.
    loop_->messageStarted();
    const auto refused = [&] {
        state_.setPlayActive(false);
        state_.setKeyerStopped(true);
        emit messageEnded(MessageEnd::Failed, {});
    };
    if (!state_.playFileOpen() && !state_.recordFileOpen()) {
        // A memory kept as a template is spoken afresh at each start, repetitions of the loop
        // too, so that a field the logger changed meanwhile is heard; nothing keys before every
        // piece is there. It still plays as that memory.
        QString read = state_.currentMessageFile();
        if (const int slot = templateToPlay()) {
            if (const Assembly assembly = templates_.assembleTemplate(slot); !assembly.ok()) {
                if (keyHeld)
                    line_.unkey();
                emit templateRefused(memoryRefused(slot, assembly.why));
                refused();
                return;
            }
            read = templates_.exchangeFile();
        }
        if (!openMessage(state_.currentMessageFile(), read)) {
            if (keyHeld)
                line_.unkey();
            if (!QFileInfo::exists(read))
                emit nothingToPlay(state_.currentMessageFile());
            refused();
            return;
        }
    }

    startCount_ = state_.playBytesLeft();
    held_ = {};
    held_[index(Half::A)] = fillOutBlock(Half::A, startCount_);
    if (held_[index(Half::A)] == 0) {
        // Nothing to hear: end at once, without keying or opening the device.
        emit nothingToPlay(state_.currentMessageFile());
        endOfData();
        emit messageEnded(MessageEnd::Failed, {});
        return;
    }
    monitor_->prepare();
    const bool keyed = transmit_.state().txEnabled();
    if (keyed)
        line_.drive(KeyingLine::Keyed);
    else if (keyHeld)
        line_.unkey();
    if (!keyed) {
        startSound();
        return;
    }
    run_ = Run::Leading;
    awaitLead();
}

void Keyer::awaitLead() {
    if (run_ != Run::Leading || line_.keyDownPending() || holdTimer_->isActive())
        return;
    // With nothing to wait for, the first sample goes out in this very step.
    if (pttTiming_.lead <= 0ms) {
        startSound();
        return;
    }
    holdTimer_->start(pttTiming_.lead);
}

void Keyer::holdEnded() {
    if (run_ == Run::Leading)
        startSound();
    else if (run_ == Run::Tailing)
        endOfData();
}

void Keyer::startSound() {
    run_ = Run::Sounding;
    if (!checkDevice(out_.openOutput()))
        return;
    current_ = Half::A;
    queueOut(Half::A);
    // The second block holds sound before it is first queued, so no silence follows the first.
    held_[index(Half::B)] = fillOutBlock(Half::B, startCount_);
    if (run_ == Run::Sounding && held_[index(Half::B)] > 0)
        queueOut(Half::B);
    if (run_ == Run::Sounding)
        watchdog_->start();
}

void Keyer::serviceOutput() {
    while (run_ == Run::Sounding && out_.done(current_)) {
        watchdog_->heard();
        const Half next = other(current_);
        held_[index(current_)] = 0;
        if (held_[index(next)] == 0) {
            // The last block that held data has been heard; the tail keeps the line keyed.
            watchdog_->stop();
            if (line_.level() == KeyingLine::Keyed && pttTiming_.tail > 0ms) {
                run_ = Run::Tailing;
                holdTimer_->start(pttTiming_.tail);
                return;
            }
            endOfData();
            return;
        }
        held_[index(current_)] = fillOutBlock(current_, startCount_);
        if (held_[index(current_)] > 0)
            queueOut(current_);
        current_ = next;
    }
}

void Keyer::queueOut(Half half) {
    if (checkDevice(out_.queueBlock(half)))
        monitor_->follow(out_.block(half));
}

bool Keyer::previewMemory(int slot) {
    if (!MemorySlots::isSlot(slot) || shuttingDown_ || state_.busy())
        return false;
    if (templates_.templateOf(slot).isEmpty())
        return previewFile(memories_.path(slot));
    // A template is heard as it would go on the air, fields and all, or not at all.
    if (const Assembly assembly = templates_.assembleTemplate(slot); !assembly.ok()) {
        emit templateRefused(memoryRefused(slot, assembly.why));
        return false;
    }
    return previewFile(templates_.exchangeFile());
}

bool Keyer::previewFile(const QString& path) {
    if (shuttingDown_ || state_.busy())
        return false;
    return monitor_->preview(path);
}

void Keyer::endSound() {
    const Run was = run_;
    if (was == Run::Idle || was == Run::Recording)
        return;
    run_ = Run::Idle;
    holdTimer_->stop();
    watchdog_->stop();
    // A pause keeps the file open: what was read but not yet heard is read again on resume.
    // Until the reset, a buffer marked done has been heard; the device may have finished the
    // queued one too while the pause was being handled, and it must not be heard twice.
    if (state_.playFileOpen()) {
        if (!out_.deviceOpen()) {
            rewindUnheard(held_[index(Half::A)]);
        } else {
            const Half queued = other(current_);
            const bool currentHeard = out_.done(current_);
            const bool queuedHeard = currentHeard && out_.done(queued);
            rewindUnheard((queuedHeard ? 0 : held_[index(queued)]) +
                          (currentHeard ? 0 : held_[index(current_)]));
        }
    }
    if (out_.deviceOpen()) {
        checkDevice(out_.resetOutput());
        checkDevice(out_.closeOutput());
    }
    monitor_->endMessage(ending_ == MessageEnd::Played);
    emit messageEnded(std::exchange(ending_, MessageEnd::Stopped), std::exchange(endingWhy_, {}));
}

void Keyer::toggleLoop() {
    loop_->toggle();
}

void Keyer::repeatLoop() {
    // A recording or a paused message is not interrupted by a repetition.
    if (!state_.keyerIdle() || shuttingDown_)
        return;
    play();
}

void Keyer::setLoopDelay(std::int32_t tenths) {
    loop_->setDelay(tenths);
}

bool Keyer::loopPausing() const {
    return loop_->pausing();
}

void Keyer::record() {
    if (shuttingDown_ || state_.busy())
        return;
    monitor_->stopPreview();
    startRecording();
}

bool Keyer::recordPhrase(const QString& path) {
    if (shuttingDown_ || state_.busy() || state_.recordFileOpen())
        return false;
    monitor_->stopPreview();
    phraseTarget_ = path;
    startRecording();
    return true;
}

// Creates the partial file for the selected slot, or for the phrase asked for. False when that
// failed (reported).
bool Keyer::openRecording() {
    recordingPhrase_ = std::exchange(phraseTarget_, {});
    if (recordingPhrase_.isEmpty())
        useRecordPath(state_.selectedMemory());
    if (state_.playFileOpen())
        closeMessageFile();
    recording_ = std::make_unique<MessageRecording>(
        recordingPhrase_.isEmpty() ? state_.currentMessageFile() : recordingPhrase_);
    const MessageRecording::Start started = recording_->start();
    if (started == MessageRecording::Start::Started) {
        state_.setRecordFileOpen(true);
        return true;
    }
    const Notice text = started == MessageRecording::Start::CouldNotOpen
                            ? translatable("Keyer", "Could not open the Wave file")
                            : couldNotWrite(recording_->failure());
    closeMessageFile();
    reportFailure(text, fileErrorTitle());
    stop();
    return false;
}

// Puts the recording in the message's place, then trims and levels it as the operator chose.
// When that fails, the partial file stays behind and the reason is noted for the operator.
void Keyer::finishRecording() {
    const bool finished = recording_->finish(state_.recordedBytes());
    const QString message = recording_->target();
    if (!finished)
        writeError_ = recording_->failure();
    closeMessageFile();
    if (!finished)
        return;
    forgetAsRecorded(message);
    // A recording a failure cut short stays as it came, for the operator to judge.
    if (ending_ == MessageEnd::Failed)
        return;
    if (!recordingPhrase_.isEmpty()) {
        // A phrase keeps no silence and no copy: it is joined to others, never sent alone.
        if (const QString why = trimPhraseFile(message); !why.isEmpty())
            qCWarning(keyerLog, "Could not trim the phrase %s", qPrintable(why));
        return;
    }
    if (trimMargin_) {
        const TrimOutcome trimmed = trimMessage(message, *trimMargin_);
        if (trimmed.result == TrimResult::Trimmed)
            state_.setRecordedBytes(static_cast<std::int32_t>(trimmed.dataBytes));
        onlySilence_ = trimmed.result == TrimResult::OnlySilence;
    }
    // After the trim, which drops any copy kept before it: the copy levelling keeps is then the
    // recording itself, or the one the trim kept.
    if (levelTarget_.mode != LevelMode::Off && !onlySilence_)
        levelled_ = levelMessage(message, levelTarget_);
}

void Keyer::discardRecording() {
    recording_->discard();
    closeMessageFile();
}

void Keyer::startRecording() {
    if (!state_.recordFileOpen() && !openRecording())
        return;
    state_.setRecordActive(true);
    state_.setKeyerIdle(false);
    std::memset(in_.block(Half::A), 0, kWaveBufferBytes);
    std::memset(in_.block(Half::B), 0, kWaveBufferBytes);
    state_.setKeyerStopped(false);
    state_.setRecordedBytes(0);
    ending_ = MessageEnd::Stopped;
    writeError_ = {};
    recordingFull_ = false;
    onlySilence_ = false;
    levelled_.reset();

    run_ = Run::Recording;
    if (!checkDevice(in_.queryInputFormat()) || !checkDevice(in_.openInput()))
        return;
    current_ = Half::A;
    checkDevice(in_.queueBlock(Half::A));
    if (run_ == Run::Recording)
        checkDevice(in_.startInput());
    if (run_ != Run::Recording)
        return;
    strip_.setColour(AlarmStrip::Blue);
    checkDevice(in_.queueBlock(Half::B));
    if (run_ == Run::Recording)
        watchdog_->start();
}

void Keyer::serviceInput() {
    while (run_ == Run::Recording && in_.done(current_)) {
        watchdog_->heard();
        const Half filled = current_;
        std::uint8_t* block = in_.block(filled);
        if (const int factor = gainFactor(); factor != 1)
            scaleBlock(block, kWaveBufferSamples, factor);
        state_.setInputPeak(blockPeak(block, kWaveBufferSamples));
        std::int32_t bytes = state_.recordedBytes();
        const MessageRecording::Append appended = recording_->append(block, bytes);
        state_.setRecordedBytes(bytes);
        if (appended != MessageRecording::Append::Written) {
            if (appended == MessageRecording::Append::Failed)
                writeError_ = recording_->failure();
            recordingFull_ = appended == MessageRecording::Append::Full;
            stop();
            return;
        }
        current_ = other(filled);
        strip_.setColour(current_ == Half::A ? AlarmStrip::Blue : AlarmStrip::Red);
        checkDevice(in_.queueBlock(filled));
    }
}

void Keyer::endRecording() {
    if (run_ != Run::Recording)
        return;
    run_ = Run::Idle;
    watchdog_->stop();
    state_.setInputPeak(0);
    if (in_.deviceOpen()) {
        checkDevice(in_.resetInput());
        checkDevice(in_.closeInput());
    }
    if (const FileStatus failure = std::exchange(writeError_, {}); !failure) {
        reportFailure(couldNotWrite(failure), fileErrorTitle());
    } else if (std::exchange(recordingFull_, false)) {
        dialogs_.showMessage(translatable("Keyer", "The recording reached the longest message a "
                                                   "file can hold and was stopped"),
                             translatable("Keyer", "Recording Message"));
    }
}

void Keyer::setGainCode(std::int32_t code) {
    state_.setMicGainCode(code);
}

int Keyer::gainFactor() const {
    for (const GainItem& gain : kGains) {
        if (gain.code == state_.micGainCode())
            return gain.factor;
    }
    return 1;
}
