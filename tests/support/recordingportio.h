#pragma once

#include "tx/portio.h"

#include <QSet>
#include <QStringList>

#include <memory>
#include <utility>

// Ports that record every open, close and line change as one text line, in order:
//   "open COM3", "open COM3 failed", "SETDTR", "SETRTS", "CLRDTR", "CLRRTS", "close COM3",
//   "claim 0x378", "claim 0x378 refused", "out 0x378 0x03", "release 0x378".
// Switches make opens fail, serial names open as non-terminals, or parallel access be refused.
class RecordingPortIo final : public PortIo {
public:
    SerialOpen openSerial(const QString& name) override;
    ParallelOpen openParallel(std::uint16_t address) override;

    QStringList events() const { return state_->log; }
    // The events since the last call, so a test can look at one step at a time.
    QStringList takeEvents() { return std::exchange(state_->log, {}); }
    // How many serial ports and parallel accesses are held right now.
    int openLines() const { return state_->open; }

    QSet<QString> failingPorts; // these names fail to open ("COM2", ...)
    QSet<QString> nonCommPorts; // these names open but are no terminal
    bool refuseParallel = false;
    // Lines opened from now on offer their async-signal-safe writes as writes of their event
    // lines to this descriptor.
    int emergencyFd = -1;

    // What the port and the lines it opened share; lines may outlive the port.
    struct State {
        QStringList log;
        int open = 0;
    };

private:
    std::shared_ptr<State> state_ = std::make_shared<State>();
};
