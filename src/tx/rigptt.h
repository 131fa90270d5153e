#pragma once

#include "support/notice.h"
#include "tx/emergencyunkey.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
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

    // Reached through a rigctld, not on a port of this machine.
    bool isNetwork() const { return kind == Kind::Cat && model == kNetworkModel; }
};

// A model in Hamlib's rig list.
struct RigModel {
    int model;
    QString name; // manufacturer and model
};

// Every model Hamlib knows, sorted by name, handed to `listed` on context's thread. Hamlib is
// loaded and asked on a thread of its own: the window never makes a Hamlib call. The list is
// empty when Hamlib cannot be loaded; the problem then says why.
void listRigModels(
    QObject* context,
    std::function<void(const std::vector<RigModel>&, const QString& problem)> listed);

// Owns the Hamlib connection to one rig on a thread of its own: Hamlib calls wait for serial and
// network timeouts, and neither the window nor the sound may wait with them. Requests are carried
// out in order; each result comes back as a signal. An unkey that fails while the rig may be
// keyed is sent again, on a new connection, until the rig confirms it or another request comes.
class RigPtt : public QObject {
    Q_OBJECT

public:
    // How long the program's end may wait for given-up connections to unkey their rigs.
    static constexpr std::chrono::milliseconds kCloseWait{4000};
    // The pause between attempts at an unkey the rig has not taken.
    static constexpr std::chrono::milliseconds kRetryInterval{1000};
    // How often the rig is asked for its PTT while listening for the operator's.
    static constexpr std::chrono::milliseconds kListenInterval{200};

    explicit RigPtt(const RigTarget& target, QObject* parent = nullptr);
    // Gives the connection up without waiting: its thread unkeys the rig, closes and ends.
    ~RigPtt() override;
    RigPtt(const RigPtt&) = delete;
    RigPtt& operator=(const RigPtt&) = delete;

    // Keys or unkeys; the connection is opened (again) first when it is not open.
    void setPtt(bool keyed);
    // While on, the rig is asked for its PTT every kListenInterval whenever it has confirmed the
    // last unkey: keyed then, it is keyed by the operator's own PTT.
    void listenForPtt(bool on);
    const RigTarget& target() const { return target_; }
    // The device as failure messages name it.
    QString deviceName() const;
    // The async-signal-safe write that unkeys this rig, when it has one (a rigctld connection or
    // a CM108 pin); none for a radio on a serial port, whose unkey needs Hamlib.
    const LineWrite& unkeyWrite() const { return unkeyWrite_; }
    // A key command has gone to the rig and no unkey has been confirmed since.
    bool mayBeKeyed() const { return mayBeKeyed_; }
    // Waits, at most bound, for the connections given up to finish unkeying their rigs; false
    // when one is still waiting for its rig.
    static bool awaitGivenUp(std::chrono::milliseconds bound);

signals:
    // The last request made has reached the rig.
    void pttConfirmed(bool keyed);
    // A request failed, or the rig stopped answering while keyed. The connection is closed; the
    // next request opens it again.
    void failed(const Notice& reason);
    void unkeyWriteChanged();
    void mayBeKeyedChanged(bool mayBeKeyed);
    // Listening, the rig's PTT was found on after it had been off since the unkey.
    void pttHeard();
    // The rig cannot report its PTT: listening has ended.
    void pttNotReported();

private:
    void onConfirmed(int sequence, bool keyed);

    RigTarget target_;
    QThread* thread_;
    RigWorker* worker_;
    int sequence_ = 0;
    LineWrite unkeyWrite_;
    bool mayBeKeyed_ = false;
};

Q_DECLARE_METATYPE(LineWrite)
