#pragma once

#include "audio/waveservice.h"
#include "audio/wavestatus.h"
#include "audio/wavetypes.h"

#include <QString>

class QObject;

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/audiodevices.h"

// What the output and input engines share: two sample blocks with their headers on one device,
// and the buffer wait. Each operation returns its status; what a failure means for the program
// is for the caller to decide.
class WaveEngine {
public:
    WaveEngine(WaveService& service, SoundCard card, const AudioDevices& devices);
    virtual ~WaveEngine();
    WaveEngine(const WaveEngine&) = delete;
    WaveEngine& operator=(const WaveEngine&) = delete;

    std::uint8_t* block(Half half) { return blocks_[index(half)].get(); }
    const WaveHeader& header(Half half) const { return headers_[index(half)]; }
    bool done(Half half) const { return header(half).done(); }
    bool deviceOpen() const { return handle_ != 0; }
    // Empty while the open device moves sound; otherwise why it stopped, in the platform's words.
    std::string problem() const { return handle_ != 0 ? service_.problem(handle_) : std::string(); }
    // The device selected for this engine's sound card.
    int device() const { return devices_.of(card_); }
    // The selected device's name as the operator sees it.
    QString deviceName() const;
    // Hands the half's block to the device: to be played, or filled.
    WaveStatus queueBlock(Half half);

    // From now on the device threads of this engine's service, of both directions, have
    // handler run on receiver's thread after they mark buffers done: one call for any number of
    // buffers done since the last call, and never one lost. Ends when the engine does; receiver
    // must outlive the engine.
    void reportCompletionsTo(QObject* receiver, std::function<void()> handler);

protected:
    // Ok when the service's result is; otherwise the failure at site, its text naming buffer a
    // or b. The text is built only for a failure: this runs for every block.
    static WaveStatus status(WaveResult result, WaveSite site, const Notice& text, Half half);
    // Binds each header to its block with the buffer length and clears its flags.
    void bindHeaders(bool clearUser);
    // Ok when the service's result is; otherwise the failure at site with text.
    static WaveStatus status(WaveResult result, WaveSite site, const Notice& text);
    // A failed query or open: text, then the device and the platform's reason when it gives one.
    WaveStatus openStatus(WaveResult result, WaveSite site, const Notice& text) const;
    // Closes the device; a close that fails leaves it open, so the handle is kept for a later one.
    WaveStatus closeDevice(WaveSite site, const Notice& text);
    // Whether the selected device takes the format. Asking opens the device on most platforms,
    // so a device that took it is not asked again until another device is selected or an open
    // fails.
    WaveResult checkFormat();
    // Asks the service in any case and remembers the answer.
    WaveResult probeFormat();
    // The device may have changed since it took the format (unplugged, taken by another
    // program): the next open asks again.
    void openFailed() { formatTakenBy_.reset(); }

    WaveService& service_;
    WaveService::Direction direction_;
    WaveService::Handle handle_ = 0;
    WaveFormat format_;
    std::array<WaveHeader, 2> headers_;

private:
    SoundCard card_;
    const AudioDevices& devices_;
    std::array<std::unique_ptr<std::uint8_t[]>, 2> blocks_;
    // The device that last took the format (always the keyer's own).
    std::optional<int> formatTakenBy_;
};
