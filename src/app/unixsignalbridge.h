#pragma once

#include "support/uniquefd.h"

#include <QObject>

#include <csignal>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

// Turns the termination signals (SIGINT, SIGTERM, SIGHUP) into a Qt signal on the thread that
// runs the event loop, so that a kill or a closed terminal runs the same shutdown as the close
// box. The handler only writes the signal number into a pipe. One bridge per process; the
// previous handlers come back when it is destroyed.
class UnixSignalBridge : public QObject {
    Q_OBJECT

public:
    explicit UnixSignalBridge(std::initializer_list<int> caught = {SIGINT, SIGTERM, SIGHUP},
                              QObject* parent = nullptr);
    ~UnixSignalBridge() override;

    // False when the pipe or a handler could not be set up; the signals then keep their
    // previous dispositions.
    bool active() const { return active_; }

signals:
    void signalReceived(int signalNumber);

private:
    void drain();

    struct Previous {
        int signalNumber;
        struct sigaction action;
    };

    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    QSocketNotifier* notifier_ = nullptr;
    std::vector<Previous> previous_;
    bool active_ = false;
};
