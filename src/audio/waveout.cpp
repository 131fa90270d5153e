#include "audio/waveout.h"

WaveOutEngine::WaveOutEngine(WaveService& service, const AudioDevices& devices, SoundCard card)
    : WaveEngine(service, card, devices) {}

void WaveOutEngine::prepareOutput() {
    format_ = WaveFormat{};
    bindHeaders(true);
}

WaveStatus WaveOutEngine::openOutput() {
    handle_ = 0;
    WaveStatus query =
        openStatus(checkFormat(), WaveSite::OutQuery,
                   translatable("WaveEngine", "Could not handle the output WAVE format"));
    if (!query.ok())
        return query;
    WaveService::Handle handle = 0;
    WaveStatus opened =
        openStatus(service_.open(direction_, handle, device(), format_), WaveSite::OutOpen,
                   translatable("WaveEngine", "Error Opening Output wave device"));
    if (opened.ok())
        handle_ = handle;
    else
        openFailed();
    return opened;
}

WaveResult WaveOutEngine::queryOutput() {
    return probeFormat();
}

WaveStatus WaveOutEngine::resetOutput() {
    return status(service_.reset(handle_), WaveSite::OutReset,
                  translatable("WaveEngine", "Error Resetting the output wave device"));
}

WaveStatus WaveOutEngine::closeOutput() {
    return closeDevice(WaveSite::OutClose,
                       translatable("WaveEngine", "Error closing the output wave device"));
}
