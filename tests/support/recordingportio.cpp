#include "recordingportio.h"

#include <algorithm>

namespace {

using State = RecordingPortIo::State;

QString hex(unsigned value, int digits) {
    return "0x" + QString::number(value, 16).toUpper().rightJustified(digits, '0');
}

// Counts itself among the open lines and logs its closing event when it goes.
struct Held {
    Held(const Held&) = delete;
    Held(std::shared_ptr<State> state, QString closing, int fd)
        : state(std::move(state)), closing(std::move(closing)), fd(fd) {
        ++this->state->open;
    }
    ~Held() { --state->open, state->log << closing; }
    // The event lines as one write to the descriptor; none without one.
    LineWrite eventsWrite(const QString& lines) const {
        LineWrite write;
        const QByteArray bytes = lines.toLatin1();
        if (fd < 0 || bytes.size() > int(LineWrite::kMaxBytes))
            return write;
        write.kind = LineWrite::Kind::Bytes;
        write.fd = fd;
        std::copy(bytes.begin(), bytes.end(), write.bytes);
        write.length = std::size_t(bytes.size());
        return write;
    }
    std::shared_ptr<State> state;
    QString closing;
    int fd;
};

class RecordingSerialLine final : public SerialLine, Held {
public:
    RecordingSerialLine(std::shared_ptr<State> state, const QString& name, int fd, bool comm)
        : Held(std::move(state), "close " + name, fd), comm_(comm) {}
    bool isCommDevice() const override { return comm_; }
    void setDtr() override { state->log << "SETDTR"; }
    void clearDtr() override { state->log << "CLRDTR"; }
    void setRts() override { state->log << "SETRTS"; }
    void clearRts() override { state->log << "CLRRTS"; }
    LineWrite levelWrite(bool asserted) const override {
        return eventsWrite(asserted ? "SETDTR\nSETRTS\n" : "CLRDTR\nCLRRTS\n");
    }

private:
    bool comm_;
};

class RecordingParallelLine final : public ParallelLine, Held {
public:
    RecordingParallelLine(std::shared_ptr<State> state, std::uint16_t address, int fd)
        : Held(std::move(state), "release " + hex(address, 3), fd), address_(address) {}
    void write(std::uint8_t value) override { state->log << out(value); }
    LineWrite levelWrite(std::uint8_t value) const override {
        return eventsWrite(out(value) + '\n');
    }

private:
    QString out(std::uint8_t value) const {
        return QString("out %1 %2").arg(hex(address_, 3), hex(value, 2));
    }
    std::uint16_t address_;
};

} // namespace

SerialOpen RecordingPortIo::openSerial(const QString& name) {
    const bool fails = failingPorts.contains(name);
    state_->log << "open " + name + (fails ? " failed" : "");
    if (fails)
        return {};
    return {std::make_unique<RecordingSerialLine>(state_, name, emergencyFd,
                                                  !nonCommPorts.contains(name)),
            {}};
}

std::unique_ptr<ParallelLine> RecordingPortIo::openParallel(std::uint16_t address) {
    state_->log << "claim " + hex(address, 3) + (refuseParallel ? " refused" : "");
    if (refuseParallel)
        return nullptr;
    return std::make_unique<RecordingParallelLine>(state_, address, emergencyFd);
}
