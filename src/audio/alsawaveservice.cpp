#include "audio/alsawaveservice.h"

#include <QtGlobal>

#include "audio/audiolog.h"
#include "support/uniquefd.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

constexpr int kMaxNameLength = 31;
constexpr std::uint16_t kPcmFormatTag = 1;
const char* const kDefaultPcm = "default";
const char* const kDefaultName = "System default";

// One ALSA period per keyer buffer. Playback keeps room for twice the two buffers in flight;
// capture keeps about 0.75 s, so that a late buffer from the keyer loses nothing.
constexpr snd_pcm_uframes_t PeriodFrames = kWaveBufferSamples;
constexpr snd_pcm_uframes_t kPlaybackPeriods = 4;
constexpr snd_pcm_uframes_t kCapturePeriods = 8;

// The device thread sleeps until the PCM is ready, the oldest buffer is due to have sounded or a
// command comes, so that it wakes about twice per buffer: every wake costs as much CPU as the
// work it does. The longest sleeps only guard against a device or a delay estimate gone wrong;
// they are longer than the two buffers the keyer keeps in flight.
constexpr std::chrono::milliseconds kLongestDeviceWait(250);
constexpr std::chrono::milliseconds kLongestCompletionWait(250);
// Without a way to wake the thread, it looks at the commands this often.
constexpr std::chrono::milliseconds kCommandCheckWait(20);
constexpr std::chrono::milliseconds kShortestWait(1);
// A buffer is looked at this long after its last frame is due, so that the device's delay
// already shows it played instead of the thread waking once more just before.
constexpr std::chrono::microseconds kCompletionSlack(2000);
// Some servers (PipeWire's PulseAudio server) hold back a tail shorter than their own block until
// more comes or the stream is drained. Once the tail is this late, it is drained.
constexpr std::chrono::milliseconds kHeldTailGrace(40);

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmPtr = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct CtlCloser {
    void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};
using CtlPtr = std::unique_ptr<snd_ctl_t, CtlCloser>;

// Reports a failed ALSA call on stderr; returns whether the call succeeded.
bool alsaOk(long err, const std::string& device, const char* operation) {
    if (err >= 0)
        return true;
    qCWarning(audioLog, "ALSA device %s: %s failed: %s", device.c_str(), operation,
              snd_strerror(static_cast<int>(err)));
    return false;
}

using Direction = WaveService::Direction;

snd_pcm_stream_t alsaStream(Direction direction) {
    return direction == Direction::Output ? SND_PCM_STREAM_PLAYBACK : SND_PCM_STREAM_CAPTURE;
}

const char* directionName(Direction direction) {
    return direction == Direction::Output ? "playback" : "capture";
}

bool alsaSampleFormat(const WaveFormat& format, snd_pcm_format_t& sampleFormat) {
    if (format.formatTag != kPcmFormatTag || format.channels == 0 || format.samplesPerSecond == 0 ||
        format.blockAlign != format.channels * format.bitsPerSample / 8)
        return false;
    switch (format.bitsPerSample) {
    case 16:
        sampleFormat = SND_PCM_FORMAT_S16_LE;
        return true;
    case 8:
        sampleFormat = SND_PCM_FORMAT_U8;
        return true;
    default:
        return false;
    }
}

bool setHardwareParams(snd_pcm_t* pcm, const std::string& device, Direction direction,
                       const WaveFormat& format, snd_pcm_format_t sampleFormat) {
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_uframes_t period = PeriodFrames;
    snd_pcm_uframes_t buffer =
        PeriodFrames * (direction == Direction::Output ? kPlaybackPeriods : kCapturePeriods);
    int dir = 0;
    return alsaOk(snd_pcm_hw_params_any(pcm, hw), device, "hw_params_any") &&
           alsaOk(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED), device,
                  "set access") &&
           alsaOk(snd_pcm_hw_params_set_format(pcm, hw, sampleFormat), device, "set format") &&
           alsaOk(snd_pcm_hw_params_set_channels(pcm, hw, format.channels), device,
                  "set channels") &&
           alsaOk(snd_pcm_hw_params_set_rate(pcm, hw, format.samplesPerSecond, 0), device,
                  "set exact rate") &&
           alsaOk(snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir), device,
                  "set period size") &&
           alsaOk(snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer), device,
                  "set buffer size") &&
           alsaOk(snd_pcm_hw_params(pcm, hw), device, "hw_params");
}

