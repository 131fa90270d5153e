#pragma once

#include "tx/emergencyunkey.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <chrono>
#include <vector>

class QThread;
class RigWorker;

// One transmitter keyed through Hamlib: a radio's own CAT command (over a serial port or through
// a rigctld on the network), or a GPIO pin of a CM108-family USB sound card interface.
struct RigTarget {
    enum class Kind { Cat, Cm108 };
    static constexpr int kNetworkModel = 2; // Hamlib's NET rigctl: a rigctld on host:port
    static constexpr int kDefaultSpeed = 0; // the model's own serial speed
    static constexpr int kDefaultGpio = 3;  // the pin most CM108 interfaces wire to PTT

    Kind kind = Kind::Cat;
    int model = kNetworkModel;
    QString device; // serial port path, host:port of a rigctld, or the hidraw device
    int speed = kDefaultSpeed;
    int gpio = kDefaultGpio; // CM108 GPIO pin, counted from 1
};

// A model in Hamlib's rig list.
struct RigModel {
    int model;
    QString name; // manufacturer and model
};

// Every model Hamlib knows, sorted by name. Empty when Hamlib cannot be loaded; `problem` then
// says why.
std::vector<RigModel> rigModels(QString* problem = nullptr);

// Owns the Hamlib connection to one rig on a thread of its own: Hamlib calls wait for serial and
// network timeouts, and neither the window nor the sound may wait with them. Requests are carried
// out in order; each result comes back as a signal.
class RigPtt : public QObject {
    Q_OBJECT

public:
    // How long the end of the connection may wait for the rig to take the unkey.
    static constexpr std::chrono::milliseconds kCloseWait{4000};

    explicit RigPtt(const RigTarget& target, QObject* parent = nullptr);
    // Unkeys the rig and closes the connection, waiting at most kCloseWait for the rig.
    ~RigPtt() override;
    RigPtt(const RigPtt&) = delete;
    RigPtt& operator=(const RigPtt&) = delete;

    // Keys or unkeys; the connection is opened (again) first when it is not open.
    void setPtt(bool keyed);
    const RigTarget& target() const { return target_; }
    // The device as failure messages name it.
    QString deviceName() const;
    // The async-signal-safe write that unkeys this rig, when it has one (a rigctld connection or
    // a CM108 pin); none for a radio on a serial port, whose unkey needs Hamlib.
    const LineWrite& unkeyWrite() const { return unkeyWrite_; }

signals:
    // The last request made has reached the rig.
    void pttConfirmed(bool keyed);
    // A request failed, or the rig stopped answering while keyed. The connection is closed; the
    // next request opens it again.
    void failed(const QString& reason);
    void unkeyWriteChanged();

private:
    void onConfirmed(int sequence, bool keyed);

    RigTarget target_;
    QThread* thread_;
    RigWorker* worker_;
    int sequence_ = 0;
    LineWrite unkeyWrite_;
};

Q_DECLARE_METATYPE(LineWrite)
