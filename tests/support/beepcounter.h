#pragma once

#include "tx/beeper.h"

// Counts the bell instead of sounding it.
class BeepCounter final : public Beeper {
public:
    void beep() override { ++count; }
    int count = 0;
};
