#include "audio/virtualwaveservice.h"

#include <algorithm>

namespace {
constexpr int kFailed = 1;
constexpr std::uint32_t kHandleBits = 1; // low bit: direction; the rest: generation

const char* prefix(WaveService::Direction d) {
    return d == WaveService::Direction::Input ? "input." : "output.";
}

std::chrono::microseconds duration(const WaveHeader& header) {
    constexpr std::int64_t kBytesPerSecond = 22050;
    return std::chrono::microseconds(std::int64_t{header.bufferLength} * 1000000 / kBytesPerSecond);
}
} // namespace

VirtualWaveService::VirtualWaveService()
    : VirtualWaveService({Device{"Virtual input", true}}, {Device{"Virtual output", true}}) {}

VirtualWaveService::VirtualWaveService(std::vector<Device> inputs, std::vector<Device> outputs)
    : devices_{std::move(inputs), std::move(outputs)}, pacer_([this] { pace(); }) {}

VirtualWaveService::~VirtualWaveService() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    pacer_.join();
}

void VirtualWaveService::log(Direction direction, const char* name, bool failed) {
    calls_.push_back(std::string(prefix(direction)) + name + (failed ? " failed" : ""));
}

bool VirtualWaveService::fails(Direction direction, Op op, const char* name) {
    bool failed = false;
    const auto it = failures_.find({slot(direction), op});
    if (it != failures_.end()) {
        if (it->second == 0) {
            failed = true;
        } else if (--it->second == 0) {
            failed = true;
            failures_.erase(it);
        }
    }
    log(direction, name, failed);
    return failed;
}

VirtualWaveService::Stream* VirtualWaveService::streamFor(Handle handle) {
    if (handle == 0)
        return nullptr;
    Stream& stream = streams_[handle & kHandleBits];
    if (!stream.open || (handle >> kHandleBits) != stream.generation)
        return nullptr;
    return &stream;
}

int VirtualWaveService::deviceCount(Direction direction) {
    std::lock_guard lock(mutex_);
    return static_cast<int>(devices_[slot(direction)].size());
}

std::string VirtualWaveService::productName(Direction direction, int device) {
    std::lock_guard lock(mutex_);
    const auto& devices = devices_[slot(direction)];
    if (device < 0 || device >= static_cast<int>(devices.size()))
        return {};
    return devices[static_cast<std::size_t>(device)].name.substr(0, 31);
}

int VirtualWaveService::query(Direction direction, int device, const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    if (fails(direction, Op::Query, "query"))
        return kFailed;
    return deviceResult(direction, device, format);
}

std::string VirtualWaveService::lastError(Direction direction) const {
    std::lock_guard lock(mutex_);
    return lastError_[slot(direction)];
}

const std::string& VirtualWaveService::busyError(Direction direction, int device) const {
    static const std::string kFree;
    const auto& devices = devices_[slot(direction)];
    if (device < 0 || device >= static_cast<int>(devices.size()))
        return kFree;
    return devices[static_cast<std::size_t>(device)].busyError;
}

int VirtualWaveService::deviceResult(Direction direction, int device, const WaveFormat& format) {
    lastError_[slot(direction)] = busyError(direction, device);
    if (!lastError_[slot(direction)].empty())
        return kDeviceBusy;
    return supports(direction, device, format) ? 0 : kFailed;
}

bool VirtualWaveService::supports(Direction direction, int device, const WaveFormat& format) const {
    const auto& devices = devices_[slot(direction)];
    if (device < 0 || device >= static_cast<int>(devices.size()) ||
        !devices[static_cast<std::size_t>(device)].canDoFormat)
        return false;
    const WaveFormat wanted;
    return format.formatTag == wanted.formatTag && format.channels == wanted.channels &&
           format.samplesPerSecond == wanted.samplesPerSecond &&
           format.bitsPerSample == wanted.bitsPerSample;
}

