#include "keyer/monitor.h"

#include "audio/waveout.h"
#include "keyer/keyer.h"
#include "keyer/level.h"
#include "keyer/messagefile.h"
#include "keyer/messagereader.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {
// Scales 16-bit little-endian samples, rounding to the nearest and saturating.
void scaleInto(std::uint8_t* to, const std::uint8_t* from, std::size_t bytes, double factor) {
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const auto sample = static_cast<std::int16_t>(from[i] | (from[i + 1] << 8));
        const auto bits = static_cast<std::uint16_t>(scaledSample(sample, factor));
        to[i] = static_cast<std::uint8_t>(bits & 0xff);
        to[i + 1] = static_cast<std::uint8_t>(bits >> 8);
    }
}
} // namespace

Monitor::Monitor(WaveOutEngine& engine, std::function<int()> transmitterDevice, QObject* parent)
    : QObject(parent), engine_(engine), transmitterDevice_(std::move(transmitterDevice)),
      check_(new QTimer(this)), queue_(kQueuedBlocks * kWaveBufferBytes),
      scratch_(kWaveBufferBytes) {
    check_->setInterval(kCheckInterval);
    connect(check_, &QTimer::timeout, this, &Monitor::checkDevice);
}

Monitor::~Monitor() = default;

void Monitor::setOn(bool on) {
    on_ = on;
    // Turned off, the monitor stops at once; a preview is the operator's own and goes on.
    if (!on && phase_ != Phase::Previewing)
        close();
}

void Monitor::setVolume(MonitorVolume volume) {
    volume.db = std::clamp(volume.db, MonitorVolume::kLowestDb, 0);
    volume_ = volume;
    factor_ = amplitudeFactor(volume.db);
}

QString Monitor::deviceName() const {
    return engine_.deviceName();
}

void Monitor::prepare() {
    stopPreview();
    if (on_ && phase_ == Phase::Closed && open(tr("The monitor is off")))
        phase_ = Phase::Following;
    if (phase_ == Phase::Draining)
        phase_ = Phase::Following;
}

bool Monitor::open(const QString& refused) {
    // With VOX, sound there would key the transmitter.
    if (engine_.device() == transmitterDevice_()) {
        fail(tr("%1: %2 is the transmitter's sound card; choose another for the "
                "monitor in Options > SoundCard")
                 .arg(refused, deviceName()));
        return false;
    }
    const WaveStatus opened = engine_.openOutput();
    if (!opened.ok()) {
        fail(QStringLiteral("%1: %2").arg(refused, opened.text().shown()));
        return false;
    }
    inFlight_ = {};
    head_ = waiting_ = 0;
    check_->start();
    return true;
}

void Monitor::close() {
    check_->stop();
    preview_.reset();
    head_ = waiting_ = 0;
    inFlight_ = {};
    const bool wasPreviewing = phase_ == Phase::Previewing;
    phase_ = Phase::Closed;
    if (engine_.deviceOpen()) {
        // The service lets go of a device that does not answer; neither call waits on it.
        engine_.resetOutput();
        engine_.closeOutput();
    }
    if (wasPreviewing)
        emit previewEnded();
}

void Monitor::fail(const QString& why) {
    // A preview that fails leaves the monitor as the operator set it.
    const bool monitoring = phase_ != Phase::Previewing && phase_ != Phase::Opening;
    close();
    if (monitoring && on_) {
        on_ = false;
        emit onChanged(false);
    }
    emit failed(why);
}

void Monitor::follow(const std::uint8_t* block) {
    if (phase_ != Phase::Following)
        return;
    // A device this far behind has not started at all: it is the one that gives way.
    if (!enqueue(block)) {
        stopped(tr("it fell behind the transmitter"));
        return;
    }
    feed();
}

void Monitor::endMessage(bool heardWhole) {
    if (phase_ != Phase::Following)
        return;
    if (!heardWhole) {
        close();
        return;
    }
    phase_ = Phase::Draining;
    serviceDevice();
}

