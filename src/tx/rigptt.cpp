#include "tx/rigptt.h"

#include "tx/hamlibloader.h"
#include "tx/txlog.h"

#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include <unistd.h>

namespace {

// While keyed, the rig is asked this often whether it is still there, so that a rig or rigctld
// that goes away mid-message stops the message instead of going unnoticed until its end.
constexpr std::chrono::milliseconds kCheckInterval{1000};

// A handle exists only once Hamlib is loaded.
struct RigCloser {
    void operator()(RIG* rig) const {
        // Refused harmlessly when the open failed.
        hamlib()->close(rig);
        hamlib()->cleanup(rig);
    }
};
using RigHandle = std::unique_ptr<RIG, RigCloser>;

QString hamlibError(const HamlibApi& api, int code) {
    return QString::fromLocal8Bit(api.error(code)).trimmed();
}

void setConf(const HamlibApi& api, RIG* rig, const char* name, const QString& value) {
    api.setConf(rig, api.tokenLookup(rig, name), value.toLocal8Bit().constData());
}

bool isNetwork(const RigTarget& target) {
    return target.kind == RigTarget::Kind::Cat && target.model == RigTarget::kNetworkModel;
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Hamlib says only "IO error" when the device itself cannot be opened or rigctld cannot be
// reached: the system's reason is what tells the operator to plug it in, fix its permissions or
// start rigctld. Hamlib's network open leaves the failed connect's errno in place.
QString openProblem(const HamlibApi& api, const RigTarget& target, int result, int openErrno) {
    if (isNetwork(target))
        return result == -RIG_EIO && openErrno != 0 ? systemReason(openErrno)
                                                    : hamlibError(api, result);
    if (target.device.isEmpty() ||
        ::access(target.device.toLocal8Bit().constData(), R_OK | W_OK) == 0)
        return hamlibError(api, result);
    return QStringLiteral("%1 (%2)").arg(hamlibError(api, result), systemReason(errno));
}

LineWrite bytesWrite(int fd, const char* bytes, std::size_t length) {
    LineWrite write;
    if (fd < 0)
        return write;
    write.kind = LineWrite::Kind::Bytes;
    write.fd = fd;
    std::copy(bytes, bytes + length, write.bytes);
    write.length = length;
    return write;
}

// A dying client's connection does not make rigctld drop the PTT, so the fatal-signal handler
// sends it the unkey command itself; a CM108 pin takes the unkeying HID report.
LineWrite emergencyUnkey(RIG* rig, const RigTarget& target) {
    if (isNetwork(target)) {
        static const char kUnkeyCommand[] = "T 0\n";
        return bytesWrite(rig->state.rigport.fd, kUnkeyCommand, sizeof kUnkeyCommand - 1);
    }
    if (target.kind == RigTarget::Kind::Cm108) {
        // Report number, write-GPIO report, pin levels (all low), pin directions, SPDIF.
        const char report[] = {0, 0, 0, static_cast<char>(1 << (target.gpio - 1)), 0};
        return bytesWrite(rig->state.pttport.fd, report, sizeof report);
    }
    return {};
}

void ignoreBrokenPipes() {
    // Hamlib writes to a rigctld's socket with write(): a daemon that has gone away must give
    // an error, not end the program.
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

void useCNumbers() {
    // Hamlib keeps the name setlocale() returns, switches LC_NUMERIC to "C" and later restores the
    // kept name, which that switch has already freed. With "C" in force from the start the name is
    // the C library's own constant and nothing is freed. Qt formats numbers without the C locale.
    static std::once_flag once;
    std::call_once(once, [] { std::setlocale(LC_NUMERIC, "C"); });
}

} // namespace

// Lives on the rig's thread; every Hamlib call of the connection is made here.
class RigWorker : public QObject {
    Q_OBJECT

public:
    RigWorker(const RigTarget& target, const QString& deviceName)
        : target_(target), deviceName_(deviceName), check_(this), retry_(this), listen_(this) {
        listen_.setInterval(RigPtt::kListenInterval);
        connect(&listen_, &QTimer::timeout, this, &RigWorker::listen);
        check_.setInterval(kCheckInterval);
        connect(&check_, &QTimer::timeout, this, &RigWorker::check);
        retry_.setSingleShot(true);
        retry_.setInterval(RigPtt::kRetryInterval);
        connect(&retry_, &QTimer::timeout, this, &RigWorker::attempt);
    }

    void request(int sequence, bool keyed) {
        wanted_ = {sequence, keyed};
        attempt();
    }

    void listenForPtt(bool on) {
        listening_ = on;
        followListening();
    }

    // The end of the connection: one more try at releasing the transmitter, then the thread
    // ends.
    void finish() {
        check_.stop();
        retry_.stop();
        listen_.stop();
        if (rig_ || (mayBeKeyed_ && open()))
            api_->setPtt(rig_.get(), RIG_VFO_CURR, RIG_PTT_OFF);
        rig_.reset();
        QThread::currentThread()->quit();
    }

signals:
    void confirmed(int sequence, bool keyed);
    void failed(const QString& reason);
    void unkeyWriteChanged(const LineWrite& write);
    void mayBeKeyedChanged(bool mayBeKeyed);
    void pttHeard();
    void pttNotReported();

private:
    struct Request {
        int sequence = 0;
        bool keyed = false;
    };

    void attempt() {
        check_.stop();
        retry_.stop();
        const Request wanted = wanted_;
        if (!rig_ && !open())
            return retryUnkey();
        // From the moment the command leaves, the rig may be keyed, answer or not.
        if (wanted.keyed)
            setMayBeKeyed(true);
        const int result =
            api_->setPtt(rig_.get(), RIG_VFO_CURR, wanted.keyed ? RIG_PTT_ON : RIG_PTT_OFF);
        if (result != RIG_OK) {
            fail(wanted.keyed ? QStringLiteral("could not key the transmitter")
                              : QStringLiteral("could not unkey the transmitter"),
                 result);
            return retryUnkey();
        }
        if (wanted.keyed)
            check_.start();
        else
            setMayBeKeyed(false);
        followListening();
        emit confirmed(wanted.sequence, wanted.keyed);
    }

    // Listens while the rig is open and unkeyed as far as this program knows.
    void followListening() {
        const bool due = listening_ && rig_ && !wanted_.keyed && !mayBeKeyed_;
        if (due == listen_.isActive())
            return;
        // A rig may still show the key-up under way at the first look: that look sets what
        // counts as off.
        heard_.reset();
        due ? listen_.start() : listen_.stop();
    }

    void listen() {
        ptt_t ptt = RIG_PTT_OFF;
        const int result = api_->getPtt(rig_.get(), RIG_VFO_CURR, &ptt);
        if (result == -RIG_ENAVAIL || result == -RIG_ENIMPL) {
            listening_ = false;
            listen_.stop();
            emit pttNotReported();
            return;
        }
        // A rig that fails to answer here is told by the next key-down, which needs it.
        const bool keyed = result == RIG_OK && ptt != RIG_PTT_OFF;
        if (keyed && heard_ == false)
            emit pttHeard();
        heard_ = keyed;
    }

    // A transmitter left keyed would stay on the air: its unkey is tried again until it lands.
    void retryUnkey() {
        if (!wanted_.keyed && mayBeKeyed_)
            retry_.start();
    }

    void setMayBeKeyed(bool mayBeKeyed) {
        if (std::exchange(mayBeKeyed_, mayBeKeyed) != mayBeKeyed)
            emit mayBeKeyedChanged(mayBeKeyed);
    }

    bool open() {
        QString problem;
        api_ = hamlib(&problem);
        if (!api_) {
            emit failed(QStringLiteral("%1: %2").arg(deviceName_, problem));
            return false;
        }
        const bool cm108 = target_.kind == RigTarget::Kind::Cm108;
        RigHandle rig(api_->init(cm108 ? RIG_MODEL_DUMMY : target_.model));
        if (!rig) {
            emit failed(QStringLiteral("Could not open %1: Hamlib has no such rig model.")
                            .arg(deviceName_));
            return false;
        }
        if (cm108) {
            setConf(*api_, rig.get(), "ptt_type", QStringLiteral("CM108"));
            setConf(*api_, rig.get(), "ptt_pathname", target_.device);
        } else {
            setConf(*api_, rig.get(), "rig_pathname", target_.device);
            if (target_.speed > 0)
                setConf(*api_, rig.get(), "serial_speed", QString::number(target_.speed));
        }
        errno = 0;
        const int result = api_->open(rig.get());
        const int openErrno = errno;
        if (result != RIG_OK) {
            emit failed(
                QStringLiteral("Could not %1 %2: %3.")
                    .arg(isNetwork(target_) ? QStringLiteral("connect to") : QStringLiteral("open"),
                         deviceName_, openProblem(*api_, target_, result, openErrno)));
            return false;
        }
        // Hamlib's open puts the CM108 pin back to its default, whatever was set before it.
        if (cm108)
            setConf(*api_, rig.get(), "ptt_bitnum", QString::number(target_.gpio - 1));
        // Every answer must come from the rig: a cached one would hide a rig that has gone.
        api_->setCacheTimeoutMs(rig.get(), HAMLIB_CACHE_ALL, 0);
        rig_ = std::move(rig);
        emit unkeyWriteChanged(emergencyUnkey(rig_.get(), target_));
        return true;
    }

    void check() {
        ptt_t ptt = RIG_PTT_OFF;
        const int result = api_->getPtt(rig_.get(), RIG_VFO_CURR, &ptt);
        if (result == -RIG_ENAVAIL || result == -RIG_ENIMPL) {
            check_.stop(); // this rig cannot say; its next request will show a failure
            return;
        }
        if (result != RIG_OK)
            fail(QStringLiteral("stopped answering while transmitting"), result);
    }

    void fail(const QString& what, int result) {
        check_.stop();
        listen_.stop();
        emit unkeyWriteChanged({});
        rig_.reset();
        emit failed(
            QStringLiteral("%1: %2: %3").arg(deviceName_, what, hamlibError(*api_, result)));
    }

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

namespace {

std::vector<RigModel> rigModels(QString* problem) {
    const HamlibApi* api = hamlib(problem);
    if (!api)
        return {};
    static std::once_flag loaded;
    std::call_once(loaded, [api] { api->loadAllBackends(); });
    std::vector<RigModel> models;
    api->listForeach(
        [](const rig_caps* caps, rig_ptr_t data) {
            static_cast<std::vector<RigModel>*>(data)->push_back(
                {static_cast<int>(caps->rig_model),
                 QStringLiteral("%1 %2").arg(QString::fromUtf8(caps->mfg_name),
                                             QString::fromUtf8(caps->model_name))});
            return 1; // go on
        },
        &models);
    std::sort(models.begin(), models.end(), [](const RigModel& a, const RigModel& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return models;
}

// Connections given up whose threads may still be unkeying their rigs.
std::vector<QPointer<QThread>>& givenUp() {
    static std::vector<QPointer<QThread>> threads;
    return threads;
}

} // namespace

void listRigModels(QObject* context,
                   std::function<void(const std::vector<RigModel>&, const QString&)> listed) {
    struct Listing {
        std::vector<RigModel> models;
        QString problem;
    };
    auto listing = std::make_shared<Listing>();
    QThread* thread =
        QThread::create([listing] { listing->models = rigModels(&listing->problem); });
    QObject::connect(thread, &QThread::finished, context,
                     [listing, listed] { listed(listing->models, listing->problem); });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

RigPtt::RigPtt(const RigTarget& target, QObject* parent)
    : QObject(parent), target_(target), thread_(new QThread) {
    ignoreBrokenPipes();
    useCNumbers();
    qRegisterMetaType<LineWrite>();
    worker_ = new RigWorker(target_, deviceName());
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &RigWorker::confirmed, this, &RigPtt::onConfirmed);
    connect(worker_, &RigWorker::failed, this, &RigPtt::failed);
    connect(worker_, &RigWorker::unkeyWriteChanged, this, [this](const LineWrite& write) {
        unkeyWrite_ = write;
        emit unkeyWriteChanged();
    });
    connect(worker_, &RigWorker::pttHeard, this, &RigPtt::pttHeard);
    connect(worker_, &RigWorker::pttNotReported, this, &RigPtt::pttNotReported);
    connect(worker_, &RigWorker::mayBeKeyedChanged, this, [this](bool mayBeKeyed) {
        mayBeKeyed_ = mayBeKeyed;
        emit mayBeKeyedChanged(mayBeKeyed);
    });
    thread_->start();
}

RigPtt::~RigPtt() {
    disconnect(worker_, nullptr, this, nullptr);
    // Whoever gave the rig up goes on at once; a rig that does not answer holds up only its own
    // thread, until Hamlib's timeouts end the unkey.
    connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
    QMetaObject::invokeMethod(worker_, &RigWorker::finish, Qt::QueuedConnection);
    auto& threads = givenUp();
    threads.erase(std::remove(threads.begin(), threads.end(), nullptr), threads.end());
    threads.emplace_back(thread_);
}

bool RigPtt::awaitGivenUp(std::chrono::milliseconds bound) {
    const QDeadlineTimer deadline(bound);
    bool all = true;
    for (const QPointer<QThread>& thread : givenUp())
        all = (!thread || thread->wait(deadline)) && all;
    if (!all)
        // A running thread cannot be destroyed: it is left to end with the process rather than
        // take the program down with it.
        qCWarning(txLog, "a rig did not answer the unkey within %lld ms",
                  static_cast<long long>(bound.count()));
    return all;
}

void RigPtt::setPtt(bool keyed) {
    const int sequence = ++sequence_;
    RigWorker* worker = worker_;
    QMetaObject::invokeMethod(
        worker_, [worker, sequence, keyed] { worker->request(sequence, keyed); },
        Qt::QueuedConnection);
}

void RigPtt::listenForPtt(bool on) {
    RigWorker* worker = worker_;
    QMetaObject::invokeMethod(
        worker_, [worker, on] { worker->listenForPtt(on); }, Qt::QueuedConnection);
}

QString RigPtt::deviceName() const {
    if (target_.kind == RigTarget::Kind::Cm108)
        return QStringLiteral("CM108 GPIO %1 on %2").arg(target_.gpio).arg(target_.device);
    if (isNetwork(target_))
        return QStringLiteral("rigctld at %1").arg(target_.device);
    if (target_.device.isEmpty())
        return QStringLiteral("Hamlib rig model %1 with no port named").arg(target_.model);
    return QStringLiteral("Hamlib rig model %1 on %2").arg(target_.model).arg(target_.device);
}

void RigPtt::onConfirmed(int sequence, bool keyed) {
    if (sequence == sequence_)
        emit pttConfirmed(keyed);
}

#include "rigptt.moc"
