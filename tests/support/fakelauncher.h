#pragma once

#include "app/launcher.h"

#include <QSet>
#include <QStringList>

// Pretends that some files exist and records what would have been started.
class FakeLauncher final : public Launcher {
public:
    bool exists(const QString& path) override { return existing.contains(path); }
    bool startProgram(const QString& path) override {
        started << path;
        return true;
    }
    bool openDocument(const QString& path) override {
        opened << path;
        return viewerAvailable;
    }

    QSet<QString> existing;
    bool viewerAvailable = true;
    QStringList started;
    QStringList opened;
};
