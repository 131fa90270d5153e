#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <chrono>
#include <cstdint>

class KeyerState;
class QTimer;

// LOOP's repetitions: a message PLAY started in loop mode is played again after a pause in
// which the transmitter is released, until LOOP, RST, Escape or a failure ends the loop. The
// mode and the pause's length live in the keyer's state, where the window shows them.
class RepeatLoop : public QObject {
    Q_OBJECT

public:
    explicit RepeatLoop(KeyerState& state, QObject* parent = nullptr);

    // On: the next PLAY starts the loop. Off: a running loop repeats no more.
    void toggle();
    // A message starts: a repetition still waiting is overtaken by it, and in loop mode the
    // loop runs and times its next pause from this message's end.
    void messageStarted();
    // The message has ended and the line is up: a running loop starts its pause.
    void keyedUp();
    // Nothing repeats from now on, until a PLAY in loop mode starts the loop again.
    void end();
    // The pause in tenths of a second: a pause under way ends when the new delay has passed
    // since its key-up. Any delay is taken, whether a menu item carries it or not.
    void setDelay(std::int32_t tenths);
    // The pause before the next repetition is under way.
    bool pausing() const;

signals:
    // The pause is over: the message is to be played again.
    void due();

private:
    std::chrono::milliseconds pause() const;

    KeyerState& state_;
    QTimer* timer_;
    // A PLAY in loop mode started the loop, and nothing has ended it since.
    bool running_ = false;
    QElapsedTimer sinceKeyUp_;
};
