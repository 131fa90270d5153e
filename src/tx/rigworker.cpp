#include "tx/rigworker.h"

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

QString hamlibError(const HamlibApi& api, int code) {
    return QString::fromLocal8Bit(api.error(code)).trimmed();
}

void setConf(const HamlibApi& api, RIG* rig, const char* name, const QString& value) {
    api.setConf(rig, api.tokenLookup(rig, name), value.toLocal8Bit().constData());
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Hamlib says only "IO error" when the device itself cannot be opened or rigctld cannot be
// reached: the system's reason is what tells the operator to plug it in, fix its permissions or
// start rigctld. Hamlib's network open leaves the failed connect's errno in place.
QString openProblem(const HamlibApi& api, const RigTarget& target, int result, int openErrno) {
    if (target.isNetwork())
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
    if (target.isNetwork()) {
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

} // namespace

RigWorker::RigWorker(const RigTarget& target, const QString& deviceName)
    : target_(target), deviceName_(deviceName), check_(this), retry_(this), listen_(this) {
    listen_.setInterval(RigPtt::kListenInterval);
    connect(&listen_, &QTimer::timeout, this, &RigWorker::listen);
    check_.setInterval(kCheckInterval);
    connect(&check_, &QTimer::timeout, this, &RigWorker::check);
    retry_.setSingleShot(true);
    retry_.setInterval(RigPtt::kRetryInterval);
    connect(&retry_, &QTimer::timeout, this, &RigWorker::attempt);
}

void RigWorker::request(int sequence, bool keyed) {
    wanted_ = {sequence, keyed};
    attempt();
}

void RigWorker::listenForPtt(bool on) {
    listening_ = on;
    followListening();
}

void RigWorker::finish() {
    check_.stop();
    retry_.stop();
    listen_.stop();
    if (rig_ || (mayBeKeyed_ && open()))
        api_->setPtt(rig_.get(), RIG_VFO_CURR, RIG_PTT_OFF);
    rig_.reset();
    QThread::currentThread()->quit();
}

void RigWorker::attempt() {
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
        fail(wanted.keyed ? translatable("RigWorker", "could not key the transmitter")
                          : translatable("RigWorker", "could not unkey the transmitter"),
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

void RigWorker::followListening() {
    const bool due = listening_ && rig_ && !wanted_.keyed && !mayBeKeyed_;
    if (due == listen_.isActive())
        return;
    // A rig may still show the key-up under way at the first look: that look sets what
    // counts as off.
    heard_.reset();
    due ? listen_.start() : listen_.stop();
}

void RigWorker::listen() {
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

void RigWorker::retryUnkey() {
    if (!wanted_.keyed && mayBeKeyed_)
        retry_.start();
}

void RigWorker::setMayBeKeyed(bool mayBeKeyed) {
    if (std::exchange(mayBeKeyed_, mayBeKeyed) != mayBeKeyed)
        emit mayBeKeyedChanged(mayBeKeyed);
}

bool RigWorker::open() {
    QString problem;
    api_ = hamlib(&problem);
    if (!api_) {
        emit failed(QStringLiteral("%1: %2").arg(deviceName_, problem));
        return false;
    }
    const bool cm108 = target_.kind == RigTarget::Kind::Cm108;
    RigHandle rig(api_->init(cm108 ? RIG_MODEL_DUMMY : target_.model));
    if (!rig) {
        emit failed(translatable("RigWorker", "Could not open %1: Hamlib has no such rig model.")
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
        const QString problem = openProblem(*api_, target_, result, openErrno);
        emit failed(
            target_.isNetwork()
                ? translatable("RigWorker", "Could not connect to %1: %2.")
                      .arg(deviceName_, problem)
                : translatable("RigWorker", "Could not open %1: %2.").arg(deviceName_, problem));
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

void RigWorker::check() {
    ptt_t ptt = RIG_PTT_OFF;
    const int result = api_->getPtt(rig_.get(), RIG_VFO_CURR, &ptt);
    if (result == -RIG_ENAVAIL || result == -RIG_ENIMPL) {
        check_.stop(); // this rig cannot say; its next request will show a failure
        return;
    }
    if (result != RIG_OK)
        fail(translatable("RigWorker", "stopped answering while transmitting"), result);
}

void RigWorker::fail(const Notice& what, int result) {
    check_.stop();
    listen_.stop();
    emit unkeyWriteChanged({});
    rig_.reset();
    emit failed(QStringLiteral("%1: ").arg(deviceName_) + what +
                QStringLiteral(": %1").arg(hamlibError(*api_, result)));
}
