#pragma once

// What the wave engines need from the rest of the keyer while they wait for a buffer.
class WaveEngineHost {
public:
    virtual ~WaveEngineHost() = default;

    // The running recording or playback is to end; true whenever none runs.
    virtual bool stopRequested() const = 0;
    // The buffer watchdog has fired since the wait began.
    virtual bool bufferWaitTimedOut() const = 0;
    // While the sound card dialog is open the watchdog has no effect.
    virtual bool soundCardDialogVisible() const = 0;
    // Ends the application once the running handler has returned to the main event loop; the
    // keying line is left unkeyed on the way out.
    virtual void requestTermination() = 0;
};