bool Monitor::enqueue(const std::uint8_t* block) {
    if (waiting_ == kQueuedBlocks)
        return false;
    std::uint8_t* slot = queue_.data() + ((head_ + waiting_) % kQueuedBlocks) * kWaveBufferBytes;
    if (volume_.db == 0)
        std::memcpy(slot, block, kWaveBufferBytes);
    else
        scaleInto(slot, block, kWaveBufferBytes, factor_);
    ++waiting_;
    return true;
}

bool Monitor::readPreviewBlock() {
    if (!preview_)
        return false;
    const std::size_t got = preview_->read(scratch_.data(), kWaveBufferBytes);
    if (got == 0) {
        preview_.reset();
        return false;
    }
    std::memset(scratch_.data() + got, 0, kWaveBufferBytes - got);
    return enqueue(scratch_.data());
}

void Monitor::feed() {
    for (Half half : {Half::A, Half::B})
        if (inFlight_[index(half)] && engine_.done(half)) {
            inFlight_[index(half)] = false;
            sinceHeard_.start();
        }
    if (phase_ == Phase::Previewing)
        while (waiting_ < 2 && readPreviewBlock()) {
        }
    // Blocks go out in the order they came; the device plays its halves in the order queued.
    for (Half half : {Half::A, Half::B}) {
        if (waiting_ == 0 || inFlight_[index(half)])
            continue;
        std::memcpy(engine_.block(half), queue_.data() + head_ * kWaveBufferBytes,
                    kWaveBufferBytes);
        head_ = (head_ + 1) % kQueuedBlocks;
        --waiting_;
        if (const WaveStatus queued = engine_.queueBlock(half); !queued.ok()) {
            fail(tr("The monitor is off: %1").arg(queued.text().shown()));
            return;
        }
        // The wait for the device counts from a block it has in hand.
        if (!inFlight_[index(other(half))])
            sinceHeard_.start();
        inFlight_[index(half)] = true;
    }
}

void Monitor::serviceDevice() {
    if (phase_ == Phase::Closed)
        return;
    feed();
    const bool idle = waiting_ == 0 && !inFlight_[0] && !inFlight_[1];
    if (idle && (phase_ == Phase::Draining || (phase_ == Phase::Previewing && !preview_)))
        close();
}

void Monitor::checkDevice() {
    // A server that stalls may leave the device waiting in peace: only the silence tells.
    const bool waiting = inFlight_[0] || inFlight_[1];
    const std::string problem = engine_.problem();
    if (!problem.empty())
        stopped(QString::fromStdString(problem));
    else if (waiting && sinceHeard_.isValid() &&
             std::chrono::milliseconds{sinceHeard_.elapsed()} >= Keyer::kLongestSilence)
        stopped(translatable("Keyer", "no sound moved for %1 s")
                    .arg(std::chrono::duration_cast<std::chrono::seconds>(Keyer::kLongestSilence)
                             .count())
                    .shown());
}

void Monitor::stopped(const QString& why) {
    fail(tr("The monitor is off: sound stopped on %1: %2").arg(deviceName(), why));
}

bool Monitor::preview(const QString& path) {
    stopPreview();
    const QString empty = tr("Nothing to preview: the memory is empty");
    OpenedMessage opened = openMessageFile(path);
    if (opened.result != HeaderResult::Ok) {
        const auto refusal = headerFailureMessage(opened.result);
        emit failed(!QFileInfo::exists(path) || !refusal
                        ? empty
                        : tr("Not previewed: %1").arg(refusal->textNotice().shown()));
        return false;
    }
    auto reader = std::make_unique<MessageReader>(std::move(opened));
    if (reader->playBytes() == 0) {
        emit failed(empty);
        return false;
    }
    // The monitor following a message that played out gives way: the preview starts clean.
    if (phase_ != Phase::Closed)
        close();
    phase_ = Phase::Opening;
    if (!open(tr("Not previewed")))
        return false;
    phase_ = Phase::Previewing;
    preview_ = std::move(reader);
    feed();
    return true;
}

void Monitor::stopPreview() {
    if (phase_ == Phase::Previewing)
        close();
}
