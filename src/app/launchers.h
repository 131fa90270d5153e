#pragma once

#include <QString>

#include <array>

class Dialogs;
class Launcher;

// The volume mixers "Set Volume" starts: every one of them that is installed, in this order.
inline const std::array<QString, 4> kMixerPrograms{
    QStringLiteral("/usr/bin/pavucontrol"),
    QStringLiteral("/usr/bin/pavucontrol-qt"),
    QStringLiteral("/usr/bin/pwvucontrol"),
    QStringLiteral("/usr/bin/qasmixer"),
};

// "Set Volume": starts each installed mixer; with none installed, says which it looked for.
void launchMixers(Launcher& launcher, Dialogs& dialogs);

// "Help Menu": opens the help file found at start-up (empty when there was none), else the
// manual installed with the program (empty when its place is unknown).
void openHelp(Launcher& launcher, Dialogs& dialogs, const QString& helpPath,
              const QString& manualPath);
