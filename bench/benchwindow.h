#pragma once

#include "app/linuxlauncher.h"
#include "app/platform.h"
#include "audio/alsawaveservice.h"
#include "support/dialogs.h"
#include "timedwaveservice.h"
#include "tx/linuxportio.h"
#include "tx/qtbeeper.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QAbstractButton;
class QAction;
class MainWindow;

// Writes a message of a steady tone, as a recording would hold it.
void writeToneFile(const QString& path, double seconds);

// Message boxes are written to standard error and kept, so that a failure shows in the results
// instead of stopping the run; the input query answers with a preset text.
class BenchDialogs final : public Dialogs {
public:
    void showMessage(const Notice& text, const Notice& title) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override;
    QString openFileName() override { return {}; }
    QString openFolderName() override { return {}; }
    bool askYesNo(const QString&, const QString&) override { return false; }
    QString saveFileName(const QString&, const QString&, QString&) override { return {}; }

    QString answer;
    QStringList messages;
};

// The desktop's bell, counted.
class CountingBeeper final : public Beeper {
public:
    void beep() override {
        ++count;
        bell_.beep();
    }
    int count = 0;

private:
    QtBeeper bell_;
};

// The Linux services the program builds for its window, in a temporary home, with message boxes
// and the bell of the benchmark.
struct BenchServices {
    BenchServices();
    // The platform for a window with these services and the given sound cards.
    Platform platform(WaveService& wave);

    QTemporaryDir home;
    BenchDialogs dialogs;
    CountingBeeper beeper;
    LinuxLauncher launcher;
    LinuxPortIo ports;
};

// The main window on the real Linux services; its sound cards are the machine's ALSA devices, or
// the given device (the virtual one), seen through TimedWaveService.
class BenchWindow {
public:
    explicit BenchWindow(WaveService* device = nullptr);
    ~BenchWindow();

    MainWindow& window() { return *window_; }
    TimedWaveService& wave() { return timed_; }
    AlsaWaveService& alsa() { return alsa_; }
    BenchDialogs& dialogs() { return services_.dialogs; }
    CountingBeeper& beeper() { return services_.beeper; }

    // Writes a message of a steady tone into a memory slot's file.
    void writeMessage(int slot, double seconds);
    // A left click on the button; returns when the message it started, if any, has ended.
    static void click(QAbstractButton* button);
    void selectMemory(int slot);
    // ID > Set with the period, then ID > Enable > ON or OFF.
    void setIdAlarm(bool on, int seconds);

private:
    BenchServices services_;
    AlsaWaveService alsa_;
    TimedWaveService timed_;
    std::unique_ptr<MainWindow> window_;
};

// Builds the main window with the real services in a temporary home, shows it and waits for its
// first paint. Milliseconds from the start of the construction to that paint.
double constructAndShowWindowMs();

// Process CPU time (user + system, every thread) in seconds.
double processCpuSeconds();
