#include "audio/virtualwaveservice.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

// One open virtual device. With clock pacing a thread completes the buffers one after the other,
// each after the time a sound card would take for it.
class VirtualWaveStream final : public WaveStream {
public:
    VirtualWaveStream(VirtualWaveService& owner, WaveDirection direction, const WaveFormat& format,
                      WaveService::Notifier notify, VirtualWaveService::Pacing pacing, double speed)
        : WaveStream(direction, format, std::move(notify)), owner_(owner), speed_(speed) {
        if (pacing == VirtualWaveService::Pacing::Clock)
            clock_ = std::thread([this] { runClock(); });
    }

    ~VirtualWaveStream() override { close(); }

    int start() override {
        if (direction() != WaveDirection::Input)
            return waveresult::WrongDirection;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            started_ = true;
        }
        changed_.notify_all();
        return waveresult::Ok;
    }

    int reset() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            completeAll();
            started_ = false;
            ++resets_;
        }
        changed_.notify_all();
        return waveresult::Ok;
    }

    int close() override {
        owner_.unregister(this);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_)
                return waveresult::InvalidHandle;
            closed_ = true;
            completeAll();
        }
        changed_.notify_all();
        if (clock_.joinable())
            clock_.join();
        return waveresult::Ok;
    }

    bool completeOne() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ready())
            return false;
        owner_.deliver(direction(), *queue_.front());
        completeFront();
        return true;
    }

    int queued() {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(queue_.size());
    }

private:
    bool ready() const {
        return !queue_.empty() && (direction() == WaveDirection::Output || started_);
    }

    void runClock() {
        using Clock = std::chrono::steady_clock;
        std::unique_lock<std::mutex> lock(mutex_);
        Clock::time_point deviceFree = Clock::now();
        while (!closed_) {
            if (!ready()) {
                changed_.wait(lock);
                continue;
            }
            WaveHeader* header = queue_.front();
            const uint64_t resets = resets_;
            const auto length = std::chrono::duration_cast<Clock::duration>(
                wave::durationOf(header->length) / speed_);
            const Clock::time_point due = std::max(deviceFree, Clock::now()) + length;
            // A reset or close hands the buffer back early.
            const bool interrupted = changed_.wait_until(lock, due, [&] {
                return closed_ || resets_ != resets || queue_.empty() || queue_.front() != header;
            });
            if (interrupted) {
                deviceFree = Clock::now();
                continue;
            }
            owner_.deliver(direction(), *header);
            completeFront();
            deviceFree = due;
        }
    }

    VirtualWaveService& owner_;
    const double speed_;
    bool started_ = false;
    bool closed_ = false;
    uint64_t resets_ = 0;
    std::thread clock_;
};

VirtualWaveService::VirtualWaveService()
    : outputs_{{QStringLiteral("Virtual Output"), true, true}}, inputs_{{QStringLiteral(
                                                                             "Virtual Input"),
                                                                         true, true}} {}

VirtualWaveService::~VirtualWaveService() {
    closeAll();
}

void VirtualWaveService::setDevices(WaveDirection direction, QList<Device> devices) {
    (direction == WaveDirection::Output ? outputs_ : inputs_) = std::move(devices);
}

void VirtualWaveService::setPacing(Pacing pacing, double speed) {
    pacing_ = pacing;
    speed_ = speed > 0 ? speed : 1.0;
}

void VirtualWaveService::failAt(WaveOp op, int occurrence) {
    failures_.emplace_back(op, callCounts_[op] + std::max(occurrence, 1));
}

bool VirtualWaveService::injectedFailure(WaveOp op) {
    const int count = ++callCounts_[op];
    const auto it = std::find(failures_.begin(), failures_.end(), std::make_pair(op, count));
    if (it == failures_.end())
        return false;
    failures_.erase(it);
    return true;
}

