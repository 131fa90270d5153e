#pragma once

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <vector>

// A private sound server with a null sink "nul" and a null source "nsrc" at 11025 Hz mono, set up
// as a desktop loads its sinks (rewinds allowed) unless sinkOptions say otherwise. This process's
// ALSA "pulse" PCM reaches it from the next open on. PipeWire answers through its own PulseAudio
// server, as on desktops that keep PulseAudio's ALSA plugin; its session manager needs a bus.
class SoundServer {
public:
    enum class Kind { PulseAudio, PipeWire };

    explicit SoundServer(Kind kind = Kind::PulseAudio, const QString& sinkOptions = {}) {
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env_.insert("XDG_RUNTIME_DIR", dir_.path());
        const QString socket = dir_.filePath("pulse/native");
        if (kind == Kind::PulseAudio) {
            start("pulseaudio",
                  {"-n", "--exit-idle-time=-1", "--disallow-exit",
                   "--load=module-native-protocol-unix"},
                  socket);
        } else if (startBus()) {
            start("pipewire", {}, dir_.filePath("pipewire-0"));
            start("wireplumber", {}, {});
            start("pipewire-pulse", {}, socket);
        }
        QFile pidFile(dir_.filePath("pulse/pid"));
        if (QFile::exists(socket) && pidFile.open(QIODevice::ReadOnly))
            pid_ = pidFile.readAll().trimmed().toLongLong();
        address_ = "unix:" + socket.toUtf8();
        qputenv("PULSE_SERVER", address_);
        const QStringList format{"rate=11025", "channels=1"};
        pactl(QStringList{"load-module", "module-null-sink", "sink_name=nul"} + format +
              sinkOptions.split(' ', Qt::SkipEmptyParts));
        pactl(kind == Kind::PulseAudio
                  ? QStringList{"load-module", "module-null-source", "source_name=nsrc"} + format
                  : QStringList{"load-module", "module-null-sink", "sink_name=nsrc",
                                "media.class=Audio/Source/Virtual"} +
                        format);
        pactl({"set-default-sink", "nul"});
        pactl({"set-default-source", "nsrc"});
    }
    ~SoundServer() {
        resume();
        for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
            (*it)->terminate();
            (*it)->waitForFinished(3000);
        }
    }

    // What is missing to run a server of this kind; empty when it can be started.
    static QString missing(Kind kind) {
        for (const char* program : {"pulseaudio", "pipewire", "wireplumber", "pipewire-pulse"})
            if ((kind == Kind::PulseAudio) == (QLatin1String(program) == "pulseaudio") &&
                QStandardPaths::findExecutable(program).isEmpty())
                return QStringLiteral("%1 is not installed: scripts/deps.sh test installs it")
                    .arg(program);
        return {};
    }
    bool running() const { return pid_ > 0; }
    // Where its clients reach it, as PULSE_SERVER names it.
    const QByteArray& address() const { return address_; }
    void stall() { signal(SIGSTOP); }
    void resume() { signal(SIGCONT); }
    void kill() {
        signal(SIGKILL);
        pid_ = 0;
    }

    QByteArray pactl(const QStringList& arguments) const {
        QProcess p;
        p.start("pactl", QStringList{"-s", dir_.filePath("pulse/native")} + arguments);
        p.waitForFinished();
        return p.readAllStandardOutput();
    }

private:
    bool startBus() {
        QProcess& bus = start("dbus-daemon", {"--session", "--nofork", "--print-address=1"}, {});
        if (!bus.waitForReadyRead(5000))
            return false;
        env_.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus.readLine().trimmed()));
        return true;
    }
    // Waits for the server's socket; a session manager has none of its own to wait for.
    QProcess& start(const QString& program, const QStringList& arguments, const QString& socket) {
        children_.push_back(std::make_unique<QProcess>());
        QProcess& child = *children_.back();
        child.setProcessEnvironment(env_);
        child.setStandardErrorFile(dir_.filePath(program + ".log"));
        child.start(program, arguments);
        child.waitForStarted(5000);
        for (int i = 0; i < 100 && !socket.isEmpty() && !QFile::exists(socket); ++i)
            QTest::qWait(50);
        if (socket.isEmpty() && program != "dbus-daemon")
            QTest::qWait(300);
        return child;
    }
    void signal(int sig) const {
        if (pid_ > 0)
            ::kill(static_cast<pid_t>(pid_), sig);
    }

    QTemporaryDir dir_;
    QByteArray address_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
    std::vector<std::unique_ptr<QProcess>> children_;
    qint64 pid_ = 0;
};