bool setSoftwareParams(snd_pcm_t* pcm, const std::string& device, Direction direction) {
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    // Playback starts with the first frame written; capture starts on the keyer's command.
    const bool ok =
        alsaOk(snd_pcm_sw_params_current(pcm, sw), device, "sw_params_current") &&
        alsaOk(snd_pcm_sw_params_set_avail_min(pcm, sw, PeriodFrames), device, "set avail_min");
    if (!ok)
        return false;
    if (direction == Direction::Output &&
        !alsaOk(snd_pcm_sw_params_set_start_threshold(pcm, sw, 1), device, "set start threshold"))
        return false;
    return alsaOk(snd_pcm_sw_params(pcm, sw), device, "sw_params");
}

// Opens the PCM with the keyer's format, the rate taken exactly; null when the device cannot,
// with ALSA's reason in error when the open itself failed.
PcmPtr openPcm(const std::string& device, Direction direction, const WaveFormat& format,
               WaveResult& result, std::string& error) {
    error.clear();
    snd_pcm_format_t sampleFormat = SND_PCM_FORMAT_UNKNOWN;
    if (!alsaSampleFormat(format, sampleFormat)) {
        result = WaveResult::UnsupportedFormat;
        return {};
    }
    snd_pcm_t* raw = nullptr;
    // Non-blocking, so that a card held by another program fails at once instead of hanging.
    const int opened = snd_pcm_open(&raw, device.c_str(), alsaStream(direction), SND_PCM_NONBLOCK);
    if (!alsaOk(opened, device,
                direction == Direction::Output ? "open for playback" : "open for capture")) {
        error = snd_strerror(opened);
        result = opened == -EBUSY ? WaveResult::Busy : WaveResult::Failed;
        return {};
    }
    PcmPtr pcm(raw);
    if (!setHardwareParams(raw, device, direction, format, sampleFormat) ||
        !setSoftwareParams(raw, device, direction)) {
        result = WaveResult::UnsupportedFormat;
        return {};
    }
    result = WaveResult::Ok;
    return pcm;
}

} // namespace

// Opens a PCM on a thread of its own. A sound server that has stopped answering holds
// snd_pcm_open for as long as its client library waits (30 s with PulseAudio's), and the
// caller gives up after AlsaWaveService::kAnswerTime; a PCM opened after that is closed here.
class PcmOpener {
public:
    PcmOpener(std::string device, Direction direction, const WaveFormat& format)
        : device_(std::move(device)), direction_(direction), format_(format) {}

    static std::shared_ptr<PcmOpener> start(const std::string& device, Direction direction,
                                            const WaveFormat& format) {
        auto opener = std::make_shared<PcmOpener>(device, direction, format);
        std::thread([opener] { opener->run(); }).detach();
        return opener;
    }

    const std::string& device() const { return device_; }
    bool waitFinished(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        return done_.wait_until(lock, deadline, [this] { return finished_; });
    }

    // The opened PCM, or null with result and error saying why; false (nothing taken) when the
    // open did not end by the deadline and was given up.
    bool take(std::chrono::steady_clock::time_point deadline, PcmPtr& pcm, WaveResult& result,
              std::string& error) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!done_.wait_until(lock, deadline, [this] { return finished_; })) {
            abandoned_ = true;
            return false;
        }
        pcm = std::move(pcm_);
        result = result_;
        error = error_;
        return true;
    }

private:
    void run() {
        WaveResult result = WaveResult::Failed;
        std::string error;
        PcmPtr pcm = openPcm(device_, direction_, format_, result, error);
        std::unique_lock<std::mutex> lock(mutex_);
        if (abandoned_) {
            lock.unlock();
            pcm.reset();
            lock.lock();
        }
        pcm_ = std::move(pcm);
        result_ = result;
        error_ = std::move(error);
        finished_ = true;
        done_.notify_all();
    }

    const std::string device_;
    const Direction direction_;
    const WaveFormat format_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool abandoned_ = false;
    PcmPtr pcm_;
    WaveResult result_ = WaveResult::Failed;
    std::string error_;
};

