#pragma once

// Which sound card a setting or an engine is for: the microphone, the transmitter's audio input,
// or the operator's headphones (the monitor).
enum class SoundCard { Input, Output, Monitor };

// The selected sound cards: zero-based device numbers of the wave input and output services.
struct AudioDevices {
    int inputDevice = 0;
    int outputDevice = 0;
    // An output device too; it plays nothing until the operator turns the monitor on or
    // previews a message.
    int monitorDevice = 0;

    int& of(SoundCard card) {
        return card == SoundCard::Input    ? inputDevice
               : card == SoundCard::Output ? outputDevice
                                           : monitorDevice;
    }
    int of(SoundCard card) const { return const_cast<AudioDevices*>(this)->of(card); }
};
