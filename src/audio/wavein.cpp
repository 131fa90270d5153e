#include "audio/wavein.h"

namespace {
// Site codes of the error policy; 3 to 25 close the input device.
constexpr int kCloseCode = 0;
constexpr int kQueryCode = 1;
constexpr int kOpenCode = 2;
constexpr int kPrepareCodeA = 5;
constexpr int kAddCodeA = 6;
constexpr int kPrepareCodeB = 7;
constexpr int kAddCodeB = 8;
constexpr int kStartCode = 9;
constexpr int kResetCode = 15;
constexpr int kUnprepareCodeA = 16;
constexpr int kUnprepareCodeB = 17;

int perHalf(Half half, int a, int b) {
    return half == Half::A ? a : b;
}
} // namespace

WaveInEngine::WaveInEngine(WaveService& service, const AudioDevices& devices, Dialogs& dialogs,
                           WaveEngineHost& host, WaveDeviceErrorPolicy& policy)
    : WaveEngine(service, WaveService::Direction::Input, devices, dialogs, host, policy) {}

void WaveInEngine::SetupWaveIn() {
    format_ = WaveFormat{};
    bindHeaders(false);
}

void WaveInEngine::OpenWaveIn() {
    handle_ = 0;
    succeeded(service_.query(direction_, device(), format_),
              QStringLiteral("Could not open the input wave device"), kQueryCode);
    // The device is opened whatever the query said.
    WaveService::Handle handle = 0;
    if (succeeded(service_.open(direction_, handle, device(), format_),
                  QStringLiteral("Error Opening Input wave device"), kOpenCode))
        handle_ = handle;
}

int WaveInEngine::QueryWaveIn() {
    return service_.query(direction_, device(), format_);
}

void WaveInEngine::RearmInHeader(Half half) {
    rearm(half);
}

void WaveInEngine::PrepareInHeader(Half half) {
    succeeded(service_.prepare(handle_, headers_[index(half)]),
              withHalf("Error preparing the header_", half),
              perHalf(half, kPrepareCodeA, kPrepareCodeB));
}

void WaveInEngine::AddInBuffer(Half half) {
    succeeded(service_.queue(handle_, headers_[index(half)]),
              withHalf("Error in sending a buffer_", half), perHalf(half, kAddCodeA, kAddCodeB));
}

void WaveInEngine::StartWaveIn() {
    succeeded(service_.start(handle_), QStringLiteral("Error starting the input wave device"),
              kStartCode);
}

void WaveInEngine::WaitInHeader(Half half) {
    waitFor(half, [this] {
        ResetWaveIn();
        StartWaveIn();
    });
}

void WaveInEngine::ResetWaveIn() {
    succeeded(service_.reset(handle_), QStringLiteral("Error Resetting the input wave device"),
              kResetCode);
}

void WaveInEngine::UnprepareInHeader(Half half) {
    succeeded(service_.unprepare(handle_, headers_[index(half)]),
              withHalf("Error unpreparing the Header ", half),
              perHalf(half, kUnprepareCodeA, kUnprepareCodeB));
}

void WaveInEngine::CloseWaveIn() {
    // A close that fails leaves the device open, so the handle is kept for a later close.
    if (succeeded(service_.close(handle_), QStringLiteral("Error closing the input wave device"),
                  kCloseCode))
        handle_ = 0;
}