namespace {

// Opens the PCM unless an earlier open of it is still held up, waiting at most kAnswerTime.
PcmPtr openInTime(std::vector<std::shared_ptr<PcmOpener>>& unanswered, const std::string& device,
                  Direction direction, const WaveFormat& format, WaveResult& result,
                  std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + AlsaWaveService::kAnswerTime;
    for (auto it = unanswered.begin(); it != unanswered.end();) {
        const bool sameDevice = (*it)->device() == device;
        if ((*it)->waitFinished(sameDevice ? deadline : std::chrono::steady_clock::time_point{})) {
            it = unanswered.erase(it);
        } else if (sameDevice) {
            error = "the device has not answered since it was last opened";
            result = WaveResult::NoAnswer;
            return {};
        } else {
            ++it;
        }
    }
    auto opener = PcmOpener::start(device, direction, format);
    PcmPtr pcm;
    if (opener->take(deadline, pcm, result, error))
        return pcm;
    unanswered.push_back(std::move(opener));
    error = "did not answer for " +
            std::to_string(std::chrono::milliseconds(AlsaWaveService::kAnswerTime).count()) + " ms";
    result = WaveResult::NoAnswer;
    return {};
}

std::chrono::milliseconds clampWait(std::chrono::microseconds wait,
                                    std::chrono::milliseconds longest) {
    return std::chrono::ceil<std::chrono::milliseconds>(
        std::clamp<std::chrono::microseconds>(wait, kShortestWait, longest));
}

using Clock = std::chrono::steady_clock;

} // namespace

// One open PCM and the thread that owns it. The stream hands its buffers to the thread and
// never waits for it: when the thread is held up inside ALSA by another program (a sound server
// that stopped answering), the stream lets go of it, and the thread closes the PCM when, and if,
// it comes back. So everything the thread touches lives here, shared with the stream.
class PcmWorker {
public:
    PcmWorker(Direction direction, const WaveFormat& format, PcmPtr pcm, std::string device,
              std::shared_ptr<AlsaXrunCounts> xruns,
              std::shared_ptr<const CompletionNotifier> notify)
        : direction_(direction), frameBytes_(format.blockAlign ? format.blockAlign : 1u),
          rate_(format.samplesPerSecond), pcm_(std::move(pcm)), device_(std::move(device)),
          xruns_(std::move(xruns)), notify_(std::move(notify)) {}

    const std::string& device() const { return device_; }

