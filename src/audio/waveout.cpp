#include "audio/waveout.h"

namespace {
// Site codes of the error policy.
constexpr int kNoPolicy = -1;
constexpr int kCloseCode = 0;
constexpr int kPrepareCode = 29;
constexpr int kWriteCode = 30;
constexpr int kResetCode = 35;
constexpr int kUnprepareCode = 36;

} // namespace

WaveOutEngine::WaveOutEngine(WaveService& service, const AudioDevices& devices, Dialogs& dialogs,
                             WaveEngineHost& host, WaveDeviceErrorPolicy& policy)
    : WaveEngine(service, WaveService::Direction::Output, devices, dialogs, host, policy) {}

void WaveOutEngine::SetupWaveOut() {
    format_ = WaveFormat{};
    bindHeaders(true);
}

void WaveOutEngine::OpenWaveOut() {
    handle_ = 0;
    if (!succeeded(service_.query(direction_, device(), format_),
                   QStringLiteral("Could not handle the output WAVE format"), kNoPolicy))
        return;
    WaveService::Handle handle = 0;
    if (succeeded(service_.open(direction_, handle, device(), format_),
                  QStringLiteral("Error Opening Output wave device"), kNoPolicy))
        handle_ = handle;
}

int WaveOutEngine::QueryWaveOut() {
    return service_.query(direction_, device(), format_);
}

void WaveOutEngine::RearmOutHeader(Half half) {
    rearm(half);
}

void WaveOutEngine::PrepareOutHeader(Half half) {
    succeeded(service_.prepare(handle_, headers_[index(half)]),
              withHalf("Error preparing the header_", half), kPrepareCode);
}

void WaveOutEngine::WriteOutHeader(Half half) {
    succeeded(service_.queue(handle_, headers_[index(half)]),
              withHalf("Error writing to the output device ", half), kWriteCode);
}

void WaveOutEngine::WaitOutHeader(Half half) {
    waitFor(half, [this] { ResetWaveOut(); });
}

void WaveOutEngine::ResetWaveOut() {
    succeeded(service_.reset(handle_), QStringLiteral("Error Resetting the output wave device"),
              kResetCode);
}

void WaveOutEngine::UnprepareOutHeader(Half half) {
    succeeded(service_.unprepare(handle_, headers_[index(half)]),
              withHalf("Error unpreparing the Header ", half), kUnprepareCode);
}

void WaveOutEngine::CloseWaveOut() {
    // A close that fails leaves the device open, so the handle is kept for a later close.
    if (succeeded(service_.close(handle_), QStringLiteral("Error closing the output wave device"),
                  kCloseCode))
        handle_ = 0;
}
