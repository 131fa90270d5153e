#pragma once

#include "tx/emergencyunkey.h"
#include "tx/hamlibloader.h"
#include "tx/rigptt.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

// A handle exists only once Hamlib is loaded.
struct RigCloser {
    void operator()(RIG* rig) const {
        // Refused harmlessly when the open failed.
        hamlib()->close(rig);
        hamlib()->cleanup(rig);
    }
};
using RigHandle = std::unique_ptr<RIG, RigCloser>;

// Lives on the rig's thread; every Hamlib call of the connection is made here.
class RigWorker : public QObject {
    Q_OBJECT

public:
    RigWorker(const RigTarget& target, const QString& deviceName);

    void request(int sequence, bool keyed);

    void listenForPtt(bool on);

    // The end of the connection: one more try at releasing the transmitter, then the thread
    // ends.
    void finish();

signals:
    void confirmed(int sequence, bool keyed);
    void failed(const Notice& reason);
    void unkeyWriteChanged(const LineWrite& write);
    void mayBeKeyedChanged(bool mayBeKeyed);
    void pttHeard();
    void pttNotReported();

private:
    struct Request {
        int sequence = 0;
        bool keyed = false;
    };

    void attempt();

    // Listens while the rig is open and unkeyed as far as this program knows.
    void followListening();

    void listen();

    // A transmitter left keyed would stay on the air: its unkey is tried again until it lands.
    void retryUnkey();

    void setMayBeKeyed(bool mayBeKeyed);

    bool open();

    void check();

    void fail(const Notice& what, int result);

    RigTarget target_;
    QString deviceName_;
    const HamlibApi* api_ = nullptr; // set by the first open
    RigHandle rig_;
    QTimer check_;
    QTimer retry_;
    QTimer listen_;
    Request wanted_;
    bool mayBeKeyed_ = false;
    bool listening_ = false;
    std::optional<bool> heard_; // the rig's PTT at the last look while listening
};
