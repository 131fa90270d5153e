#pragma once

#include "audio/waveservice.h"
#include "audio/wavetypes.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>

class Dialogs;
struct AudioDevices;
class WaveDeviceErrorPolicy;
class WaveEngineHost;

// What the output and input engines share: two sample blocks with their headers on one device,
// the failure report and the buffer wait.
class WaveEngine {
public:
    WaveEngine(WaveService& service, WaveService::Direction direction, const AudioDevices& devices,
               Dialogs& dialogs, WaveEngineHost& host, WaveDeviceErrorPolicy& policy);
    virtual ~WaveEngine();
    WaveEngine(const WaveEngine&) = delete;
    WaveEngine& operator=(const WaveEngine&) = delete;

    std::uint8_t* block(Half half) { return blocks_[index(half)].get(); }
    const WaveHeader& header(Half half) const { return headers_[index(half)]; }
    bool deviceOpen() const { return handle_ != 0; }

protected:
    // A message naming buffer a or b.
    static QString withHalf(const char* text, Half half) {
        return QLatin1String(text) + QLatin1Char(half == Half::A ? 'a' : 'b');
    }
    // The selected device of this engine's direction.
    int device() const;
    // Binds each header to its block with the buffer length and clears its flags.
    void bindHeaders(bool clearUser);
    void rearm(Half half);
    // Shows the failure and applies the policy; code < 0 means no policy.
    void report(const QString& text, int code);
    // True on success; on failure reports text with code.
    bool succeeded(int result, const QString& text, int code);
    // Waits for the header, letting the event loop run. Returns at once when a stop is
    // requested; runs onTimeout and returns when the watchdog has fired and the sound card
    // dialog is not shown.
    void waitFor(Half half, const std::function<void()>& onTimeout);

    WaveService& service_;
    WaveService::Direction direction_;
    WaveService::Handle handle_ = 0;
    WaveFormat format_;
    std::array<WaveHeader, 2> headers_;

private:
    const AudioDevices& devices_;
    Dialogs& dialogs_;
    WaveEngineHost& host_;
    WaveDeviceErrorPolicy& policy_;
    std::array<std::unique_ptr<std::uint8_t[]>, 2> blocks_;
};
