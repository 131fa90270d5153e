#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

// Watches a running playback or recording for a sound device that has stopped handing back
// buffers: it fires once the device has been silent for an interval, and every interval after
// that, and tells how long the silence has lasted. While buffers come back it never wakes.
class BufferWatchdog : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kInterval{500};

    explicit BufferWatchdog(QObject* parent = nullptr);

    // A fresh watch: the device counts as heard now.
    void start();
    void stop() { timer_->stop(); }
    // The device handed back a buffer.
    void heard() {
        sinceHeard_.restart();
        timer_->start();
    }
    std::chrono::milliseconds silence() const {
        return std::chrono::milliseconds{sinceHeard_.elapsed()};
    }

signals:
    void fired();

public slots:
    void expire() { emit fired(); }

private:
    QTimer* timer_;
    QElapsedTimer sinceHeard_;
};
