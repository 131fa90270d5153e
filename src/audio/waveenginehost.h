#pragma once

// What the wave engines ask of the rest of the program.
class WaveEngineHost {
public:
    virtual ~WaveEngineHost() = default;

    // True except while a recording or playback loop runs; ends a buffer wait at once.
    virtual bool stopRequested() const = 0;
    // The buffer watchdog has fired during the current wait.
    virtual bool bufferWaitTimedOut() const = 0;
    // While the sound card dialog is shown the watchdog has no effect.
    virtual bool soundCardDialogVisible() const = 0;
    // Ends the program once the running handler has returned to the main event loop.
    virtual void requestTermination() = 0;
    // A device call has failed and its message is about to be shown: the box waits for the
    // operator, and no transmitter may stay keyed on dead air meanwhile.
    virtual void deviceFailed() = 0;
};
