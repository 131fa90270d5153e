#pragma once

#include <QObject>

// The colour of the thin strip across the top of the window: teal at rest, red for the ID
// alarm, blue and red by turns while a recording captures.
class AlarmStrip : public QObject {
    Q_OBJECT

public:
    enum Colour { Teal, Red, Blue };
    Q_ENUM(Colour)

    using QObject::QObject;

    Colour colour() const { return colour_; }
    void setColour(Colour colour) {
        if (colour_ == colour)
            return;
        colour_ = colour;
        emit colourChanged(colour);
    }

signals:
    void colourChanged(AlarmStrip::Colour colour);

private:
    Colour colour_ = Teal;
};
