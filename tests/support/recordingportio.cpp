#include "recordingportio.h"

namespace {

QString hexByte(unsigned value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

class RecordingSerialLine final : public SerialLine {
public:
    RecordingSerialLine(QString name, bool commDevice, std::shared_ptr<QStringList> log,
                        std::shared_ptr<int> open)
        : name_(std::move(name)), commDevice_(commDevice), log_(std::move(log)),
          open_(std::move(open)) {
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

private:
    QString name_;
    bool commDevice_;
    std::shared_ptr<QStringList> log_;
    std::shared_ptr<int> open_;
};

class RecordingParallelLine final : public ParallelLine {
public:
    RecordingParallelLine(std::uint16_t address, std::shared_ptr<QStringList> log,
                          std::shared_ptr<int> open)
        : address_(address), log_(std::move(log)), open_(std::move(open)) {
        ++*open_;
    }
    ~RecordingParallelLine() override {
        --*open_;
        log_->append(QStringLiteral("release ") + hexByte(address_, 3));
    }

    void write(std::uint8_t value) override {
        log_->append(QStringLiteral("out %1 %2").arg(hexByte(address_, 3), hexByte(value, 2)));
    }

private:
    std::uint16_t address_;
    std::shared_ptr<QStringList> log_;
    std::shared_ptr<int> open_;
};

} // namespace

SerialOpen RecordingPortIo::openSerial(const QString& name) {
    if (failingPorts.contains(name)) {
        log_->append(QStringLiteral("open %1 failed").arg(name));
        return {};
    }
    log_->append(QStringLiteral("open ") + name);
    return {std::make_unique<RecordingSerialLine>(name, !nonCommPorts.contains(name), log_, open_),
            {}};
}

std::unique_ptr<ParallelLine> RecordingPortIo::openParallel(std::uint16_t address) {
    if (refuseParallel) {
        log_->append(QStringLiteral("claim %1 refused").arg(hexByte(address, 3)));
        return nullptr;
    }
    log_->append(QStringLiteral("claim ") + hexByte(address, 3));
    return std::make_unique<RecordingParallelLine>(address, log_, open_);
}

QStringList RecordingPortIo::takeEvents() {
    QStringList taken;
    taken.swap(*log_);
    return taken;
}
