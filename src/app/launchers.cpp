#include "app/launchers.h"

#include "app/launcher.h"
#include "support/dialogs.h"

#include <QCoreApplication>
#include <QStringList>

void launchMixers(Launcher& launcher, Dialogs& dialogs) {
    bool installed = false;
    for (const QString& mixer : kMixerPrograms) {
        if (launcher.exists(mixer)) {
            installed = true;
            launcher.startProgram(mixer);
        }
    }
    if (installed)
        return;
    QStringList lookedFor;
    for (const QString& mixer : kMixerPrograms)
        lookedFor << mixer;
    dialogs.showMessage(QCoreApplication::translate(
                            "MainWindow", "No volume mixer is installed. Tavrin looks for %1.\n"
                                       "Install one of them, or set the levels with alsamixer.")
                            .arg(lookedFor.join(QStringLiteral(", "))),
                        QCoreApplication::applicationName());
}

void openHelp(Launcher& launcher, Dialogs& dialogs, const QString& helpPath,
              const QString& manualPath) {
    if (!helpPath.isEmpty() && launcher.openDocument(helpPath))
        return;
    if (!manualPath.isEmpty() && launcher.exists(manualPath) && launcher.openDocument(manualPath))
        return;
    dialogs.showMessage(
        QCoreApplication::translate("MainWindow", "Could not run the help application"),
        QCoreApplication::applicationName());
}
