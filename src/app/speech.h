#pragma once

#include <QString>

// Says a line aloud for an operator whose eyes are elsewhere, without waiting for it to be said.
class Speech {
public:
    virtual ~Speech() = default;

    virtual void say(const QString& line) = 0;
};
