#include "app/installpaths.h"

#include "keyer/memories.h"

#include <QDir>

InstallPaths::InstallPaths(const QString& home)
    : dir_(QDir(home).absolutePath() + QStringLiteral("/Tavrin/")) {}

QString InstallPaths::slotFile(int slot) const {
    return dir_ + MemorySlots::fileName(slot);
}
