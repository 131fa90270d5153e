#include "app/commandline.h"
#include "app/installpaths.h"
#include "app/instancelock.h"
#include "app/linuxlauncher.h"
#include "app/look.h"
#include "app/mainwindow.h"
#include "app/platform.h"
#include "app/remoteclient.h"
#include "app/remotecontrol.h"
#include "app/speechdispatcher.h"
#include "app/translations.h"
#include "audio/alsawaveservice.h"
#include "tx/linuxportio.h"
#include "tx/qtbeeper.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <QTextStream>

#include <exception>

namespace {

const QString kTitle = QStringLiteral("Tavrin");
constexpr int kUsageExit = static_cast<int>(ClientExit::Usage);
constexpr int kRefusedExit = 1;

QStringList arguments(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

void tell(const QString& text) {
    QTextStream(stderr) << "tavrin: " << text << Qt::endl;
}

// Help, the version, a bad command line or a command to the running keyer: no window, and so
// no display, is needed.
int runWithoutWindow(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrin"));
    const CommandLine line =
        CommandLine::parse(QCoreApplication::arguments(), qEnvironmentVariable("TAVRIN_HOME"));
    if (!line.error.isEmpty()) {
        tell(line.error + QStringLiteral("\nSee tavrin --help."));
        return kUsageExit;
    }
    if (line.help) {
        QTextStream(stdout) << line.helpText;
        return 0;
    }
    if (line.version) {
        QTextStream(stdout) << versionLine() << Qt::endl;
        return 0;
    }
    return static_cast<int>(runClient(line));
}

// Nobody can answer a box on a platform that shows nothing.
bool boxesCanBeSeen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

int main(int argc, char** argv) {
    const CommandLine given = CommandLine::parse(arguments(argc, argv), {});
    if (given.needsNoWindow())
        return runWithoutWindow(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(kTitle);
    installTranslations(app, QLocale::system());
    // No display name: Qt would append it to every box's title, and the titles are exact.
    QApplication::setStyle(look::createStyle(given.style));
    // Qt has taken its own options out of the arguments by now.
    const CommandLine line =
        CommandLine::parse(QApplication::arguments(), qEnvironmentVariable("TAVRIN_HOME"));
    if (!line.error.isEmpty()) {
        tell(line.error);
        return kUsageExit;
    }
    try {
        Platform platform;
        platform.home = QDir::homePath();
        platform.programDir = QCoreApplication::applicationDirPath();
        platform.folder = line.home;
        const InstallPaths paths =
            line.home.isEmpty() ? InstallPaths(platform.home) : InstallPaths::inFolder(line.home);
        // Held until the program ends: a second keyer on this folder would overwrite this
        // one's configuration and messages. A folder that cannot be locked cannot keep one out.
        const InstanceLock lock(paths.dir());
        if (lock.result() != InstanceLock::Result::Held) {
            tell(lock.message());
            if (boxesCanBeSeen())
                QMessageBox::critical(nullptr, kTitle, lock.message());
            return kRefusedExit;
        }
        LinuxLauncher launcher;
        platform.launcher = &launcher;
        LinuxPortIo ports(paths.dir());
        platform.portIo = &ports;
        QtBeeper beeper;
        platform.beeper = &beeper;
        AlsaWaveService wave;
        platform.wave = &wave;
        SpeechDispatcher speech;
        platform.speech = &speech;
        MainWindow window(platform);
        if (window.startAbandoned())
            return 0;
        auto* remote = new RemoteControl(window.station(), window.noteBox());
        QString why;
        if (!remote->publish(QDBusConnection::sessionBus(), remote::serviceName(line.instance),
                             why))
            tell(QStringLiteral("remote control is off: %1").arg(why));
        window.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, kTitle, QString::fromLocal8Bit(e.what()));
        return 0;
    }
}
