#include "audio/wavein.h"

WaveInEngine::WaveInEngine(WaveService& service, const AudioDevices& devices)
    : WaveEngine(service, SoundCard::Input, devices) {}

void WaveInEngine::prepareInput() {
    format_ = WaveFormat{};
    bindHeaders(false);
}

WaveStatus WaveInEngine::queryInputFormat() {
    return openStatus(checkFormat(), WaveSite::InQuery,
                      translatable("WaveEngine", "Could not open the input wave device"));
}

WaveStatus WaveInEngine::openInput() {
    handle_ = 0;
    WaveService::Handle handle = 0;
    WaveStatus opened =
        openStatus(service_.open(direction_, handle, device(), format_), WaveSite::InOpen,
                   translatable("WaveEngine", "Error Opening Input wave device"));
    if (opened.ok())
        handle_ = handle;
    else
        openFailed();
    return opened;
}

WaveResult WaveInEngine::queryInput() {
    return probeFormat();
}

WaveStatus WaveInEngine::startInput() {
    return status(service_.start(handle_), WaveSite::InStart,
                  translatable("WaveEngine", "Error starting the input wave device"));
}

WaveStatus WaveInEngine::resetInput() {
    return status(service_.reset(handle_), WaveSite::InReset,
                  translatable("WaveEngine", "Error Resetting the input wave device"));
}

WaveStatus WaveInEngine::closeInput() {
    return closeDevice(WaveSite::InClose,
                       translatable("WaveEngine", "Error closing the input wave device"));
}
