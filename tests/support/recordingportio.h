#pragma once

#include "tx/portio.h"

#include <QSet>
#include <QStringList>

#include <memory>

// Ports that record every open, close and line change as one text line, in order:
//   "open COM3", "open COM3 failed", "SETDTR", "SETRTS", "CLRDTR", "CLRRTS", "close COM3",
//   "claim 0x378", "claim 0x378 refused", "out 0x378 0x03", "release 0x378".
// Switches make opens fail, serial names open as non-terminals, or parallel access be refused.
class RecordingPortIo final : public PortIo {
public:
    SerialOpen openSerial(const QString& name) override;
    std::unique_ptr<ParallelLine> openParallel(std::uint16_t address) override;

    QStringList events() const { return *log_; }
    // The events since the last call, so a test can look at one step at a time.
    QStringList takeEvents();
    // How many serial ports and parallel accesses are held right now.
    int openLines() const { return *open_; }

    QSet<QString> failingPorts; // these names fail to open ("COM2", ...)
    QSet<QString> nonCommPorts; // these names open but are no terminal
    bool refuseParallel = false;
    // Lines opened from now on offer their async-signal-safe writes as writes of their event
    // lines to this descriptor.
    int emergencyFd = -1;

private:
    std::shared_ptr<QStringList> log_ = std::make_shared<QStringList>();
    std::shared_ptr<int> open_ = std::make_shared<int>(0);
};
