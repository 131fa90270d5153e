#include "keyer/keyer.h"

#include "audio/waveout.h"
#include "keyer/bufferwatchdog.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"
#include "support/dialogs.h"
#include "tx/keyingline.h"
#include "tx/transmitcontrols.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <array>
#include <cstring>
#include <utility>

void Keyer::PlayBtnClick() {
    if (shuttingDown_ || state_.recordActive())
        return;
    if (state_.playActive()) {
        pause();
        return;
    }
    if (deferWhileLoopsRun(&Keyer::PlayBtnClick))
        return;
    play();
    runDeferredStart();
}

void Keyer::playMemory(int slot) {
    if (!MemorySlots::isSlot(slot) || shuttingDown_ || state_.recordActive())
        return;
    if (state_.playActive()) {
        holdKey_ = line_.KeyingLevel() == KeyingLine::Keyed;
        deferredStart_ = nullptr;
        stopRunning();
    }
    // A paused message gives way too, or PLAY would resume it instead.
    if (state_.playFileOpen())
        closeMessageFile();
    MemBtnClick(slot);
    PlayBtnClick();
}

void Keyer::pause() {
    state_.setPlayActive(false);
    state_.setStopRequested(true);
    line_.unkey();
    // The running loop sees the stop at its next check and releases the device.
}

bool Keyer::ReadMessageHeader(const QString& path) {
    if (state_.playFileOpen())
        closeMessageFile();
    state_.setCurrentMessageFile(path);
    OpenedMessage opened = openMessageFile(path);
    if (opened.result != HeaderResult::Ok) {
        if (const auto message = headerFailureMessage(opened.result)) {
            QString text = QString::fromLatin1(message->text);
            if (opened.result == HeaderResult::UnplayableFormat)
                text += QStringLiteral(": ") + describeFormat(opened.format);
            reportFailure(text, QString::fromLatin1(message->title));
        }
        state_.setPlayFileOpen(false);
        return false;
    }
    playReader_ = std::make_unique<MessageReader>(std::move(opened));
    state_.setPlayFileOpen(true);
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
    StopBtnClick();
}

void Keyer::rewindUnheard(std::int32_t bytes) {
    if (bytes > 0 && playReader_ && playReader_->unread(static_cast<std::size_t>(bytes)))
        state_.setPlayBytesLeft(state_.playBytesLeft() + bytes);
}

void Keyer::play() {
    // Only this start decides whether a key held over from the message before stays down.
    const bool keyHeld = std::exchange(holdKey_, false);
    state_.setPlayActive(true);
    state_.setKeyerIdle(false);
    state_.setKeyerStopped(false);
    // A repetition still waiting is overtaken by this start; the loop times its next pause
    // from this message's end.
    loopTimer_->stop();
    if (state_.loopActive())
        loopRunning_ = true;
    if (!state_.playFileOpen() && !state_.recordFileOpen() &&
        !ReadMessageHeader(state_.currentMessageFile())) {
        if (keyHeld)
            line_.unkey();
        if (!QFileInfo::exists(state_.currentMessageFile()))
            emit nothingToPlay(state_.currentMessageFile());
        state_.setPlayActive(false);
        state_.setKeyerStopped(true);
        return;
    }

    const std::int32_t startCount = state_.playBytesLeft();
    std::array<std::int32_t, 2> held{}; // message bytes in each half
    held[index(Half::A)] = fillOutBlock(Half::A, startCount);
    if (held[index(Half::A)] == 0) {
        // Nothing to hear: end at once, without keying or opening the device.
        emit nothingToPlay(state_.currentMessageFile());
        endOfData();
        return;
    }
    const bool keyed = transmit_.state().TxEnable();
    if (keyed)
        line_.drive(KeyingLine::Keyed);
    else if (keyHeld)
        line_.unkey();

    ++loopsRunning_;
    if (keyed && !holdWhilePlaying(pttTiming_.lead, true)) {
        // Ended before the first sample: a paused message starts again from its beginning.
        if (state_.playFileOpen())
            rewindUnheard(held[index(Half::A)]);
        --loopsRunning_;
        return;
    }
    const WaveStatus opened = out_.OpenWaveOut();
    if (opened.heldUp()) {
        // A sound server that hangs may come back: the message ends as STOP ends it, and the
        // next PLAY opens the device again.
        StopBtnClick();
        --loopsRunning_;
        reportDeviceFailure(opened.text());
        return;
    }
    checkDevice(opened);
    out_.RearmOutHeader(Half::A);
    checkDevice(out_.PrepareOutHeader(Half::A));
    checkDevice(out_.WriteOutHeader(Half::A));
    // The second block holds sound before it is first queued, so no silence follows the first.
    held[index(Half::B)] = fillOutBlock(Half::B, startCount);
    state_.setStopRequested(false);

    Half sounding = Half::A;
    bool ended = false;
    QString failure;
    while (!state_.stopRequested()) {
        const Half next = other(sounding);
        if (held[index(next)] > 0) {
            out_.RearmOutHeader(next);
            checkDevice(out_.PrepareOutHeader(next));
            checkDevice(out_.WriteOutHeader(next));
        }
        watchdog_->enable();
        if (waitForBuffer(out_, sounding) == WaitEnd::Failed)
            failure = deviceStopped(out_);
        if (state_.stopRequested())
            break;
        watchdog_->disable();
        checkDevice(out_.UnprepareOutHeader(sounding));
        held[index(sounding)] = 0;
        if (held[index(next)] == 0) {
            // The last block that held data has been heard; the tail keeps the line keyed.
            if (line_.KeyingLevel() == KeyingLine::Keyed &&
                !holdWhilePlaying(pttTiming_.tail, false))
                break;
            endOfData();
            ended = true;
            break;
        }
        QCoreApplication::processEvents();
        if (state_.stopRequested() || !state_.playFileOpen())
            break;
        held[index(sounding)] = fillOutBlock(sounding, startCount);
        sounding = next;
    }
    watchdog_->disable();
    // A pause keeps the file open: what was read but not yet heard is read again on resume.
    // Until the reset, a buffer marked done has been heard; the device may have finished the
    // queued one too while the pause was being handled, and it must not be heard twice.
    if (!ended && state_.playFileOpen()) {
        const Half queued = other(sounding);
        const bool soundingHeard = out_.done(sounding);
        const bool queuedHeard = soundingHeard && out_.done(queued);
        rewindUnheard((queuedHeard ? 0 : held[index(queued)]) +
                      (soundingHeard ? 0 : held[index(sounding)]));
    }
    checkDevice(out_.ResetWaveOut());
    checkDevice(out_.CloseWaveOut());
    --loopsRunning_;
    if (!failure.isEmpty())
        reportDeviceFailure(failure);
}
