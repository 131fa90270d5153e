#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Hamlib's dummy rig behind a rigctld of the test's own, on a free local port. What the rig's PTT
// is, is read back through a second connection.
class Rigctld {
public:
    static bool available() { return !QStandardPaths::findExecutable("rigctld").isEmpty(); }

    // A daemon of its own on a free port or, given a port, the one another test process started.
    explicit Rigctld(quint16 port = 0) : port_(port ? port : freePort()) {
        if (!port)
            daemon_.start("rigctld", {"-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t",
                                      QString::number(port_)});
        ready_ = QTest::qWaitFor([this] { return ptt() >= 0; }, 10000);
    }
    ~Rigctld() { stop(); }
    bool ready() const { return ready_; }

    quint16 port() const { return port_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // 1 keyed, 0 unkeyed, -1 when the rig does not answer.
    int ptt() const { return rigctl({"t"}).value(0, -1); }
    bool key(bool keyed) { return rigctl({"T", keyed ? "1" : "0"}).value(0, -1) != -1; }
    void stop() {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    // Stopped, the daemon still takes connections (the kernel does) and answers none of them.
    void pause(bool paused) { ::kill(pid_t(daemon_.processId()), paused ? SIGSTOP : SIGCONT); }

private:
    static quint16 freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(fd);
        return ntohs(address.sin_port);
    }
    // The numbers rigctl printed, or nothing when it failed.
    QList<int> rigctl(const QStringList& command) const {
        QProcess client;
        client.start("rigctl", QStringList{"-m", "2", "-r", address()} + command);
        if (!client.waitForFinished(5000) || client.exitCode() != 0)
            return {};
        QList<int> numbers;
        const QByteArray out = client.readAllStandardOutput().trimmed();
        for (const QByteArray& line : out.split('\n'))
            numbers << line.toInt();
        return out.isEmpty() ? QList<int>{0} : numbers;
    }

    quint16 port_;
    bool ready_ = false;
    QProcess daemon_;
};
