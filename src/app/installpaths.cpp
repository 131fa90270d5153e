#include "app/installpaths.h"

#include "keyer/memories.h"

#include <QDir>

InstallPaths::InstallPaths(const QString& home)
    : dir_(QDir(home).absolutePath() + QStringLiteral("/Tavrin/")) {}

InstallPaths InstallPaths::inFolder(const QString& dir) {
    InstallPaths paths;
    paths.dir_ = QDir(dir).absolutePath() + QLatin1Char('/');
    return paths;
}

QString InstallPaths::slotFile(int slot) const {
    return dir_ + MemorySlots::fileName(slot);
}
