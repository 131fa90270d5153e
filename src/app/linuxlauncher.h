#pragma once

#include "app/launcher.h"

// Programs through QProcess; documents through the desktop's MIME associations (xdg-utils).
class LinuxLauncher final : public Launcher {
public:
    bool exists(const QString& path) override;
    bool startProgram(const QString& path) override;
    bool openDocument(const QString& path) override;
};