    void queue(WaveHeader& header) {
        header.bytesRecorded.store(0, std::memory_order_relaxed);
        header.flags.fetch_and(~WaveHeader::kDone, std::memory_order_relaxed);
        header.flags.fetch_or(WaveHeader::kInQueue, std::memory_order_release);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(&header);
        }
        wake();
    }

    bool hasQueued() {
        std::lock_guard<std::mutex> lock(mutex_);
        return !queue_.empty();
    }

    void start() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            startWanted_ = true;
        }
        wake();
    }

    // The queued buffers come back done at once; the thread drops what the PCM holds when it
    // next looks.
    void reset() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            completeAll();
            ++epoch_;
            resetWanted_ = true;
            startWanted_ = false;
        }
        wake();
    }

    // The last word to the thread: no buffer of the caller's is touched from now on.
    void quit() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            completeAll();
            quit_ = true;
            quitAt_ = Clock::now();
            notify_.reset();
        }
        wake();
    }

    // Waits until the thread has closed the PCM, or until the deadline.
    bool waitFinished(Clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_until(lock, deadline, [this] { return finished_; });
    }
    Clock::time_point quitAt() {
        std::lock_guard<std::mutex> lock(mutex_);
        return quitAt_;
    }

    std::string problem() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!failure_.empty())
                return failure_;
        }
        const auto since = callSince_.load();
        if (since != 0 && Clock::now().time_since_epoch().count() - since >
                              std::chrono::nanoseconds(AlsaWaveService::kAnswerTime).count())
            return "did not answer for " +
                   std::to_string(std::chrono::milliseconds(AlsaWaveService::kAnswerTime).count()) +
                   " ms";
        return {};
    }

    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!quit_) {
            if (resetWanted_) {
                resetWanted_ = false;
                const std::uint64_t epoch = epoch_;
                lock.unlock();
                const int dropped = held([&] { return snd_pcm_drop(pcm_.get()); });
                const int ready =
                    dropped < 0 ? dropped : held([&] { return snd_pcm_prepare(pcm_.get()); });
                lock.lock();
                written_.clear();
                offset_ = 0;
                framesWritten_ = 0;
                drained_ = false;
                running_ = false;
                epochSeen_ = epoch;
                failure_.clear();
                // A PCM that cannot be made ready again stays failed until the next reset.
                if (!alsaOk(ready, device_, dropped < 0 ? "drop" : "prepare"))
                    fail(ready, "reset");
                continue;
            }
            if (startWanted_) {
                startWanted_ = false;
                lock.unlock();
                const bool started =
                    running_ || during([&] { return snd_pcm_start(pcm_.get()); }, "start");
                lock.lock();
                running_ = started;
                continue;
            }
            std::chrono::microseconds wait = kLongestDeviceWait;
            const Next next = !failure_.empty() || epochSeen_ != epoch_ ? Next::Idle
                              : direction_ == Direction::Output         ? playStep(lock, wait)
                                                                        : recordStep(lock);
            switch (next) {
            case Next::Continue:
                break;
            case Next::WaitDevice:
                lock.unlock();
                waitDevice(clampWait(wait, kLongestDeviceWait));
                lock.lock();
                break;
            case Next::WaitCompletion:
                changed_.wait_for(lock, clampWait(wait, kLongestCompletionWait));
                break;
            case Next::Idle:
                if (!quit_ && !resetWanted_ && !startWanted_)
                    changed_.wait(lock);
                break;
            }
        }
        lock.unlock();
        during([&] { return snd_pcm_drop(pcm_.get()); }, "drop before close");
        during([&] { return snd_pcm_close(pcm_.release()); }, "close");
        lock.lock();
        finished_ = true;
        changed_.notify_all();
    }

