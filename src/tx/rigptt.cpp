#include "tx/rigptt.h"

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
    qRegisterMetaType<Notice>();
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
    if (target_.isNetwork())
        return QStringLiteral("rigctld at %1").arg(target_.device);
    if (target_.device.isEmpty())
        return QStringLiteral("Hamlib rig model %1 with no port named").arg(target_.model);
    return QStringLiteral("Hamlib rig model %1 on %2").arg(target_.model).arg(target_.device);
}

void RigPtt::onConfirmed(int sequence, bool keyed) {
    if (sequence == sequence_)
        emit pttConfirmed(keyed);
}
