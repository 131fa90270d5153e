#include "soak.h"

#include "app/remotecontrol.h"
#include "benchwindow.h"
#include "childprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace {

using std::chrono::milliseconds;

const QString SoakInstance = QStringLiteral("soak");
constexpr double MessageSeconds = 1;
constexpr milliseconds LongestStart(20000);
constexpr milliseconds StartPoll(100);
// Before each reading: longer than a device thread takes to close its PCM and the sound server's
// client after STOP, and than Qt keeps an idle thread of its pool (30 s; the painting helpers
// come and go with what was drawn last, one descriptor each).
constexpr milliseconds Settle(35000);
// The child's standard error is read this often, so that its pipe never fills.
constexpr int PlaysPerRead = 100;
constexpr milliseconds ReadSlice(1);
constexpr int CallTimeoutMs = 20000;
constexpr milliseconds LongestClose(10000);

int entries(const std::string& dir) {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error))
        ++count;
    return count;
}

// Calls the method and counts a refusal; the first one's reason goes to standard error.
void call(QDBusConnection& bus, const QString& method, const QVariantList& arguments,
          int& refused) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        remote::serviceName(SoakInstance), remote::kObjectPath, remote::kInterface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus.call(message, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return;
    if (refused++ == 0)
        std::fprintf(stderr, "soak: %s refused: %s\n", qPrintable(method),
                     qPrintable(reply.errorMessage()));
}

} // namespace

SoakFigures soakRemotePlays(const std::string& program, int plays, int firstPlays) {
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Tavrin"));
    QDir().mkpath(folder);
    for (const int slot : {1, 2})
        writeToneFile(QStringLiteral("%1/memory%2.wav").arg(folder).arg(slot), MessageSeconds);
    ChildProcess child({program, "--instance", SoakInstance.toStdString()},
                       {"HOME=" + home.path().toStdString(), "QT_QPA_PLATFORM=offscreen"});
    QDBusConnection bus = QDBusConnection::sessionBus();
    const auto deadline = ChildProcess::Clock::now() + LongestStart;
    while (!bus.interface()->isServiceRegistered(remote::serviceName(SoakInstance))) {
        if (ChildProcess::Clock::now() > deadline)
            throw std::runtime_error("soak: the program did not come onto the session bus");
        child.readFor(StartPoll);
    }
    const std::string proc = "/proc/" + std::to_string(child.pid());
    SoakFigures f;
    const auto read = [&](long& resident, int& fds, int& threads) {
        child.readFor(Settle);
        resident = child.residentKb();
        fds = entries(proc + "/fd");
        threads = entries(proc + "/task");
    };
    for (int play = 1; play <= plays; ++play) {
        call(bus, QStringLiteral("Play"), {play % 2 + 1}, f.refused);
        call(bus, QStringLiteral("Stop"), {}, f.refused);
        if (play % PlaysPerRead == 0)
            child.readFor(ReadSlice);
        if (play == firstPlays)
            read(f.firstResidentKb, f.firstFds, f.firstThreads);
    }
    read(f.lastResidentKb, f.lastFds, f.lastThreads);
    child.signal(SIGTERM);
    child.wait(LongestClose);
    return f;
}