int VirtualWaveService::open(Direction direction, Handle& handle, int device,
                             const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    if (fails(direction, Op::Open, "open"))
        return kFailed;
    if (const int result = deviceResult(direction, device, format))
        return result;
    Stream& stream = streams_[slot(direction)];
    if (stream.open)
        ++doubleOpens_[slot(direction)];
    stream = Stream{true, false, stream.generation + 1};
    handle = (Handle{stream.generation} << kHandleBits) | slot(direction);
    return 0;
}

int VirtualWaveService::prepare(Handle handle, WaveHeader& header) {
    std::lock_guard lock(mutex_);
    Stream* stream = streamFor(handle);
    const Direction d = (handle & kHandleBits) ? Direction::Output : Direction::Input;
    if (fails(d, Op::Prepare, "prepare") || !stream)
        return kFailed;
    header.flags.fetch_or(WaveHeader::kPrepared);
    return 0;
}

int VirtualWaveService::queue(Handle handle, WaveHeader& header) {
    std::unique_lock lock(mutex_);
    Stream* stream = streamFor(handle);
    const Direction d = (handle & kHandleBits) ? Direction::Output : Direction::Input;
    if (fails(d, Op::Queue, "queue") || !stream || !(header.flags.load() & WaveHeader::kPrepared))
        return kFailed;
    header.flags.fetch_and(~WaveHeader::kDone);
    header.flags.fetch_or(WaveHeader::kInQueue);
    stream->queue.push_back(&header);
    if (stream->queue.size() == 1 && running(d)) {
        const auto now = Clock::now();
        if (d == Direction::Output && stream->everCompleted && now > stream->lastDone)
            ++gaps_;
        scheduleFront(*stream, now);
    }
    lock.unlock();
    changed_.notify_all();
    return 0;
}

int VirtualWaveService::start(Handle handle) {
    std::unique_lock lock(mutex_);
    Stream* stream = streamFor(handle);
    const Direction d = (handle & kHandleBits) ? Direction::Output : Direction::Input;
    if (fails(d, Op::Start, "start") || !stream)
        return kFailed;
    if (!stream->started) {
        stream->started = true;
        scheduleFront(*stream, Clock::now());
    }
    lock.unlock();
    changed_.notify_all();
    return 0;
}

int VirtualWaveService::reset(Handle handle) {
    std::unique_lock lock(mutex_);
    Stream* stream = streamFor(handle);
    const Direction d = (handle & kHandleBits) ? Direction::Output : Direction::Input;
    if (fails(d, Op::Reset, "reset") || !stream)
        return kFailed;
    const bool returned = !stream->queue.empty();
    for (WaveHeader* header : stream->queue) {
        header->flags.fetch_and(~WaveHeader::kInQueue);
        header->flags.fetch_or(WaveHeader::kDone);
    }
    stream->queue.clear();
    if (d == Direction::Input)
        stream->started = false;
    stream->everCompleted = false;
    auto notify = notifier_;
    lock.unlock();
    if (returned && notify)
        notify();
    return 0;
}

int VirtualWaveService::unprepare(Handle handle, WaveHeader& header) {
    std::lock_guard lock(mutex_);
    Stream* stream = streamFor(handle);
    const Direction d = (handle & kHandleBits) ? Direction::Output : Direction::Input;
    if (fails(d, Op::Unprepare, "unprepare") || !stream ||
        (header.flags.load() & WaveHeader::kInQueue))
        return kFailed;
    header.flags.fetch_and(~WaveHeader::kPrepared);
    return 0;
}

int VirtualWaveService::close(Handle handle) {
    std::lock_guard lock(mutex_);
    Stream* stream = streamFor(handle);
    const Direction d = (handle & kHandleBits) ? Direction::Output : Direction::Input;
    if (fails(d, Op::Close, "close") || !stream || !stream->queue.empty())
        return kFailed;
    stream->open = false;
    stream->started = false;
    return 0;
}

void VirtualWaveService::setCompletionNotifier(std::function<void()> notifier) {
    std::lock_guard lock(mutex_);
    notifier_ = std::move(notifier);
}

bool VirtualWaveService::running(Direction direction) const {
    const Stream& stream = streams_[slot(direction)];
    return stream.open && (direction == Direction::Output || stream.started);
}

