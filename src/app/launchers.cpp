#include "app/launchers.h"

#include "app/launcher.h"
#include "support/dialogs.h"

#include <QCoreApplication>

void launchMixers(Launcher& launcher) {
    for (const QString& mixer : kMixerPrograms) {
        if (launcher.exists(mixer))
            launcher.startProgram(mixer);
    }
}

void openHelp(Launcher& launcher, Dialogs& dialogs, const QString& helpPath) {
    if (!helpPath.isEmpty() && launcher.openDocument(helpPath))
        return;
    dialogs.showMessage(QStringLiteral("Could not run the help application"),
                        QCoreApplication::applicationName());
}
