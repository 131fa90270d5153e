#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// A private PulseAudio with a null sink "nul" and a null source "nsrc" at 11025 Hz mono, set up
// as a desktop loads its sinks (rewinds allowed) unless sinkOptions say otherwise. This process's
// ALSA "pulse" PCM reaches it from the next open on.
class PulseServer {
public:
    explicit PulseServer(const QString& sinkOptions = {}) {
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", dir_.path());
        server.setProcessEnvironment(env);
        server.start("pulseaudio",
                     {"-D", "-n", "--exit-idle-time=-1", "--disallow-exit",
                      "--log-target=file:" + dir_.filePath("log"),
                      "--load=module-null-sink sink_name=nul rate=11025 channels=1 " + sinkOptions,
                      "--load=module-null-source source_name=nsrc rate=11025 channels=1",
                      "--load=module-native-protocol-unix"});
        server.waitForFinished(10000);
        const QString socket = dir_.filePath("pulse/native");
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
            QTest::qWait(50);
        QFile pidFile(dir_.filePath("pulse/pid"));
        if (QFile::exists(socket) && pidFile.open(QIODevice::ReadOnly))
            pid_ = pidFile.readAll().trimmed().toLongLong();
        qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());
        for (const char* kind : {"sink", "source"})
            QProcess::execute("pactl", {"-s", socket, QString("set-default-%1").arg(kind),
                                        kind[1] == 'i' ? "nul" : "nsrc"});
    }
    ~PulseServer() {
        resume();
        signal(SIGTERM);
    }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool running() const { return pid_ > 0; }
    void stall() { signal(SIGSTOP); }
    void resume() { signal(SIGCONT); }
    void kill() { signal(SIGKILL); }

private:
    void signal(int sig) {
        if (pid_ > 0)
            ::kill(static_cast<pid_t>(pid_), sig);
        if (sig == SIGKILL || sig == SIGTERM)
            pid_ = 0;
    }

    QTemporaryDir dir_;
    qint64 pid_ = 0;
};