void VirtualWaveService::scheduleFront(Stream& stream, Clock::time_point from) {
    if (!stream.queue.empty())
        stream.frontDue = from + duration(*stream.queue.front());
}

void VirtualWaveService::completeFront(Direction direction) {
    Stream& stream = streams_[slot(direction)];
    WaveHeader* header = stream.queue.front();
    stream.queue.pop_front();
    if (direction == Direction::Output) {
        played_.insert(played_.end(), header->data, header->data + header->bufferLength);
    } else {
        const std::size_t available = captured_ < capture_.size() ? capture_.size() - captured_ : 0;
        const std::size_t taken = std::min<std::size_t>(available, header->bufferLength);
        // copy_n, not memcpy: with nothing fed the source is a null pointer, which memcpy may
        // not be given even for zero bytes.
        std::copy_n(capture_.data() + captured_, taken, header->data);
        std::fill_n(header->data + taken, header->bufferLength - taken, std::uint8_t{0});
        captured_ += taken;
        header->bytesRecorded.store(header->bufferLength);
    }
    header->flags.fetch_and(~WaveHeader::kInQueue);
    header->flags.fetch_or(WaveHeader::kDone);
    stream.everCompleted = true;
    stream.lastDone = stream.frontDue;
    scheduleFront(stream, stream.frontDue);
}

bool VirtualWaveService::completeNext(Direction direction) {
    std::unique_lock lock(mutex_);
    if (!running(direction) || streams_[slot(direction)].queue.empty())
        return false;
    streams_[slot(direction)].frontDue = Clock::now();
    completeFront(direction);
    auto notify = notifier_;
    lock.unlock();
    if (notify)
        notify();
    return true;
}

void VirtualWaveService::pace() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        Clock::time_point next = Clock::time_point::max();
        bool completed = false;
        for (Direction d : {Direction::Input, Direction::Output}) {
            Stream& stream = streams_[slot(d)];
            if (!realTime_ || !running(d) || stream.queue.empty())
                continue;
            if (stream.frontDue <= Clock::now()) {
                completeFront(d);
                completed = true;
            }
            if (!stream.queue.empty())
                next = std::min(next, stream.frontDue);
        }
        if (completed) {
            auto notify = notifier_;
            lock.unlock();
            if (notify)
                notify();
            lock.lock();
            continue;
        }
        if (next == Clock::time_point::max())
            changed_.wait(lock);
        else
            changed_.wait_until(lock, next);
    }
}

void VirtualWaveService::setRealTime(bool on) {
    {
        std::lock_guard lock(mutex_);
        realTime_ = on;
        for (Direction d : {Direction::Input, Direction::Output})
            scheduleFront(streams_[slot(d)], Clock::now());
    }
    changed_.notify_all();
}

int VirtualWaveService::queuedCount(Direction direction) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(streams_[slot(direction)].queue.size());
}

void VirtualWaveService::failOn(Direction direction, Op op, int occurrence) {
    std::lock_guard lock(mutex_);
    failures_[{slot(direction), op}] = occurrence;
}

void VirtualWaveService::clearFailures() {
    std::lock_guard lock(mutex_);
    failures_.clear();
}

void VirtualWaveService::setCapture(std::vector<std::uint8_t> samples) {
    std::lock_guard lock(mutex_);
    capture_ = std::move(samples);
    captured_ = 0;
}

std::vector<std::uint8_t> VirtualWaveService::played() const {
    std::lock_guard lock(mutex_);
    return played_;
}

void VirtualWaveService::clearPlayed() {
    std::lock_guard lock(mutex_);
    played_.clear();
}

std::vector<std::string> VirtualWaveService::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

bool VirtualWaveService::isOpen(Direction direction) const {
    std::lock_guard lock(mutex_);
    return streams_[slot(direction)].open;
}

int VirtualWaveService::doubleOpens(Direction direction) const {
    std::lock_guard lock(mutex_);
    return doubleOpens_[slot(direction)];
}

int VirtualWaveService::gaps() const {
    std::lock_guard lock(mutex_);
    return gaps_;
}
