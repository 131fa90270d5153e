#include "recordingportio.h"

#include <algorithm>

namespace {

QString hex(unsigned value, int digits) {
    return "0x" + QString::number(value, 16).toUpper().rightJustified(digits, '0');
}

// A serial port or a parallel port's data register: counts itself among the open lines, logs
// what is done to it and its closing event when it goes.
class RecordingLine final : public SerialLine, public ParallelLine {
public:
    RecordingLine(std::shared_ptr<RecordingPortIo::State> state, QString closing, int fd,
                  bool comm = true, std::uint16_t address = 0)
        : state_(std::move(state)), closing_(std::move(closing)), fd_(fd), comm_(comm),
          address_(address) {
        ++state_->open;
    }
    ~RecordingLine() override { --state_->open, state_->log << closing_; }

    bool isCommDevice() const override { return comm_; }
    void setDtr() override { state_->log << "SETDTR"; }
    void clearDtr() override { state_->log << "CLRDTR"; }
    void setRts() override { state_->log << "SETRTS"; }
    void clearRts() override { state_->log << "CLRRTS"; }
    void write(std::uint8_t value) override { state_->log << out(value); }
    LineWrite levelWrite(bool asserted) const override {
        return eventsWrite(asserted ? "SETDTR\nSETRTS\n" : "CLRDTR\nCLRRTS\n");
    }
    LineWrite levelWrite(std::uint8_t value) const override {
        return eventsWrite(out(value) + '\n');
    }
    // Its inputs never change.
    void watchInput(std::optional<ModemInput>, std::function<void(InputChange)>) override {}

private:
    QString out(std::uint8_t value) const {
        return QString("out %1 %2").arg(hex(address_, 3), hex(value, 2));
    }
    // The event lines as one write to the descriptor; none without one.
    LineWrite eventsWrite(const QString& lines) const {
        LineWrite write;
        const QByteArray bytes = lines.toLatin1();
        if (fd_ < 0 || bytes.size() > int(LineWrite::kMaxBytes))
            return write;
        write.kind = LineWrite::Kind::Bytes;
        write.fd = fd_;
        std::copy(bytes.begin(), bytes.end(), write.bytes);
        write.length = std::size_t(bytes.size());
        return write;
    }

    std::shared_ptr<RecordingPortIo::State> state_;
    QString closing_;
    int fd_;
    bool comm_;
    std::uint16_t address_;
};

} // namespace

SerialOpen RecordingPortIo::openSerial(const QString& name) {
    const bool fails = failingPorts.contains(name);
    state_->log << "open " + name + (fails ? " failed" : "");
    return {fails ? nullptr
                  : std::make_unique<RecordingLine>(state_, "close " + name, emergencyFd,
                                                    !nonCommPorts.contains(name)),
            {}};
}

ParallelOpen RecordingPortIo::openParallel(std::uint16_t address) {
    state_->log << "claim " + hex(address, 3) + (refuseParallel ? " refused" : "");
    if (refuseParallel)
        return {nullptr, QStringLiteral("refused")};
    return {std::make_unique<RecordingLine>(state_, "release " + hex(address, 3), emergencyFd, true,
                                            address),
            {}};
}
