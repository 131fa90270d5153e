#pragma once

// The desktop's bell.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};
