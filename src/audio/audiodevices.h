#pragma once

// The selected sound cards: zero-based device numbers of the wave input and output services.
struct AudioDevices {
    int InputDevice = 0;
    int OutputDevice = 0;
};
