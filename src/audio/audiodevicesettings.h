#pragma once

// The wave devices the operator has chosen: zero-based device numbers of the wave device layer.
// Chosen in the sound card dialog, used from the next recording or playback, and kept in the
// configuration file.
struct AudioDeviceSettings {
    int inputDevice = 0;
    int outputDevice = 0;

    bool operator==(const AudioDeviceSettings& o) const {
        return inputDevice == o.inputDevice && outputDevice == o.outputDevice;
    }
    bool operator!=(const AudioDeviceSettings& o) const { return !(*this == o); }
};
