#pragma once

#include "audio/wavestream.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <mutex>
#include <vector>

enum class WaveOp {
    ProductName,
    QueryFormat,
    Open,
    Prepare,
    Queue,
    Start,
    Reset,
    Unprepare,
    Close
};

class VirtualWaveStream;

// Wave devices without sound hardware. Buffers complete when told to (completeNext, from any
// thread) or paced by the clock as a sound card would; what is played is kept, capture delivers
// the samples it was given and silence after them, and any call can be made to fail.
class VirtualWaveService final : public WaveServiceBase {
public:
    struct Device {
        QString name;
        bool takesFormat = true;  // can record or play the keyer's format
        bool nameReadable = true; // the product name query succeeds
    };

    struct Call {
        WaveOp op;
        WaveDirection direction;
        const WaveHeader* header; // for the header calls
        int result;
    };

    enum class Pacing { Manual, Clock };

    VirtualWaveService();
    ~VirtualWaveService() override;

    void setDevices(WaveDirection direction, QList<Device> devices);

    // For devices opened afterwards. speed 2.0 plays twice as fast as a sound card.
    void setPacing(Pacing pacing, double speed = 1.0);

    // The occurrence-th call of op from now on fails and has no other effect.
    void failAt(WaveOp op, int occurrence = 1);

    // Completes the oldest queued buffer of the open device of that direction (an input device
    // must have been started). False when there is none.
    bool completeNext(WaveDirection direction);
    int queuedCount(WaveDirection direction) const;
    int openCount(WaveDirection direction) const;

    QByteArray played() const;
    void setCaptureData(const QByteArray& samples);

    QList<Call> calls() const;
    QList<WaveOp> callOps() const;
    void clearCalls();

    int deviceCount(WaveDirection direction) override;
    int productName(WaveDirection direction, int device, QString& name) override;
    int queryFormat(WaveDirection direction, int device, const WaveFormat& format) override;
    int open(WaveDirection direction, int device, const WaveFormat& format, Notifier onBufferDone,
             WaveHandle& handle) override;
    int prepareHeader(WaveHandle handle, WaveHeader& header) override;
    int queueBuffer(WaveHandle handle, WaveHeader& header) override;
    int start(WaveHandle handle) override;
    int reset(WaveHandle handle) override;
    int unprepareHeader(WaveHandle handle, WaveHeader& header) override;
    int close(WaveHandle handle) override;

protected:
    std::unique_ptr<WaveStream> openStream(WaveDirection direction, int device,
                                           const WaveFormat& format, Notifier onBufferDone,
                                           int& result) override;

private:
    friend class VirtualWaveStream;

    // Counts the call; true when it is to fail.
    bool injectedFailure(WaveOp op);
    int log(WaveOp op, WaveDirection direction, const WaveHeader* header, int result);
    WaveDirection directionOf(WaveHandle handle) const;
    const Device* device(WaveDirection direction, int device) const;

    // Called by the devices, on whatever thread completes a buffer.
    void deliver(WaveDirection direction, WaveHeader& header);
    void unregister(VirtualWaveStream* stream);

    QList<Device> outputs_;
    QList<Device> inputs_;
    Pacing pacing_ = Pacing::Manual;
    double speed_ = 1.0;

    std::map<WaveOp, int> callCounts_;
    std::vector<std::pair<WaveOp, int>> failures_;

    // Taken in this order: registry, a device's own lock, data.
    mutable std::mutex registryMutex_;
    std::vector<VirtualWaveStream*> open_;
    mutable std::mutex dataMutex_;
    QList<Call> calls_;
    QByteArray played_;
    QByteArray capture_;
    int captureRead_ = 0;
};