private:
    enum class Next { Continue, WaitDevice, WaitCompletion, Idle };

    // Commands reach the thread whether it sleeps on the condition or on the PCM.
    void wake() {
        changed_.notify_all();
        if (wake_) {
            const std::uint64_t one = 1;
            // Only fails when the counter is full, and then the thread is woken anyway.
            (void)::write(wake_.get(), &one, sizeof one);
        }
    }

    // Runs an ALSA call that may wait on another program, outside the lock, marked so that the
    // stream can tell a thread held up there; returns the call's result.
    template <typename Call> std::invoke_result_t<Call> held(Call call) {
        callSince_ = Clock::now().time_since_epoch().count();
        const auto result = call();
        callSince_ = 0;
        return result;
    }
    // The same, for a call whose failure is only reported; false when it failed.
    template <typename Call> bool during(Call call, const char* operation) {
        return alsaOk(held(call), device_, operation);
    }

    // Under the lock: the PCM failed, and the buffers it holds will not come back by
    // themselves. The waiting keyer is woken to find out.
    void fail(long err, const char* operation) {
        failure_ = std::string(operation) + " failed: " + snd_strerror(static_cast<int>(err));
        notify();
    }

    void notify() {
        if (notify_)
            (*notify_)();
    }

    void completeFront() {
        queue_.front()->markDone();
        queue_.pop_front();
        notify();
    }

    void completeAll() {
        if (queue_.empty())
            return;
        for (WaveHeader* header : queue_)
            header->markDone();
        queue_.clear();
        notify();
    }

    // Sleeps until the PCM can be read or written, a command comes or `longest` has passed.
    // An xrun shows here too; the next transfer reports and recovers it.
    void waitDevice(std::chrono::milliseconds longest) {
        if (!pollDeviceAndCommands(longest))
            snd_pcm_wait(pcm_.get(),
                         static_cast<int>(std::min(longest, kCommandCheckWait).count()));
    }

    // False when the PCM's descriptors cannot be polled together with wake_.
    bool pollDeviceAndCommands(std::chrono::milliseconds longest) {
        snd_pcm_t* pcm = pcm_.get();
        const int count = snd_pcm_poll_descriptors_count(pcm);
        if (!wake_ || count <= 0)
            return false;
        pollFds_.resize(static_cast<std::size_t>(count) + 1);
        const int filled =
            snd_pcm_poll_descriptors(pcm, pollFds_.data(), static_cast<unsigned>(count));
        if (!alsaOk(filled, device_, "poll descriptors"))
            return false;
        const auto device = static_cast<unsigned>(filled);
        pollFds_[device] = {wake_.get(), POLLIN, 0};
        if (::poll(pollFds_.data(), device + 1, static_cast<int>(longest.count())) <= 0)
            return true;
        if (pollFds_[device].revents & POLLIN) {
            std::uint64_t commands = 0;
            (void)::read(wake_.get(), &commands, sizeof commands);
        }
        // Lets the plugin take note of what made its descriptors ready.
        unsigned short revents = 0;
        snd_pcm_poll_descriptors_revents(pcm, pollFds_.data(), device, &revents);
        return true;
    }

    // Writes the next queued buffer and completes the buffers the device has played: a buffer is
    // done when the device's delay shows its last frame has sounded. The buffer is copied first,
    // so that the thread never reads the caller's memory outside the lock.
    Next playStep(std::unique_lock<std::mutex>& lock, std::chrono::microseconds& wait) {
        snd_pcm_t* pcm = pcm_.get();
        const std::uint64_t epoch = epoch_;
        bool deviceFull = false;
        if (written_.size() < queue_.size()) {
            const WaveHeader* header = queue_[written_.size()];
            chunk_.assign(header->data + offset_, header->data + header->bufferLength);
            const auto frames = static_cast<snd_pcm_uframes_t>(chunk_.size() / frameBytes_);
            lock.unlock();
            const snd_pcm_sframes_t n =
                held([&] { return snd_pcm_writei(pcm, chunk_.data(), frames); });
            lock.lock();
            if (epoch != epoch_)
                return Next::Continue;
            if (n == -EAGAIN) {
                deviceFull = true;
            } else if (n < 0) {
                return recoverPlayback(n, "write") ? Next::Continue : Next::Idle;
            } else {
                if (drained_) {
                    countUnderrun();
                    drained_ = false;
                }
                // Only a reset takes headers away from under the thread: this one is still there.
                movedAt_ = Clock::now();
                offset_ += static_cast<std::uint32_t>(n) * frameBytes_;
                framesWritten_ += static_cast<std::uint64_t>(n);
                if (offset_ >= header->bufferLength) {
                    written_.push_back(framesWritten_);
                    offset_ = 0;
                } else {
                    deviceFull = true;
                }
            }
        }
        if (!written_.empty()) {
            snd_pcm_sframes_t avail = 0;
            snd_pcm_sframes_t delay = 0;
            lock.unlock();
            const int err = held([&] { return snd_pcm_avail_delay(pcm, &avail, &delay); });
            lock.lock();
            if (epoch != epoch_)
                return Next::Continue;
            if (err < 0)
                return recoverPlayback(err, "avail_delay") ? Next::Continue : Next::Idle;
            const std::uint64_t pending = std::min<std::uint64_t>(
                framesWritten_, static_cast<std::uint64_t>(std::max<long>(delay, 0)));
            const std::uint64_t played = framesWritten_ - pending;
            if (played != playedBefore_ || pending == 0) {
                playedBefore_ = played;
                movedAt_ = Clock::now();
            }
            while (!written_.empty() && written_.front() <= played) {
                written_.pop_front();
                completeFront();
            }
            if (written_.size() == queue_.size() && pending < PeriodFrames &&
                Clock::now() - movedAt_ > framesDuration(pending) + kHeldTailGrace)
                return playOutHeldTail(lock, epoch);
            if (!written_.empty())
                wait = framesDuration(written_.front() - played) + kCompletionSlack;
        }
        if (written_.size() < queue_.size())
            return deviceFull ? Next::WaitDevice : Next::Continue;
        return written_.empty() ? Next::Idle : Next::WaitCompletion;
    }

    // Nothing is left to write and the device sits on a short tail: a blocking drain makes the
    // server play it, and the PCM is made ready for the next message.
    Next playOutHeldTail(std::unique_lock<std::mutex>& lock, std::uint64_t epoch) {
        snd_pcm_t* pcm = pcm_.get();
        lock.unlock();
        snd_pcm_nonblock(pcm, 0);
        const int drained = held([&] { return snd_pcm_drain(pcm); });
        snd_pcm_nonblock(pcm, 1);
        const int ready = held([&] { return snd_pcm_prepare(pcm); });
        lock.lock();
        if (epoch != epoch_)
            return Next::Continue;
        if (!alsaOk(drained, device_, "drain") || !alsaOk(ready, device_, "prepare")) {
            fail(drained < 0 ? drained : ready, drained < 0 ? "drain" : "prepare");
            return Next::Idle;
        }
        while (!written_.empty()) {
            written_.pop_front();
            completeFront();
        }
        framesWritten_ = 0;
        return Next::Continue;
    }

    // An underrun means the device has played everything written to it.
    bool recoverPlayback(long err, const char* operation) {
        if (err != -EPIPE && err != -ESTRPIPE) {
            alsaOk(err, device_, operation);
            fail(err, operation);
            return false;
        }
        if (written_.size() < queue_.size())
            countUnderrun();
        else
            drained_ = true;
        while (!written_.empty()) {
            written_.pop_front();
            completeFront();
        }
        framesWritten_ = 0;
        const int recovered = snd_pcm_recover(pcm_.get(), static_cast<int>(err), 1);
        if (!alsaOk(recovered, device_, "recover after underrun")) {
            fail(recovered, "recover after underrun");
            return false;
        }
        return true;
    }

    void countUnderrun() {
        ++xruns_->underruns;
        qCWarning(audioLog, "ALSA device %s: playback underrun", device_.c_str());
    }

    // Fills the oldest queued buffer with what the device has captured.
    Next recordStep(std::unique_lock<std::mutex>& lock) {
        if (!running_ || queue_.empty())
            return Next::Idle;
        const std::uint64_t epoch = epoch_;
        chunk_.resize(queue_.front()->bufferLength - offset_);
        lock.unlock();
        const snd_pcm_sframes_t n = held(
            [&] { return snd_pcm_readi(pcm_.get(), chunk_.data(), chunk_.size() / frameBytes_); });
        lock.lock();
        if (epoch != epoch_ || queue_.empty())
            return Next::Continue;
        if (n == -EAGAIN)
            return Next::WaitDevice;
        if (n < 0)
            return recoverCapture(n) ? Next::Continue : Next::Idle;
        WaveHeader* header = queue_.front();
        const std::uint32_t bytes = static_cast<std::uint32_t>(n) * frameBytes_;
        std::memcpy(header->data + offset_, chunk_.data(), bytes);
        offset_ += bytes;
        header->bytesRecorded.store(offset_, std::memory_order_relaxed);
        if (offset_ < header->bufferLength)
            return Next::WaitDevice;
        offset_ = 0;
        completeFront();
        return Next::Continue;
    }

    bool recoverCapture(long err) {
        if (err != -EPIPE && err != -ESTRPIPE) {
            alsaOk(err, device_, "read");
            fail(err, "read");
            return false;
        }
        ++xruns_->overruns;
        qCWarning(audioLog, "ALSA device %s: capture overrun", device_.c_str());
        const int recovered = snd_pcm_recover(pcm_.get(), static_cast<int>(err), 1);
        const int restarted = recovered < 0 ? recovered : snd_pcm_start(pcm_.get());
        if (!alsaOk(restarted, device_, "recover after overrun")) {
            fail(restarted, "recover after overrun");
            return false;
        }
        return true;
    }

    std::chrono::microseconds framesDuration(std::uint64_t frames) const {
        return std::chrono::microseconds(frames * 1000000 / rate_);
    }

    const Direction direction_;
    const std::uint32_t frameBytes_;
    const std::uint32_t rate_;
    PcmPtr pcm_;
    const std::string device_;
    const std::shared_ptr<AlsaXrunCounts> xruns_;

    std::mutex mutex_;
    std::condition_variable changed_;
    // Shared with the stream's thread, under mutex_.
    std::shared_ptr<const CompletionNotifier> notify_;
    std::deque<WaveHeader*> queue_;
    std::uint64_t epoch_ = 0; // one more with every reset
    bool resetWanted_ = false;
    bool startWanted_ = false;
    bool quit_ = false;
    bool finished_ = false;
    std::string failure_;
    Clock::time_point quitAt_{};

    // When the thread entered an ALSA call that may wait on another program (steady clock
    // ticks); 0 outside one.
    std::atomic<Clock::rep> callSince_{0};

    // The device thread's own.
    std::uint64_t epochSeen_ = 0;       // the reset the PCM's state follows
    std::deque<std::uint64_t> written_; // for each buffer written whole: the frame count at its end
    std::uint64_t framesWritten_ = 0;   // since the device last started
    std::uint32_t offset_ = 0;          // bytes of the next buffer already transferred
    bool drained_ = false;              // playback ran out of buffers: a gap if more come
    std::uint64_t playedBefore_ = 0;    // frames the device had played when last looked at
    Clock::time_point movedAt_{};       // when that count last moved or a write last went in
    bool running_ = false;              // capture started
    std::vector<std::uint8_t> chunk_;   // what is being written or read

    // Counts the commands sent while the thread may sleep on the PCM.
    const UniqueFd wake_{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::vector<pollfd> pollFds_; // the PCM's descriptors, then wake_
};

