#include "keyer/keyer.h"

#include "audio/wavein.h"
#include "keyer/bufferwatchdog.h"
#include "keyer/exchange.h"
#include "keyer/keyerlog.h"
#include "keyer/keyerstate.h"
#include "keyer/menutables.h"
#include "keyer/monitor.h"
#include "support/atomicfile.h"
#include "support/dialogs.h"
#include "tx/alarmstrip.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include <cerrno>
#include <unistd.h>

namespace {
const QString kFileErrorTitle = QStringLiteral("File Error Message");
const QString kCouldNotOpen = QStringLiteral("Could not open the Wave file");
// The system's reason goes with the text: a full disk and a folder made read-only need different
// mends.
QString couldNotWrite(int error) {
    return QStringLiteral("Could not write the Wave file: %1")
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}
const QString kLongestReached =
    QStringLiteral("The recording reached the longest message a file can hold and was stopped");
const QString kRecordingTitle = QStringLiteral("Recording Message");

// The sizes in the header are 32-bit; the data size is also kept in a signed counter.
constexpr std::int32_t kLongestRecording = std::numeric_limits<std::int32_t>::max();

// A recording is made beside the message it replaces, and takes its place only when it ends:
// until then the old message stays whole, and a recording cut off by a crash or a power loss
// stays behind under this suffix.
const QString kPartialSuffix = QStringLiteral(".part");

} // namespace

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

// Creates the partial file for the selected slot with a header that claims no samples yet. False
// when that failed (reported).
bool Keyer::openRecording() {
    recordingPhrase_ = std::exchange(phraseTarget_, {});
    if (recordingPhrase_.isEmpty())
        useRecordPath(state_.selectedMemory());
    const QString target =
        recordingPhrase_.isEmpty() ? state_.currentMessageFile() : recordingPhrase_;
    if (state_.playFileOpen())
        closeMessageFile();
    recordingPath_ = target + kPartialSuffix;
    // A write-protected message stays as it is.
    if (replaceRefusal(QFile::encodeName(target).toStdString()) == 0)
        messageFile_ = openFile(recordingPath_, "wb");
    if (!messageFile_) {
        reportFailure(kCouldNotOpen, kFileErrorTitle);
        state_.setRecordFileOpen(false);
        stop();
        return false;
    }
    state_.setRecordFileOpen(true);
    if (!writeMessageHeader(messageFile_.get(), kMessageFormat, 0)) {
        const int error = errno;
        closeMessageFile();
        QFile::remove(recordingPath_);
        reportFailure(couldNotWrite(error), kFileErrorTitle);
        stop();
        return false;
    }
    return true;
}

// Appends one captured block and makes the header claim it, so that the file is a whole message
// at every moment. On a failed write the file is cut back to the blocks written before.
Keyer::Appended Keyer::appendBlock(const std::uint8_t* block) {
    std::FILE* file = messageFile_.get();
    const bool written =
        std::fwrite(block, 1, kWaveBufferBytes, file) == kWaveBufferBytes && std::fflush(file) == 0;
    if (!written) {
        noteWriteError(errno);
        std::clearerr(file);
        const off_t whole = kMessageHeaderBytes + static_cast<off_t>(state_.recordedBytes());
        if (::ftruncate(::fileno(file), whole) == 0)
            std::fseek(file, 0, SEEK_END);
        return Appended::Failed;
    }
    state_.setRecordedBytes(state_.recordedBytes() + kWaveBufferBytes);
    if (!completeMessageHeader(file, static_cast<std::uint32_t>(state_.recordedBytes())) ||
        std::fseek(file, 0, SEEK_END) != 0) {
        noteWriteError(errno);
        return Appended::Failed;
    }
    return state_.recordedBytes() > kLongestRecording - kWaveBufferBytes ? Appended::Full
                                                                         : Appended::Written;
}

// Completes the partial file and puts it in the message's place. When that fails, the partial
// file stays behind, whole as far as it was written, and the reason is noted for the operator.
void Keyer::finishRecording() {
    // The steps of every file replaced whole: the data on the disk before the new name, and the
    // new name on the disk before the recording is called done. Renamed before its data is
    // synced, a message can come back empty after a power cut.
    FileSystem& fs = posixFileSystem();
    bool finished = completeMessageHeader(messageFile_.get(),
                                          static_cast<std::uint32_t>(state_.recordedBytes())) &&
                    fs.sync(::fileno(messageFile_.get()));
    int error = errno;
    closeMessageFile();
    const QString message = recordingPath_.chopped(kPartialSuffix.size());
    if (finished) {
        bool renamed = false;
        finished = putInPlace(fs, QFile::encodeName(recordingPath_).toStdString(),
                              QFile::encodeName(message).toStdString(), renamed);
        error = errno;
    }
    if (!finished) {
        noteWriteError(error);
        return;
    }
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
    closeMessageFile();
    QFile::remove(recordingPath_);
}

void Keyer::noteWriteError(int error) {
    writeError_ = error != 0 ? error : EIO;
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
    writeError_ = 0;
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
        const Appended appended = appendBlock(block);
        if (appended != Appended::Written) {
            recordingFull_ = appended == Appended::Full;
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
    if (const int error = std::exchange(writeError_, 0); error != 0) {
        reportFailure(couldNotWrite(error), kFileErrorTitle);
    } else if (std::exchange(recordingFull_, false)) {
        dialogs_.showMessage(kLongestReached, kRecordingTitle);
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
