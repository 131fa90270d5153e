#include "virtualwaveservice.h"

#include <algorithm>

namespace {
constexpr int kFailed = 1;
// The handle's low bit names the direction, the rest the open's generation.
constexpr WaveService::Handle kDirectionBit = 1;

std::chrono::microseconds soundLength(const WaveHeader& header) {
    using namespace std::chrono;
    return duration_cast<microseconds>(seconds(header.bufferLength)) /
           WaveFormat{}.averageBytesPerSecond;
}
} // namespace

VirtualWaveService::VirtualWaveService()
    : VirtualWaveService({{"Virtual input"}}, {{"Virtual output"}}) {}

VirtualWaveService::VirtualWaveService(std::vector<Device> inputs, std::vector<Device> outputs)
    : devices_{std::move(inputs), std::move(outputs)}, pacer_([this] { pace(); }) {
    streams_[slot(Direction::Output)].output = true;
}

VirtualWaveService::~VirtualWaveService() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    pacer_.join();
}

bool VirtualWaveService::fails(std::size_t s, Op op) {
    ++calls_[{s, op}];
    const auto it = failures_.find({s, op});
    if (it == failures_.end())
        return false;
    if (it->second == 0)
        return true;
    if (--it->second > 0)
        return false;
    failures_.erase(it);
    return true;
}

