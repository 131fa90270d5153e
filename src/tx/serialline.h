#pragma once

#include "tx/emergencyunkey.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The modem-status inputs of a serial port that an operator's foot switch or hand PTT can drive.
enum class ModemInput { Cts, Dsr };
// "CTS", "DSR".
inline QString inputName(ModemInput input) {
    return input == ModemInput::Cts ? QStringLiteral("CTS") : QStringLiteral("DSR");
}

// What a watched input did. Unwatchable ends the watch: the port has no such line to read (a
// pseudo-terminal, a plain file) or is gone; the error says why.
struct InputChange {
    enum class Kind { Asserted, Released, Unwatchable };
    Kind kind;
    int error = 0;
};

// One open serial port used as a keying line. Destroying it closes the port and releases it for
// other programs.
class SerialLine {
public:
    virtual ~SerialLine() = default;

    // True when the opened name is a terminal device with modem-control lines. A plain file or
    // any other non-terminal opened under a port name is not one.
    virtual bool isCommDevice() const = 0;

    // Modem-control lines. A failure is ignored: keying must never stop playback or TUNE.
    virtual void setDtr() = 0;
    virtual void clearDtr() = 0;
    virtual void setRts() = 0;
    virtual void clearRts() = 0;

    // The same change of DTR and RTS as one async-signal-safe write; none when unavailable.
    virtual LineWrite levelWrite(bool asserted) const {
        (void)asserted;
        return {};
    }

    // Watches one input line from now on, ending any watch before; none ends it. Each change
    // after the first look is handed to changed on a thread of the line's own, so a change is
    // seen while the window is busy; the watch ends before the line closes.
    virtual void watchInput(std::optional<ModemInput> input,
                            std::function<void(InputChange)> changed) = 0;
};

// The result of opening a serial port.
struct SerialOpen {
    std::unique_ptr<SerialLine> line; // null when the port was not opened
    QString held;        // why another program holds the port, as a sentence, when that refused it
    QString device = {}; // the device path tried, when one was
    int error = 0;       // why the open failed (an errno value); 0 when that is not known
};
