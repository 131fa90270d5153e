#include "keyer/keyer.h"

#include "support/dialogs.h"
#include "audio/wavein.h"
#include "keyer/keyerstate.h"
#include "tx/alarmstrip.h"
#include "tx/bufferwatchdog.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <cstring>
#include <limits>

#include <unistd.h>

namespace {
const QString kFileErrorTitle = QStringLiteral("File Error Message");
const QString kCouldNotOpen = QStringLiteral("Could not open the Wave file");
const QString kCouldNotWrite = QStringLiteral("Could not write the Wave file");

// The sizes in the header are 32-bit; the data size is also kept in a signed counter.
constexpr std::int32_t kLongestRecording =
    std::numeric_limits<std::int32_t>::max() - kWaveBufferBytes;
} // namespace

void Keyer::RecordBtnClick() {
    if (shuttingDown_ || state_.busy())
        return;
    if (deferWhileLoopsRun(&Keyer::RecordBtnClick))
        return;
    record();
    runDeferredStart();
}

// Creates the selected slot's file with a provisional header. False when that failed (reported).
bool Keyer::openRecording() {
    BuildRecordPath(state_.selectedMemory);
    if (state_.playFileOpen)
        closeMessageFile();
    messageFile_ = openFile(state_.currentMessageFile, "wb");
    if (!messageFile_) {
        reportFailure(kCouldNotOpen, kFileErrorTitle);
        state_.recordFileOpen = false;
        StopBtnClick();
        return false;
    }
    state_.recordFileOpen = true;
    if (!writeMessageHeader(messageFile_.get(), kMessageFormat,
                            static_cast<std::uint32_t>(state_.recordedBytes))) {
        closeMessageFile();
        // A header cut short (a full disk) would still claim the provisional sizes: the file is
        // left empty instead, claiming nothing.
        QFile::resize(state_.currentMessageFile, 0);
        reportFailure(kCouldNotWrite, kFileErrorTitle);
        StopBtnClick();
        return false;
    }
    return true;
}

// Appends one captured block. On a failed write the file is cut back to the blocks written
// before, so the sizes completed at stop match what the file holds.
bool Keyer::appendBlock(const std::uint8_t* block) {
    if (state_.recordedBytes > kLongestRecording)
        return false;
    std::FILE* file = messageFile_.get();
    const bool written =
        std::fwrite(block, 1, kWaveBufferBytes, file) == kWaveBufferBytes && std::fflush(file) == 0;
    if (written) {
        state_.recordedBytes += kWaveBufferBytes;
        return true;
    }
    std::clearerr(file);
    const off_t whole = kMessageHeaderBytes + static_cast<off_t>(state_.recordedBytes);
    if (::ftruncate(::fileno(file), whole) == 0)
        std::fseek(file, 0, SEEK_END);
    return false;
}

void Keyer::record() {
    if (!state_.recordFileOpen && !openRecording())
        return;
    state_.setRecordActive(true);
    state_.setKeyerIdle(false);
    std::memset(in_.block(Half::A), 0, kWaveBufferBytes);
    std::memset(in_.block(Half::B), 0, kWaveBufferBytes);
    state_.setKeyerStopped(false);
    state_.recordedBytes = 0;
    state_.stopRequested = false;
    writeFailed_ = false;

    ++loopsRunning_;
    in_.SetupWaveIn();
    in_.OpenWaveIn();
    in_.RearmInHeader(Half::A);
    in_.PrepareInHeader(Half::A);
    in_.AddInBuffer(Half::A);
    in_.StartWaveIn();

    Half filling = Half::A;
    while (!state_.stopRequested) {
        const Half next = other(filling);
        strip_.setColour(filling == Half::A ? AlarmStrip::Blue : AlarmStrip::Red);
        in_.RearmInHeader(next);
        in_.PrepareInHeader(next);
        in_.AddInBuffer(next);
        watchdog_.enable();
        in_.WaitInHeader(filling);
        if (state_.stopRequested)
            break;
        watchdog_.disable();
        watchdog_.clearBufferWaitTimedOut();
        in_.UnprepareInHeader(filling);
        if (state_.stopRequested)
            break;
        std::uint8_t* block = in_.block(filling);
        if (const int factor = gainFactor(); factor != 1)
            ScaleBlock(block, kWaveBufferSamples, factor);
        if (!appendBlock(block)) {
            writeFailed_ = true;
            StopBtnClick();
            break;
        }
        // After a stall the device may hand back several blocks without the wait ever sleeping;
        // STOP must still be heard while the loop catches up.
        QCoreApplication::processEvents();
        filling = next;
    }
    watchdog_.disable();
    in_.ResetWaveIn();
    in_.CloseWaveIn();
    --loopsRunning_;
    if (writeFailed_) {
        writeFailed_ = false;
        reportFailure(kCouldNotWrite, kFileErrorTitle);
    }
}
