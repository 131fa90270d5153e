#pragma once

#include <QString>

class Beeper;
class Dialogs;
class Launcher;
class PortIo;
class Speech;
class WaveService;

// The platform services the window works through. main() fills it with the real Linux ones;
// tests fill it with doubles. Pointers are not owned; a null Dialogs means real modal dialogs
// owned by the window.
struct Platform {
    QString home;       // the user's home directory; the installation directory lies below it
    QString folder;     // the installation directory itself when chosen; empty: "Tavrin" in home
    QString programDir; // the executable's directory; the installed manual is found from it
    Dialogs* dialogs = nullptr;
    Launcher* launcher = nullptr;
    PortIo* portIo = nullptr;                 // the keying ports
    Beeper* beeper = nullptr;                 // the ID alarm's bell
    WaveService* wave = nullptr;              // the sound cards
    Speech* speech = nullptr;                 // lines said aloud when the operator asks; none
    QString devRoot = QStringLiteral("/dev"); // where the USB serial ports are looked for
};
