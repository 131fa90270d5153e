#include "recordingportio.h"

#include <algorithm>

namespace {

LineWrite eventsWrite(int fd, const QByteArray& lines) {
    LineWrite write;
    if (fd < 0 || lines.size() > int(LineWrite::kMaxBytes))
        return write;
    write.kind = LineWrite::Kind::Bytes;
    write.fd = fd;
    std::copy(lines.begin(), lines.end(), write.bytes);
    write.length = std::size_t(lines.size());
    return write;
}

QString hexByte(unsigned value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

class RecordingSerialLine final : public SerialLine {
public:
    RecordingSerialLine(QString name, bool commDevice, std::shared_ptr<QStringList> log,
                        std::shared_ptr<int> open, int emergencyFd)
        : name_(std::move(name)), commDevice_(commDevice), log_(std::move(log)),
          open_(std::move(open)), emergencyFd_(emergencyFd) {
        ++*open_;
    }
    ~RecordingSerialLine() override {
        --*open_;
        log_->append(QStringLiteral("close ") + name_);
    }

    bool isCommDevice() const override { return commDevice_; }
    void setDtr() override { log_->append(QStringLiteral("SETDTR")); }
    void clearDtr() override { log_->append(QStringLiteral("CLRDTR")); }
    void setRts() override { log_->append(QStringLiteral("SETRTS")); }
    void clearRts() override { log_->append(QStringLiteral("CLRRTS")); }
    LineWrite levelWrite(bool asserted) const override {
        return eventsWrite(emergencyFd_, asserted ? "SETDTR\nSETRTS\n" : "CLRDTR\nCLRRTS\n");
    }

private:
    QString name_;
    bool commDevice_;
    std::shared_ptr<QStringList> log_;
    std::shared_ptr<int> open_;
    int emergencyFd_;
};

class RecordingParallelLine final : public ParallelLine {
public:
    RecordingParallelLine(std::uint16_t address, std::shared_ptr<QStringList> log,
                          std::shared_ptr<int> open, int emergencyFd)
        : address_(address), log_(std::move(log)), open_(std::move(open)),
          emergencyFd_(emergencyFd) {
        ++*open_;
    }
    ~RecordingParallelLine() override {
        --*open_;
        log_->append(QStringLiteral("release ") + hexByte(address_, 3));
    }

    void write(std::uint8_t value) override { log_->append(outEvent(value)); }
    LineWrite levelWrite(std::uint8_t value) const override {
        return eventsWrite(emergencyFd_, (outEvent(value) + QLatin1Char('\n')).toLatin1());
    }

private:
    QString outEvent(std::uint8_t value) const {
        return QStringLiteral("out %1 %2").arg(hexByte(address_, 3), hexByte(value, 2));
    }

    std::uint16_t address_;
    std::shared_ptr<QStringList> log_;
    std::shared_ptr<int> open_;
    int emergencyFd_;
};

} // namespace

SerialOpen RecordingPortIo::openSerial(const QString& name) {
    if (failingPorts.contains(name)) {
        log_->append(QStringLiteral("open %1 failed").arg(name));
        return {};
    }
    log_->append(QStringLiteral("open ") + name);
    return {std::make_unique<RecordingSerialLine>(name, !nonCommPorts.contains(name), log_, open_,
                                                  emergencyFd),
            {}};
}

std::unique_ptr<ParallelLine> RecordingPortIo::openParallel(std::uint16_t address) {
    if (refuseParallel) {
        log_->append(QStringLiteral("claim %1 refused").arg(hexByte(address, 3)));
        return nullptr;
    }
    log_->append(QStringLiteral("claim ") + hexByte(address, 3));
    return std::make_unique<RecordingParallelLine>(address, log_, open_, emergencyFd);
}

QStringList RecordingPortIo::takeEvents() {
    QStringList taken;
    taken.swap(*log_);
    return taken;
}
