#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// What the command line asks for: the keyer itself (on a folder and under a bus name of its
// choosing), or one command to the keyer that already runs, or just help or the version.
struct CommandLine {
    enum class Action {
        None,
        Play,
        PlayFile,
        Say,
        Pause,
        Stop,
        Tune,
        Record,
        Select,
        TxEnable,
        Loop,
        LoopDelay
    };

    QString home;     // --home, else TAVRIN_HOME; empty: "Tavrin" in the user's home
    QString instance; // --instance; empty: the default bus name
    Action action = Action::None;
    int memory = 0;     // for Play, Record and Select
    bool on = false;    // for Tune, TxEnable and Loop
    double seconds = 0; // for LoopDelay; the keyer judges its range
    QString path;       // for PlayFile, made absolute
    QString text;       // for Say
    QString bank;       // --bank: chosen before the command, if any
    // --set NAME=VALUE, in order: fields set in the keyer before the command, if any.
    QList<std::pair<QString, QString>> fields;
    bool status = false;
    // Return once the message played has ended: for a logger that keys the radio around it.
    bool wait = false;
    bool json = false;
    bool help = false;
    bool version = false;
    QString style;    // Qt's -style option, which QApplication takes out of the arguments
    QString error;    // not empty when the command line cannot be used
    QString helpText; // only when an application object exists

    // A client run talks to the keyer that runs and needs no display.
    bool isClient() const {
        return action != Action::None || status || !bank.isEmpty() || !fields.isEmpty();
    }
    bool needsNoWindow() const { return isClient() || help || version || !error.isEmpty(); }

    // arguments include the program name, as QCoreApplication::arguments() gives them;
    // homeVariable is the value of TAVRIN_HOME.
    static CommandLine parse(const QStringList& arguments, const QString& homeVariable);
};

// "tavrin 1.23"
QString versionLine();
