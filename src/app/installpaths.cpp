#include "app/installpaths.h"

#include "keyer/memories.h"

#include <QDir>

InstallPaths::InstallPaths(const QString& home)
    : dir_(QDir(home).absolutePath() + QStringLiteral("/Tavrin/")) {}

QString InstallPaths::manualFile(const QString& programDir) {
    // The build system states where the manual lies relative to the executable's directory.
    return QDir::cleanPath(programDir + QStringLiteral("/" TAVRIN_MANUAL_FROM_PROGRAM));
}

InstallPaths InstallPaths::inFolder(const QString& dir) {
    InstallPaths paths;
    paths.dir_ = QDir(dir).absolutePath() + QLatin1Char('/');
    return paths;
}

QString InstallPaths::slotFile(int slot) const {
    return dir_ + MemorySlots::fileName(slot);
}