int VirtualWaveService::log(WaveOp op, WaveDirection direction, const WaveHeader* header,
                            int result) {
    std::lock_guard<std::mutex> lock(dataMutex_);
    calls_.append({op, direction, header, result});
    return result;
}

WaveDirection VirtualWaveService::directionOf(WaveHandle handle) const {
    const WaveStream* s = stream(handle);
    return s ? s->direction() : WaveDirection::Output;
}

const VirtualWaveService::Device* VirtualWaveService::device(WaveDirection direction,
                                                             int device) const {
    const auto& list = direction == WaveDirection::Output ? outputs_ : inputs_;
    return device >= 0 && device < list.size() ? &list[device] : nullptr;
}

int VirtualWaveService::deviceCount(WaveDirection direction) {
    return static_cast<int>((direction == WaveDirection::Output ? outputs_ : inputs_).size());
}

int VirtualWaveService::productName(WaveDirection direction, int device, QString& name) {
    if (injectedFailure(WaveOp::ProductName))
        return log(WaveOp::ProductName, direction, nullptr, waveresult::Error);
    const Device* d = this->device(direction, device);
    if (!d)
        return log(WaveOp::ProductName, direction, nullptr, waveresult::BadDeviceId);
    if (!d->nameReadable)
        return log(WaveOp::ProductName, direction, nullptr, waveresult::Error);
    name = d->name.left(31);
    return log(WaveOp::ProductName, direction, nullptr, waveresult::Ok);
}

int VirtualWaveService::queryFormat(WaveDirection direction, int device, const WaveFormat& format) {
    int result = waveresult::Ok;
    const Device* d = this->device(direction, device);
    if (injectedFailure(WaveOp::QueryFormat))
        result = waveresult::Error;
    else if (!d)
        result = waveresult::BadDeviceId;
    else if (!d->takesFormat || format != keyerWaveFormat())
        result = waveresult::BadFormat;
    return log(WaveOp::QueryFormat, direction, nullptr, result);
}

int VirtualWaveService::open(WaveDirection direction, int device, const WaveFormat& format,
                             Notifier onBufferDone, WaveHandle& handle) {
    if (injectedFailure(WaveOp::Open))
        return log(WaveOp::Open, direction, nullptr, waveresult::Error);
    return log(WaveOp::Open, direction, nullptr,
               WaveServiceBase::open(direction, device, format, std::move(onBufferDone), handle));
}

std::unique_ptr<WaveStream> VirtualWaveService::openStream(WaveDirection direction, int device,
                                                           const WaveFormat& format,
                                                           Notifier onBufferDone, int& result) {
    const Device* d = this->device(direction, device);
    if (!d) {
        result = waveresult::BadDeviceId;
        return nullptr;
    }
    if (!d->takesFormat || format != keyerWaveFormat()) {
        result = waveresult::BadFormat;
        return nullptr;
    }
    auto opened = std::make_unique<VirtualWaveStream>(*this, direction, format,
                                                      std::move(onBufferDone), pacing_, speed_);
    {
        std::lock_guard<std::mutex> lock(registryMutex_);
        open_.push_back(opened.get());
    }
    result = waveresult::Ok;
    return opened;
}

int VirtualWaveService::prepareHeader(WaveHandle handle, WaveHeader& header) {
    const WaveDirection direction = directionOf(handle);
    if (injectedFailure(WaveOp::Prepare))
        return log(WaveOp::Prepare, direction, &header, waveresult::Error);
    return log(WaveOp::Prepare, direction, &header, WaveServiceBase::prepareHeader(handle, header));
}

int VirtualWaveService::queueBuffer(WaveHandle handle, WaveHeader& header) {
    const WaveDirection direction = directionOf(handle);
    if (injectedFailure(WaveOp::Queue))
        return log(WaveOp::Queue, direction, &header, waveresult::Error);
    return log(WaveOp::Queue, direction, &header, WaveServiceBase::queueBuffer(handle, header));
}