namespace {

class AlsaStream final : public WaveStream {
public:
    AlsaStream(Direction direction, const WaveFormat& format,
               std::shared_ptr<const CompletionNotifier> notify, PcmPtr pcm, std::string device,
               std::shared_ptr<AlsaXrunCounts> xruns,
               std::function<void(std::shared_ptr<PcmWorker>)> letGo)
        : WaveStream(direction, format),
          worker_(std::make_shared<PcmWorker>(direction, format, std::move(pcm), std::move(device),
                                              std::move(xruns), notify)),
          letGo_(std::move(letGo)) {
        std::thread([worker = worker_] { worker->run(); }).detach();
    }

    ~AlsaStream() override { close(); }

    void queue(WaveHeader& header) override { worker_->queue(header); }
    bool hasQueued() override { return worker_->hasQueued(); }
    std::string problem() override {
        const std::string problem = worker_->problem();
        return problem.empty() ? problem : worker_->device() + ": " + problem;
    }

    WaveResult start() override {
        if (direction() != Direction::Input)
            return WaveResult::WrongDirection;
        worker_->start();
        return WaveResult::Ok;
    }

    WaveResult reset() override {
        worker_->reset();
        return WaveResult::Ok;
    }

    WaveResult close() override {
        if (!letGo_)
            return WaveResult::InvalidHandle;
        worker_->quit();
        std::exchange(letGo_, nullptr)(worker_);
        return WaveResult::Ok;
    }

private:
    const std::shared_ptr<PcmWorker> worker_;
    std::function<void(std::shared_ptr<PcmWorker>)> letGo_;
};

QString cardPcmName(const QString& card, int device) {
    const QString name = device == 0 ? card : QStringLiteral("%1 (%2)").arg(card).arg(device);
    return name.left(kMaxNameLength);
}

void addCardPcms(int card, Direction direction, std::vector<AlsaPcm>& list) {
    const std::string hw = "hw:" + std::to_string(card);
    snd_ctl_t* raw = nullptr;
    if (!alsaOk(snd_ctl_open(&raw, hw.c_str(), 0), hw, "open control"))
        return;
    CtlPtr ctl(raw);
    snd_ctl_card_info_t* info = nullptr;
    snd_ctl_card_info_alloca(&info);
    if (!alsaOk(snd_ctl_card_info(raw, info), hw, "card info"))
        return;
    const std::string id = snd_ctl_card_info_get_id(info);
    const QString cardName = QString::fromUtf8(snd_ctl_card_info_get_name(info));

    snd_pcm_info_t* pcmInfo = nullptr;
    snd_pcm_info_alloca(&pcmInfo);
    int device = -1;
    for (;;) {
        if (!alsaOk(snd_ctl_pcm_next_device(raw, &device), hw, "next pcm device") || device < 0)
            return;
        snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
        snd_pcm_info_set_subdevice(pcmInfo, 0);
        snd_pcm_info_set_stream(pcmInfo, alsaStream(direction));
        // Fails with ENOENT for a PCM without this direction: not an error.
        if (snd_ctl_pcm_info(raw, pcmInfo) < 0)
            continue;
        list.push_back({"plughw:CARD=" + id + ",DEV=" + std::to_string(device),
                        cardPcmName(cardName, device)});
    }
}

} // namespace

