#include "keyer/keyer.h"

#include "audio/waveout.h"
#include "keyer/bufferwatchdog.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"
#include "keyer/monitor.h"
#include "support/dialogs.h"
#include "tx/keyingline.h"
#include "tx/transmitcontrols.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

namespace {
constexpr std::chrono::milliseconds kPerTenth{100};
} // namespace

using namespace std::chrono_literals;

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
            QString text = QString::fromLatin1(message->text);
            if (opened.result == HeaderResult::UnplayableFormat)
                text += QStringLiteral(": ") + describeFormat(opened.format);
            reportFailure(text, QString::fromLatin1(message->title));
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
    loopTimer_->stop();
    if (state_.loopActive())
        loopRunning_ = true;
    const auto refused = [&] {
        state_.setPlayActive(false);
        state_.setKeyerStopped(true);
        emit messageEnded(MessageEnd::Failed);
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
                emit templateRefused(QStringLiteral("Memory %1: %2").arg(slot).arg(assembly.why));
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
        emit messageEnded(MessageEnd::Failed);
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
        emit templateRefused(QStringLiteral("Memory %1: %2").arg(slot).arg(assembly.why));
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
    emit messageEnded(std::exchange(ending_, MessageEnd::Stopped));
}

void Keyer::toggleLoop() {
    if (!state_.loopActive()) {
        // The next PLAY starts the loop.
        state_.setLoopActive(true);
        return;
    }
    state_.setLoopActive(false);
    loopRunning_ = false;
    loopTimer_->stop();
}

std::chrono::milliseconds Keyer::loopPause() const {
    return std::max(std::int32_t{0}, state_.loopDelay()) * kPerTenth;
}

void Keyer::startLoopPause() {
    sinceKeyUp_.start();
    // A delay of no length (only from a configuration written elsewhere) repeats nothing.
    if (loopRunning_ && state_.loopActive() && !shuttingDown_ && state_.loopDelay() > 0)
        loopTimer_->start(loopPause());
}

void Keyer::repeatLoop() {
    // A recording or a paused message is not interrupted by a repetition.
    if (!state_.keyerIdle() || shuttingDown_)
        return;
    play();
}

void Keyer::setLoopDelay(std::int32_t tenths) {
    state_.setLoopDelay(tenths);
    // A pause under way ends when the new delay has passed since its key-up.
    if (loopTimer_->isActive() && state_.loopDelay() > 0) {
        const std::chrono::milliseconds elapsed{sinceKeyUp_.elapsed()};
        loopTimer_->start(std::max(std::chrono::milliseconds{0}, loopPause() - elapsed));
    }
}
