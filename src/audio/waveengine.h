#pragma once

#include "audio/waveservice.h"

#include <QString>

#include <array>
#include <vector>

class Dialogs;
class WaveDeviceErrorPolicy;
class WaveEngineHost;

// The two buffers an engine keeps in flight: while one sounds or fills, the keyer refills or
// stores the other.
enum class WaveBuffer { A, B };

// A failing device call as the operator hears of it: the message and the site code handed to the
// error policy (NoSiteCode: the message only).
struct WaveFailureSite {
    const char* text;
    int code;
};
constexpr int NoSiteCode = -1;

// What the output and input engines share: one device, two headers over two sample blocks that
// live as long as the engine, and the wait for a buffer that keeps the event loop running.
//
// Every call runs on the thread of the Qt event loop; the device completes buffers on its own
// thread and wakes that loop.
class WaveEngine {
public:
    static const QString MessageTitle;

    WaveEngine(const WaveEngine&) = delete;
    WaveEngine& operator=(const WaveEngine&) = delete;

    WaveHandle handle() const { return handle_; }
    bool isOpen() const { return handle_ != NoWaveHandle; }
    const WaveFormat& format() const { return format_; }
    const WaveHeader& header(WaveBuffer buffer) const { return headers_[index(buffer)]; }
    char* block(WaveBuffer buffer) { return blocks_[index(buffer)].data(); }
    const char* block(WaveBuffer buffer) const { return blocks_[index(buffer)].data(); }

    // The failure sites of the calls both engines make, per buffer where there are two.
    struct Sites {
        std::array<WaveFailureSite, 2> prepare;
        std::array<WaveFailureSite, 2> queue;
        WaveFailureSite reset;
        std::array<WaveFailureSite, 2> unprepare;
        WaveFailureSite close;
    };

protected:
    WaveEngine(WaveDirection direction, const Sites& sites, WaveService& service, Dialogs& dialogs,
               WaveEngineHost& host, WaveDeviceErrorPolicy& policy);
    virtual ~WaveEngine();

    void setup();
    // Opens the device; the query failing reports its site and, unless openAnyway, ends there.
    void open(int device, const WaveFailureSite& query, const WaveFailureSite& opening,
              bool openAnyway);
    bool cannotUse(int device) const;
    void rearm(WaveBuffer buffer);
    void prepare(WaveBuffer buffer);
    void queue(WaveBuffer buffer);
    void start(const WaveFailureSite& site);
    void wait(WaveBuffer buffer);
    void reset();
    void unprepare(WaveBuffer buffer);
    void close();

    // What the wait does when the watchdog has fired.
    virtual void onWatchdog() = 0;

private:
    static std::size_t index(WaveBuffer buffer) { return buffer == WaveBuffer::A ? 0 : 1; }
    // Shows the message of a failed call and applies the policy; true when the call succeeded.
    bool succeeded(int result, const WaveFailureSite& site);
    void bindHeader(WaveBuffer buffer);

    const WaveDirection direction_;
    const Sites& sites_;
    WaveService& service_;
    Dialogs& dialogs_;
    WaveEngineHost& host_;
    WaveDeviceErrorPolicy& policy_;

    WaveFormat format_;
    WaveHandle handle_ = NoWaveHandle;
    std::array<WaveHeader, 2> headers_;
    std::array<std::vector<char>, 2> blocks_;
};