AlsaWaveService::AlsaWaveService()
    : discovering_(true), outputs_(discover(Direction::Output)),
      inputs_(discover(Direction::Input)) {}

AlsaWaveService::AlsaWaveService(std::vector<AlsaPcm> outputs, std::vector<AlsaPcm> inputs)
    : discovering_(false), outputs_(std::move(outputs)), inputs_(std::move(inputs)) {}

AlsaWaveService::~AlsaWaveService() {
    closeAll();
    // The program is ending: a thread still held up is left to the process's end.
    for (const auto& worker : lettingGo_)
        worker->waitFinished(worker->quitAt() + kAnswerTime);
}

bool AlsaWaveService::waitForLetGo(const std::string& pcm) {
    bool answered = true;
    for (auto it = lettingGo_.begin(); it != lettingGo_.end();) {
        // Closing takes the thread a few milliseconds; a device of the same name may only open
        // once the last one has closed.
        const bool sameDevice = (*it)->device() == pcm;
        const auto deadline = sameDevice ? (*it)->quitAt() + kAnswerTime : Clock::time_point{};
        if ((*it)->waitFinished(deadline)) {
            it = lettingGo_.erase(it);
        } else {
            answered = answered && !sameDevice;
            ++it;
        }
    }
    return answered;
}

std::vector<AlsaPcm> AlsaWaveService::discover(Direction direction) {
    std::vector<AlsaPcm> list{{kDefaultPcm, QString::fromLatin1(kDefaultName)}};
    int card = -1;
    for (;;) {
        if (!alsaOk(snd_card_next(&card), "cards", directionName(direction)) || card < 0)
            return list;
        addCardPcms(card, direction, list);
    }
}

