#pragma once

#include "tx/beeper.h"

#include <QApplication>

class QtBeeper final : public Beeper {
public:
    void beep() override { QApplication::beep(); }
};
