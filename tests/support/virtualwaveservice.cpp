#include "virtualwaveservice.h"

#include <algorithm>
#include <tuple>

namespace {
constexpr WaveService::Handle kOpenHandle = 1;
// How often the real-time pacer looks at the queues.
constexpr std::chrono::milliseconds kPacerTick{1};

std::chrono::microseconds soundLength(const WaveHeader* header) {
    return std::chrono::microseconds(std::chrono::seconds(header->bufferLength)) /
           WaveFormat{}.averageBytesPerSecond;
}
bool isOutput(WaveService::Direction direction) {
    return direction == WaveService::Direction::Output;
}
} // namespace

VirtualWaveService::VirtualWaveService()
    : VirtualWaveService({{"Virtual input"}}, {{"Virtual output"}}) {}

VirtualWaveService::VirtualWaveService(std::vector<Device> inputs, std::vector<Device> outputs)
    : devices_{std::move(inputs), std::move(outputs)}, pacer_([this] {
          while (!quit_) {
              std::this_thread::sleep_for(kPacerTick);
              std::unique_lock lock(mutex_);
              bool completed = false;
              for (bool output : {false, true})
                  while (realTime_ && completeFront(output, true))
                      completed = true;
              if (completed)
                  notify(lock);
          }
      }) {}

VirtualWaveService::~VirtualWaveService() {
    quit_ = true;
    pacer_.join();
}

bool VirtualWaveService::allowed(bool output, Op op) {
    ++calls_[{output, op}];
    const auto it = failures_.find({output, op});
    if (it == failures_.end() || --it->second > 0)
        return true;
    failures_.erase(it);
    return false;
}

VirtualWaveService::Stream* VirtualWaveService::use(Handle handle, Op op) {
    Stream& s = streams_[handle & 1];
    const bool ok = allowed(handle & 1, op) && handle >> 1 == kOpenHandle && s.open;
    return ok ? &s : nullptr;
}

int VirtualWaveService::deviceCount(Direction direction) {
    return static_cast<int>(devices_[isOutput(direction)].size());
}

std::string VirtualWaveService::productName(Direction direction, int device) {
    const auto& devices = devices_[isOutput(direction)];
    return device >= 0 && device < int(devices.size()) ? devices[device].name.substr(0, 31) : "";
}

WaveResult VirtualWaveService::deviceResult(bool output, int device, const WaveFormat& format) {
    const auto& devices = devices_[output];
    const bool known = device >= 0 && device < int(devices.size());
    lastError_[output] = known ? devices[device].busyError : std::string();
    if (!known)
        return WaveResult::NoSuchDevice;
    if (!lastError_[output].empty())
        return WaveResult::Busy;
    const auto key = [](const WaveFormat& f) {
        return std::tuple(f.formatTag, f.channels, f.samplesPerSecond, f.bitsPerSample);
    };
    return devices[device].canDoFormat && key(format) == key(WaveFormat{})
               ? WaveResult::Ok
               : WaveResult::UnsupportedFormat;
}

WaveResult VirtualWaveService::query(Direction direction, int device, const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    const bool output = isOutput(direction);
    return allowed(output, Op::Query) ? deviceResult(output, device, format) : WaveResult::Failed;
}

std::string VirtualWaveService::lastError(Direction direction) const {
    std::lock_guard lock(mutex_);
    return lastError_[isOutput(direction)];
}

WaveResult VirtualWaveService::open(Direction direction, Handle& handle, int device,
                                    const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    const bool output = isOutput(direction);
    Stream& s = streams_[output];
    if (!allowed(output, Op::Open))
        return WaveResult::Failed;
    if (s.open)
        return WaveResult::Busy;
    if (const WaveResult result = deviceResult(output, device, format); result != WaveResult::Ok)
        return result;
    s.open = true;
    s.started = output;
    s.queue.clear();
    handle = (kOpenHandle << 1) | Handle{output};
    return WaveResult::Ok;
}

WaveResult VirtualWaveService::queue(Handle handle, WaveHeader& header) {
    std::lock_guard lock(mutex_);
    Stream* s = use(handle, Op::Queue);
    if (!s || (header.flags & WaveHeader::kInQueue))
        return WaveResult::Failed;
    header.flags = (header.flags & ~WaveHeader::kDone) | WaveHeader::kInQueue;
    s->queue.push_back(&header);
    if (s->queue.size() == 1)
        s->frontDue = Clock::now() + soundLength(&header);
    return WaveResult::Ok;
}

WaveResult VirtualWaveService::start(Handle handle) {
    std::lock_guard lock(mutex_);
    Stream* s = use(handle, Op::Start);
    if (!s)
        return WaveResult::Failed;
    if (!s->started && !s->queue.empty())
        s->frontDue = Clock::now() + soundLength(s->queue.front());
    s->started = true;
    return WaveResult::Ok;
}

WaveResult VirtualWaveService::reset(Handle handle) {
    std::unique_lock lock(mutex_);
    Stream* s = use(handle, Op::Reset);
    if (!s)
        return WaveResult::Failed;
    const bool returned = !s->queue.empty();
    for (WaveHeader* header : s->queue)
        header->flags = (header->flags & ~WaveHeader::kInQueue) | WaveHeader::kDone;
    s->queue.clear();
    s->started = handle & 1;
    if (returned)
        notify(lock);
    return WaveResult::Ok;
}

WaveResult VirtualWaveService::close(Handle handle) {
    std::lock_guard lock(mutex_);
    Stream* s = use(handle, Op::Close);
    if (!s || !s->queue.empty())
        return WaveResult::Failed;
    s->open = false;
    return WaveResult::Ok;
}

void VirtualWaveService::setCompletionNotifier(std::function<void()> notifier) {
    std::lock_guard lock(mutex_);
    notifier_ = std::move(notifier);
}

void VirtualWaveService::notify(std::unique_lock<std::mutex>& lock) {
    const auto notifier = notifier_;
    lock.unlock();
    if (notifier)
        notifier();
}

bool VirtualWaveService::completeFront(bool output, bool due) {
    Stream& s = streams_[output];
    if (!s.open || !s.started || s.queue.empty() || (due && s.frontDue > Clock::now()))
        return false;
    WaveHeader* header = s.queue.front();
    s.queue.pop_front();
    char* data = reinterpret_cast<char*>(header->data);
    const int length = static_cast<int>(header->bufferLength);
    if (output) {
        played_.append(data, length);
    } else {
        const int taken = std::min(int(capture_.size()) - captured_, length);
        std::copy_n(capture_.constData() + captured_, taken, data);
        std::fill_n(data + taken, length - taken, '\0');
        captured_ += taken;
        header->bytesRecorded = header->bufferLength;
    }
    header->flags = (header->flags & ~WaveHeader::kInQueue) | WaveHeader::kDone;
    if (!s.queue.empty())
        s.frontDue = (due ? s.frontDue : Clock::now()) + soundLength(s.queue.front());
    return true;
}

bool VirtualWaveService::completeNext(Direction direction) {
    std::unique_lock lock(mutex_);
    if (!completeFront(isOutput(direction), false))
        return false;
    notify(lock);
    return true;
}

void VirtualWaveService::failOn(Direction direction, Op op, int occurrence) {
    std::lock_guard lock(mutex_);
    failures_[{isOutput(direction), op}] = occurrence;
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
    return streams_[isOutput(direction)].open;
}

int VirtualWaveService::calls(Direction direction, Op op) const {
    std::lock_guard lock(mutex_);
    const auto it = calls_.find({isOutput(direction), op});
    return it == calls_.end() ? 0 : it->second;
}
