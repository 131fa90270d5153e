#pragma once

#include <QDir>
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
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("XDG_RUNTIME_DIR", dir_.path());
        const QString nullSink =
            "module-null-sink sink_name=nul rate=11025 channels=1 " + sinkOptions;
        const QString socket = dir_.filePath("pulse/native");
        if (kind == Kind::PulseAudio) {
            QProcess server;
            server.setProcessEnvironment(env_);
            server.start("pulseaudio",
                         {"-D", "-n", "--exit-idle-time=-1", "--disallow-exit",
                          "--log-target=file:" + dir_.filePath("log"), "--load=" + nullSink,
                          "--load=module-null-source source_name=nsrc rate=11025 channels=1",
                          "--load=module-native-protocol-unix"});
            server.waitForFinished(10000);
        } else if (startBus()) {
            start("pipewire", dir_.filePath("pipewire-0"));
            start("wireplumber", {});
            start("pipewire-pulse", socket);
        }
        waitFor(socket);
        QFile pidFile(dir_.filePath("pulse/pid"));
        if (QFile::exists(socket) && pidFile.open(QIODevice::ReadOnly))
            pid_ = pidFile.readAll().trimmed().toLongLong();
        qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());
        if (kind == Kind::PipeWire) {
            pactl(QStringList{"load-module"} + nullSink.split(' ', Qt::SkipEmptyParts));
            pactl({"load-module", "module-null-sink", "sink_name=nsrc", "rate=11025", "channels=1",
                   "media.class=Audio/Source/Virtual"});
        }
        pactl({"set-default-sink", "nul"});
        pactl({"set-default-source", "nsrc"});
    }
    ~SoundServer() {
        resume();
        signal(SIGTERM);
        for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
            (*it)->terminate();
            (*it)->waitForFinished(3000);
        }
    }
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    static bool installed(Kind kind) {
        for (const char* program : kind == Kind::PulseAudio
                                       ? std::vector<const char*>{"pulseaudio"}
                                       : std::vector<const char*>{"pipewire", "wireplumber",
                                                                  "pipewire-pulse", "dbus-daemon"})
            if (QStandardPaths::findExecutable(program).isEmpty())
                return false;
        return true;
    }
    bool running() const { return pid_ > 0; }
    void stall() { signal(SIGSTOP); }
    void resume() { signal(SIGCONT); }
    void kill() { signal(SIGKILL); }

private:
    bool startBus() {
        auto& bus = launch("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!bus.waitForReadyRead(5000))
            return false;
        env_.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus.readLine().trimmed()));
        return true;
    }
    void start(const QString& program, const QString& socket) {
        launch(program, {});
        if (!socket.isEmpty())
            waitFor(socket);
        else
            QTest::qWait(300); // the session manager has no socket of its own to wait for
    }
    QProcess& launch(const QString& program, const QStringList& arguments) {
        children_.push_back(std::make_unique<QProcess>());
        QProcess& child = *children_.back();
        child.setProcessEnvironment(env_);
        child.setStandardErrorFile(dir_.filePath(program + ".log"));
        child.start(program, arguments);
        child.waitForStarted(5000);
        return child;
    }
    void waitFor(const QString& socket) const {
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
            QTest::qWait(50);
    }
    void pactl(QStringList arguments) const {
        QProcess::execute("pactl", QStringList{"-s", dir_.filePath("pulse/native")} + arguments);
    }
    void signal(int sig) {
        if (pid_ > 0)
            ::kill(static_cast<pid_t>(pid_), sig);
        if (sig == SIGKILL || sig == SIGTERM)
            pid_ = 0;
    }

    QTemporaryDir dir_;
    QProcessEnvironment env_;
    std::vector<std::unique_ptr<QProcess>> children_;
    qint64 pid_ = 0;
};