int VirtualWaveService::start(WaveHandle handle) {
    const WaveDirection direction = directionOf(handle);
    if (injectedFailure(WaveOp::Start))
        return log(WaveOp::Start, direction, nullptr, waveresult::Error);
    return log(WaveOp::Start, direction, nullptr, WaveServiceBase::start(handle));
}

int VirtualWaveService::reset(WaveHandle handle) {
    const WaveDirection direction = directionOf(handle);
    if (injectedFailure(WaveOp::Reset))
        return log(WaveOp::Reset, direction, nullptr, waveresult::Error);
    return log(WaveOp::Reset, direction, nullptr, WaveServiceBase::reset(handle));
}

int VirtualWaveService::unprepareHeader(WaveHandle handle, WaveHeader& header) {
    const WaveDirection direction = directionOf(handle);
    if (injectedFailure(WaveOp::Unprepare))
        return log(WaveOp::Unprepare, direction, &header, waveresult::Error);
    return log(WaveOp::Unprepare, direction, &header,
               WaveServiceBase::unprepareHeader(handle, header));
}

int VirtualWaveService::close(WaveHandle handle) {
    const WaveDirection direction = directionOf(handle);
    if (injectedFailure(WaveOp::Close))
        return log(WaveOp::Close, direction, nullptr, waveresult::Error);
    return log(WaveOp::Close, direction, nullptr, WaveServiceBase::close(handle));
}

bool VirtualWaveService::completeNext(WaveDirection direction) {
    std::lock_guard<std::mutex> lock(registryMutex_);
    for (VirtualWaveStream* s : open_) {
        if (s->direction() == direction && s->completeOne())
            return true;
    }
    return false;
}

int VirtualWaveService::queuedCount(WaveDirection direction) const {
    std::lock_guard<std::mutex> lock(registryMutex_);
    int count = 0;
    for (VirtualWaveStream* s : open_) {
        if (s->direction() == direction)
            count += s->queued();
    }
    return count;
}

int VirtualWaveService::openCount(WaveDirection direction) const {
    std::lock_guard<std::mutex> lock(registryMutex_);
    return static_cast<int>(std::count_if(open_.begin(), open_.end(), [&](VirtualWaveStream* s) {
        return s->direction() == direction;
    }));
}

void VirtualWaveService::unregister(VirtualWaveStream* stream) {
    std::lock_guard<std::mutex> lock(registryMutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), stream), open_.end());
}

void VirtualWaveService::deliver(WaveDirection direction, WaveHeader& header) {
    std::lock_guard<std::mutex> lock(dataMutex_);
    if (direction == WaveDirection::Output) {
        played_.append(header.data, static_cast<int>(header.length));
        return;
    }
    const int available = std::max(0, static_cast<int>(capture_.size()) - captureRead_);
    const int taken = std::min(available, static_cast<int>(header.length));
    std::memcpy(header.data, capture_.constData() + captureRead_, static_cast<size_t>(taken));
    std::memset(header.data + taken, 0, header.length - static_cast<uint32_t>(taken));
    captureRead_ += taken;
}

QByteArray VirtualWaveService::played() const {
    std::lock_guard<std::mutex> lock(dataMutex_);
    return played_;
}

void VirtualWaveService::setCaptureData(const QByteArray& samples) {
    std::lock_guard<std::mutex> lock(dataMutex_);
    capture_ = samples;
    captureRead_ = 0;
}

QList<VirtualWaveService::Call> VirtualWaveService::calls() const {
    std::lock_guard<std::mutex> lock(dataMutex_);
    return calls_;
}

QList<WaveOp> VirtualWaveService::callOps() const {
    QList<WaveOp> ops;
    for (const Call& c : calls())
        ops.append(c.op);
    return ops;
}

void VirtualWaveService::clearCalls() {
    std::lock_guard<std::mutex> lock(dataMutex_);
    calls_.clear();
}
