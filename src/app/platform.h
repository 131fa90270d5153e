#pragma once

#include <QString>

class Dialogs;
class Launcher;

// The platform services the window works through. main() fills it with the real Linux ones;
// tests fill it with doubles. Pointers are not owned; a null Dialogs means real modal dialogs
// owned by the window.
struct Platform {
    QString home; // the user's home directory; the installation directory lies below it
    Dialogs* dialogs = nullptr;
    Launcher* launcher = nullptr;
};
