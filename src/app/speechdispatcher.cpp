#include "app/speechdispatcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

const QString kA11yService = QStringLiteral("org.a11y.Bus");
const QString kA11yPath = QStringLiteral("/org/a11y/bus");
const QString kA11yStatus = QStringLiteral("org.a11y.Status");
const QString kReaderProperty = QStringLiteral("ScreenReaderEnabled");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// Lines said after a stalled client are stale; only the newest wait.
constexpr int kMostWaiting = 4;
// A client that has not handed its line over by then is stuck on the speech server.
constexpr std::chrono::seconds kClientLimit{5};

// Orca started by hand, or by a desktop that does not announce it, runs as a process of ours
// named for its script. One that has ended and waits for its parent to reap it speaks no more.
bool orcaRuns() {
    const QString mine = QString::number(::getuid());
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!pid.front().isDigit())
            continue;
        // "PID (NAME) STATE ...": Z is a zombie.
        QFile stat(proc.filePath(pid + QStringLiteral("/stat")));
        const QByteArray named = pid.toLatin1() + " (orca) ";
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        if (line.startsWith(named) && !line.mid(named.size()).startsWith('Z') &&
            QString::number(QFileInfo(proc.filePath(pid)).ownerId()) == mine)
            return true;
    }
    return false;
}

} // namespace

SpeechDispatcher::SpeechDispatcher(QString client, QObject* parent)
    : QObject(parent), client_(std::move(client)) {
    running_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    running_.setStandardOutputFile(QProcess::nullDevice());
    connect(&running_, &QProcess::finished, this, &SpeechDispatcher::sayNext);
    connect(&running_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            waiting_.clear(); // no speech-dispatcher client installed
    });
    giveUp_.setSingleShot(true);
    giveUp_.setInterval(kClientLimit);
    connect(&giveUp_, &QTimer::timeout, &running_, &QProcess::kill);

    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(kA11yService, kA11yPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(desktopChanged(QString, QVariantMap, QStringList)));
    QDBusMessage ask =
        QDBusMessage::createMethodCall(kA11yService, kA11yPath, kProperties, QStringLiteral("Get"));
    ask << kA11yStatus << kReaderProperty;
    bus.callWithCallback(ask, this, SLOT(desktopAnswered(QDBusVariant)));
}

SpeechDispatcher::~SpeechDispatcher() {
    // A client still running is ended here, and its end must not start the next line.
    running_.disconnect(this);
    running_.kill();
    running_.waitForFinished();
}

void SpeechDispatcher::say(const QString& line) {
    if (screenReaderRunning())
        return;
    waiting_ << line;
    if (waiting_.size() > kMostWaiting)
        waiting_.removeFirst();
    if (running_.state() == QProcess::NotRunning)
        sayNext();
}

bool SpeechDispatcher::screenReaderRunning() const {
    return desktopSaysRunning_ || orcaRuns();
}

void SpeechDispatcher::desktopChanged(const QString& interface, const QVariantMap& changed,
                                      const QStringList& invalidated) {
    Q_UNUSED(invalidated);
    if (interface == kA11yStatus && changed.contains(kReaderProperty))
        desktopSaysRunning_ = changed.value(kReaderProperty).toBool();
}

void SpeechDispatcher::desktopAnswered(const QDBusVariant& enabled) {
    desktopSaysRunning_ = enabled.variant().toBool();
}

void SpeechDispatcher::sayNext() {
    giveUp_.stop();
    if (waiting_.isEmpty() || running_.state() != QProcess::NotRunning)
        return;
    running_.start(client_, {QStringLiteral("--application-name"), QStringLiteral("Tavrin"),
                             QStringLiteral("--priority"), QStringLiteral("message"),
                             QStringLiteral("--"), waiting_.takeFirst()});
    giveUp_.start();
}
