#include "app/installpaths.h"
#include "app/linuxlauncher.h"
#include "app/platform.h"
#include "app/tavrin.h"
#include "audio/alsawaveservice.h"
#include "tx/linuxportio.h"
#include "tx/qtbeeper.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStyleFactory>

#include <exception>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    // No display name: Qt would append it to every box's title, and the titles are exact.
    // One look on every desktop: the caption colours are part of what the window tells.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    try {
        Platform platform;
        platform.home = QDir::homePath();
        platform.programDir = QCoreApplication::applicationDirPath();
        LinuxLauncher launcher;
        platform.launcher = &launcher;
        LinuxPortIo ports(InstallPaths(platform.home).dir());
        platform.portIo = &ports;
        QtBeeper beeper;
        platform.beeper = &beeper;
        AlsaWaveService wave;
        platform.wave = &wave;
        TTavrin window(platform);
        if (window.startAbandoned())
            return 0;
        window.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Tavrin"), QString::fromLocal8Bit(e.what()));
        return 0;
    }
}
