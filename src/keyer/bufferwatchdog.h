#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

// Watches a running playback or recording for a sound device that has stopped handing back
// buffers: while it runs it fires every interval, and tells how long the device has been silent.
class BufferWatchdog : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kInterval{500};

    explicit BufferWatchdog(QObject* parent = nullptr);

    // A fresh watch: the device counts as heard now.
    void start();
    void stop() { timer_->stop(); }
    // The device handed back a buffer.
    void heard() { sinceHeard_.restart(); }
    std::chrono::milliseconds silence() const {
        return std::chrono::milliseconds{sinceHeard_.elapsed()};
    }

signals:
    void fired();

public slots:
    void TimeoutTimerTimer() { emit fired(); }

private:
    QTimer* timer_;
    QElapsedTimer sinceHeard_;
};
