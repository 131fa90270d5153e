#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class MessageReader;
class QTimer;
class WaveOutEngine;

// The monitor's volume: what it hears is scaled by this much against what the transmitter gets.
struct MonitorVolume {
    static constexpr int kLowestDb = -40;
    int db = 0; // kLowestDb..0

    bool operator==(const MonitorVolume& other) const { return db == other.db; }
};

// The operator's headphones on a sound card of their own. While the monitor is on, every block
// handed to the transmitter's device goes to the monitor's too, at the monitor's volume; Preview
// plays a message there alone, keying nothing.
//
// The monitor never holds up the transmitter: its blocks wait in a queue of its own while its
// device catches up, and a monitor device that fails or stops answering is let go and the
// monitor turned off, while the message on the air goes on.
class Monitor : public QObject {
    Q_OBJECT

public:
    // Blocks held for a monitor device that is slower to start than the transmitter's: about
    // three seconds, longer than any sound server takes to start a stream.
    static constexpr std::size_t kQueuedBlocks = 16;
    // How often an open monitor device is asked whether it still moves sound.
    static constexpr std::chrono::milliseconds kCheckInterval{250};

    // transmitterDevice tells the transmitter's device number: the monitor never plays on it.
    Monitor(WaveOutEngine& engine, std::function<int()> transmitterDevice,
            QObject* parent = nullptr);
    ~Monitor() override;

    bool on() const { return on_; }
    void setOn(bool on);
    MonitorVolume volume() const { return volume_; }
    void setVolume(MonitorVolume volume);
    // The monitor's device is open: following a message, playing one out, or previewing.
    bool deviceInUse() const { return phase_ != Phase::Closed; }

    // A keyed message is about to start: a preview ends, and the device opens if the monitor is
    // on, so that its first block waits on nothing.
    void prepare();
    // A block of the message has just been handed to the transmitter's device.
    void follow(const std::uint8_t* block);
    // The message has ended. Heard whole, what the monitor still holds plays out; otherwise it
    // is cut off with the transmitter's.
    void endMessage(bool heardWhole);

    // Plays the message file at path on the monitor device alone; false, with failed() emitted,
    // when it cannot.
    bool preview(const QString& path);
    // Ends a preview; nothing else.
    void stopPreview();

    // The service marked buffers done: the monitor's are refilled from what waits.
    void serviceDevice();

signals:
    // The monitor went off by itself: its device failed or is the transmitter's.
    void onChanged(bool on);
    // Why the monitor or a preview could not play, for the status line.
    void failed(const QString& why);
    void previewEnded();

private:
    // Opening: a preview's device is being opened.
    enum class Phase { Closed, Opening, Following, Draining, Previewing };

    // refused begins the text that says why it could not open.
    bool open(const QString& refused);
    void close();
    void fail(const QString& why);
    // Queues what waits on every half the device has handed back.
    void feed();
    // Copies a block into the queue, scaled to the volume; false when the queue is full.
    bool enqueue(const std::uint8_t* block);
    bool readPreviewBlock();
    void checkDevice();
    // The device stopped moving sound, for the reason given.
    void stopped(const QString& why);
    QString deviceName() const;

    WaveOutEngine& engine_;
    std::function<int()> transmitterDevice_;
    QTimer* check_;
    bool on_ = false;
    MonitorVolume volume_;
    double factor_ = 1.0;
    Phase phase_ = Phase::Closed;
    std::array<bool, 2> inFlight_{};
    // Since the device last handed back a block, or was handed one to play after none.
    QElapsedTimer sinceHeard_;
    // A ring of blocks waiting for the device.
    std::vector<std::uint8_t> queue_;
    std::size_t head_ = 0;
    std::size_t waiting_ = 0;
    std::unique_ptr<MessageReader> preview_;
    std::vector<std::uint8_t> scratch_;
};
