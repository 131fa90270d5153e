#include "recordingportio.h"

namespace {

QString hex(unsigned value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

// Logs its own release and counts itself among the open lines while it lives.
class Held {
public:
    Held(QString release, std::shared_ptr<QStringList> log, std::shared_ptr<int> open)
        : release_(std::move(release)), log_(std::move(log)), open_(std::move(open)) {
        ++*open_;
    }
    ~Held() {
        --*open_;
        log_->append(release_);
    }
    void log(const QString& event) const { log_->append(event); }

private:
    QString release_;
    std::shared_ptr<QStringList> log_;
    std::shared_ptr<int> open_;
};

class RecordingSerialLine final : public SerialLine {
public:
    RecordingSerialLine(const QString& name, bool comm, std::shared_ptr<QStringList> log,
                        std::shared_ptr<int> open)
        : held_("close " + name, std::move(log), std::move(open)), comm_(comm) {}
    bool isCommDevice() const override { return comm_; }
    void setDtr() override { held_.log("SETDTR"); }
    void clearDtr() override { held_.log("CLRDTR"); }
    void setRts() override { held_.log("SETRTS"); }
    void clearRts() override { held_.log("CLRRTS"); }

private:
    Held held_;
    bool comm_;
};

class RecordingParallelLine final : public ParallelLine {
public:
    RecordingParallelLine(std::uint16_t address, std::shared_ptr<QStringList> log,
                          std::shared_ptr<int> open)
        : held_("release " + hex(address, 3), std::move(log), std::move(open)), address_(address) {}
    void write(std::uint8_t value) override {
        held_.log(QStringLiteral("out %1 %2").arg(hex(address_, 3), hex(value, 2)));
    }

private:
    Held held_;
    std::uint16_t address_;
};

} // namespace

std::unique_ptr<SerialLine> RecordingPortIo::openSerial(const QString& name) {
    const bool fails = failingPorts.contains(name);
    log_->append("open " + name + (fails ? " failed" : ""));
    if (fails)
        return nullptr;
    return std::make_unique<RecordingSerialLine>(name, !nonCommPorts.contains(name), log_, open_);
}

std::unique_ptr<ParallelLine> RecordingPortIo::openParallel(std::uint16_t address) {
    log_->append("claim " + hex(address, 3) + (refuseParallel ? " refused" : ""));
    if (refuseParallel)
        return nullptr;
    return std::make_unique<RecordingParallelLine>(address, log_, open_);
}

QStringList RecordingPortIo::takeEvents() {
    QStringList taken;
    taken.swap(*log_);
    return taken;
}
