#include "recordingportio.h"

namespace {

QString hex(unsigned value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

// Logs its line changes and its own release, and counts itself among the open lines while it
// lives.
class RecordingLine final : public SerialLine, public ParallelLine {
public:
    RecordingLine(QString name, QString release, bool comm, std::shared_ptr<QStringList> log,
                  std::shared_ptr<int> open)
        : name_(std::move(name)), release_(std::move(release)), comm_(comm), log_(std::move(log)),
          open_(std::move(open)) {
        ++*open_;
    }
    ~RecordingLine() override {
        --*open_;
        log_->append(release_);
    }
    bool isCommDevice() const override { return comm_; }
    void setDtr() override { log_->append("SETDTR"); }
    void clearDtr() override { log_->append("CLRDTR"); }
    void setRts() override { log_->append("SETRTS"); }
    void clearRts() override { log_->append("CLRRTS"); }
    void write(std::uint8_t value) override {
        log_->append(QStringLiteral("out %1 %2").arg(name_, hex(value, 2)));
    }

private:
    QString name_, release_;
    bool comm_;
    std::shared_ptr<QStringList> log_;
    std::shared_ptr<int> open_;
};

} // namespace

std::unique_ptr<SerialLine> RecordingPortIo::openSerial(const QString& name) {
    const bool fails = failingPorts.contains(name);
    log_->append("open " + name + (fails ? " failed" : ""));
    if (fails)
        return nullptr;
    return std::make_unique<RecordingLine>(name, "close " + name, !nonCommPorts.contains(name),
                                           log_, open_);
}

std::unique_ptr<ParallelLine> RecordingPortIo::openParallel(std::uint16_t address) {
    const QString port = hex(address, 3);
    log_->append("claim " + port + (refuseParallel ? " refused" : ""));
    if (refuseParallel)
        return nullptr;
    return std::make_unique<RecordingLine>(port, "release " + port, false, log_, open_);
}

QStringList RecordingPortIo::takeEvents() {
    QStringList taken;
    taken.swap(*log_);
    return taken;
}