const std::vector<AlsaPcm>& AlsaWaveService::devices(Direction direction) const {
    return direction == Direction::Output ? outputs_ : inputs_;
}

const AlsaPcm* AlsaWaveService::device(Direction direction, int device) const {
    const auto& list = devices(direction);
    if (device < 0 || static_cast<std::size_t>(device) >= list.size())
        return nullptr;
    return &list[static_cast<std::size_t>(device)];
}

int AlsaWaveService::deviceCount(Direction direction) {
    if (discovering_)
        (direction == Direction::Output ? outputs_ : inputs_) = discover(direction);
    return static_cast<int>(devices(direction).size());
}

std::string AlsaWaveService::productName(Direction direction, int device) {
    const AlsaPcm* pcm = this->device(direction, device);
    return pcm ? pcm->name.left(kMaxNameLength).toStdString() : std::string();
}

WaveResult AlsaWaveService::query(Direction direction, int device, const WaveFormat& format) {
    const AlsaPcm* pcm = this->device(direction, device);
    if (!pcm)
        return WaveResult::NoSuchDevice;
    WaveResult result = WaveResult::Failed;
    const PcmPtr opened =
        openInTime(unanswered_, pcm->pcm, direction, format, result, lastError_[slot(direction)]);
    return result;
}

std::string AlsaWaveService::lastError(Direction direction) const {
    return lastError_[slot(direction)];
}

std::unique_ptr<WaveStream>
AlsaWaveService::openStream(Direction direction, int device, const WaveFormat& format,
                            std::shared_ptr<const CompletionNotifier> notify, WaveResult& result) {
    const AlsaPcm* pcm = this->device(direction, device);
    if (!pcm) {
        result = WaveResult::NoSuchDevice;
        return nullptr;
    }
    if (!waitForLetGo(pcm->pcm)) {
        lastError_[slot(direction)] = "the device has not answered since it was last stopped";
        result = WaveResult::NoAnswer;
        return nullptr;
    }
    PcmPtr opened =
        openInTime(unanswered_, pcm->pcm, direction, format, result, lastError_[slot(direction)]);
    if (!opened)
        return nullptr;
    return std::make_unique<AlsaStream>(
        direction, format, std::move(notify), std::move(opened), pcm->pcm, xruns_,
        [this](std::shared_ptr<PcmWorker> worker) { lettingGo_.push_back(std::move(worker)); });
}