VirtualWaveService::Stream* VirtualWaveService::use(Handle handle, Op op) {
    Stream& stream = streams_[handle & kDirectionBit];
    if (fails(handle & kDirectionBit, op) || handle == 0 || !stream.open ||
        handle >> 1 != stream.generation)
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

bool VirtualWaveService::supports(Direction direction, int device, const WaveFormat& format) const {
    const auto& devices = devices_[slot(direction)];
    const WaveFormat wanted;
    return device >= 0 && device < static_cast<int>(devices.size()) &&
           devices[static_cast<std::size_t>(device)].canDoFormat &&
           format.formatTag == wanted.formatTag && format.channels == wanted.channels &&
           format.samplesPerSecond == wanted.samplesPerSecond &&
           format.bitsPerSample == wanted.bitsPerSample;
}

int VirtualWaveService::query(Direction direction, int device, const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    return !fails(slot(direction), Op::Query) && supports(direction, device, format) ? 0 : kFailed;
}

int VirtualWaveService::open(Direction direction, Handle& handle, int device,
                             const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    if (fails(slot(direction), Op::Open) || !supports(direction, device, format))
        return kFailed;
    Stream& stream = streams_[slot(direction)];
    doubleOpens_[slot(direction)] += stream.open ? 1 : 0;
    stream.queue.clear();
    stream.open = true;
    stream.started = false;
    handle = (Handle{++stream.generation} << 1) | slot(direction);
    return 0;
}

int VirtualWaveService::prepare(Handle handle, WaveHeader& header) {
    std::lock_guard lock(mutex_);
    if (!use(handle, Op::Prepare))
        return kFailed;
    header.flags.fetch_or(WaveHeader::kPrepared);
    return 0;
}

int VirtualWaveService::queue(Handle handle, WaveHeader& header) {
    {
        std::lock_guard lock(mutex_);
        Stream* stream = use(handle, Op::Queue);
        if (!stream || !(header.flags.load() & WaveHeader::kPrepared))
            return kFailed;
        header.flags.fetch_and(~WaveHeader::kDone);
        header.flags.fetch_or(WaveHeader::kInQueue);
        stream->queue.push_back(&header);
        if (stream->queue.size() == 1)
            stream->frontDue = Clock::now() + soundLength(header);
    }
    changed_.notify_all();
    return 0;
}

int VirtualWaveService::start(Handle handle) {
    {
        std::lock_guard lock(mutex_);
        Stream* stream = use(handle, Op::Start);
        if (!stream)
            return kFailed;
        if (!stream->started && !stream->queue.empty())
            stream->frontDue = Clock::now() + soundLength(*stream->queue.front());
        stream->started = true;
    }
    changed_.notify_all();
    return 0;
}

int VirtualWaveService::reset(Handle handle) {
    bool returned = false;
    {
        std::lock_guard lock(mutex_);
        Stream* stream = use(handle, Op::Reset);
        if (!stream)
            return kFailed;
        for (WaveHeader* header : stream->queue) {
            header->flags.fetch_and(~WaveHeader::kInQueue);
            header->flags.fetch_or(WaveHeader::kDone);
        }
        returned = !stream->queue.empty();
        stream->queue.clear();
        stream->started = stream->output;
    }
    if (returned)
        notify();
    return 0;
}

int VirtualWaveService::unprepare(Handle handle, WaveHeader& header) {
    std::lock_guard lock(mutex_);
    if (!use(handle, Op::Unprepare) || (header.flags.load() & WaveHeader::kInQueue))
        return kFailed;
    header.flags.fetch_and(~WaveHeader::kPrepared);
    return 0;
}

int VirtualWaveService::close(Handle handle) {
    std::lock_guard lock(mutex_);
    Stream* stream = use(handle, Op::Close);
    if (!stream || !stream->queue.empty())
        return kFailed;
    stream->open = false;
    return 0;
}

void VirtualWaveService::setCompletionNotifier(std::function<void()> notifier) {
    std::lock_guard lock(mutex_);
    notifier_ = std::move(notifier);
}

void VirtualWaveService::notify() {
    std::function<void()> notifier;
    {
        std::lock_guard lock(mutex_);
        notifier = notifier_;
    }
    if (notifier)
        notifier();
}

void VirtualWaveService::completeFront(Stream& stream) {
    WaveHeader* header = stream.queue.front();
    stream.queue.pop_front();
    char* data = reinterpret_cast<char*>(header->data);
    const int length = static_cast<int>(header->bufferLength);
    if (stream.output) {
        played_.append(data, length);
    } else {
        const int taken = std::min(static_cast<int>(capture_.size()) - captured_, length);
        std::copy_n(capture_.constData() + captured_, taken, data);
        std::fill_n(data + taken, length - taken, '\0');
        captured_ += taken;
        header->bytesRecorded.store(header->bufferLength);
    }
    header->flags.fetch_and(~WaveHeader::kInQueue);
    header->flags.fetch_or(WaveHeader::kDone);
    if (!stream.queue.empty())
        stream.frontDue += soundLength(*stream.queue.front());
}

bool VirtualWaveService::completeNext(Direction direction) {
    {
        std::lock_guard lock(mutex_);
        Stream& stream = streams_[slot(direction)];
        if (!running(stream) || stream.queue.empty())
            return false;
        stream.frontDue = Clock::now();
        completeFront(stream);
    }
    notify();
    return true;
}

void VirtualWaveService::pace() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        Clock::time_point next = Clock::time_point::max();
        bool completed = false;
        for (Stream& stream : streams_) {
            if (!realTime_ || !running(stream) || stream.queue.empty())
                continue;
            if (stream.frontDue <= Clock::now()) {
                completeFront(stream);
                completed = true;
            }
            if (!stream.queue.empty())
                next = std::min(next, stream.frontDue);
        }
        if (completed) {
            lock.unlock();
            notify();
            lock.lock();
        } else if (next == Clock::time_point::max()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, next);
        }
    }
}

void VirtualWaveService::setRealTime(bool on) {
    {
        std::lock_guard lock(mutex_);
        realTime_ = on;
        for (Stream& stream : streams_)
            if (!stream.queue.empty())
                stream.frontDue = Clock::now() + soundLength(*stream.queue.front());
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

void VirtualWaveService::setCapture(QByteArray samples) {
    std::lock_guard lock(mutex_);
    capture_ = std::move(samples);
    captured_ = 0;
}

QByteArray VirtualWaveService::played() const {
    std::lock_guard lock(mutex_);
    return played_;
}

bool VirtualWaveService::isOpen(Direction direction) const {
    std::lock_guard lock(mutex_);
    return streams_[slot(direction)].open;
}

int VirtualWaveService::calls(Direction direction, Op op) const {
    std::lock_guard lock(mutex_);
    const auto it = calls_.find({slot(direction), op});
    return it == calls_.end() ? 0 : it->second;
}

int VirtualWaveService::doubleOpens(Direction direction) const {
    std::lock_guard lock(mutex_);
    return doubleOpens_[slot(direction)];
}
