#pragma once

#include "app/launcher.h"
#include "app/mainwindow.h"
#include "app/speech.h"
#include "app/station.h"
#include "fakedialogs.h"
#include "messagewait.h"
#include "recordingportio.h"
#include "tx/beeper.h"
#include "virtualwaveservice.h"
#include "wavebytes.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <memory>

inline constexpr int kBlock = kWaveBufferBytes;
using Dir = WaveService::Direction;
using Op = VirtualWaveService::Op;
// The primary printer port's line under normal polarity.
inline const QString kKeyed = QStringLiteral("out 0x378 0x03");
inline const QString kUnkeyed = QStringLiteral("out 0x378 0x00");

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
    QStringList started, opened;
};

// Counts the bell instead of sounding it.
class BeepCounter final : public Beeper {
public:
    void beep() override { ++count; }
    int count = 0;
};

// Keeps the lines said aloud.
class SpeechRecorder final : public Speech {
public:
    void say(const QString& line) override { lines << line; }
    QStringList lines;
};

// A main window on test doubles, in a temporary home directory.
class WindowHarness {
public:
    explicit WindowHarness(std::vector<VirtualWaveService::Device> inputs = {{"Virtual input"}},
                           std::vector<VirtualWaveService::Device> outputs = {{"Virtual output"}})
        : wave(std::move(inputs), std::move(outputs)) {
        QDir(home.path()).mkpath(QStringLiteral("Tavrin"));
    }

    // Builds the window; files placed in installDir() beforehand are seen by its start-up.
    MainWindow& open() {
        window = std::make_unique<MainWindow>(platform());
        return *window;
    }
    // The doubles, and this home folder, as the program's outside world.
    Platform platform() {
        Platform platform;
        platform.home = homePath;
        platform.programDir = programDir;
        platform.dialogs = &dialogs;
        platform.launcher = &launcher;
        platform.portIo = realPorts ? realPorts : &ports;
        platform.beeper = &beeper;
        platform.speech = &speech;
        platform.wave = realWave ? realWave : &wave;
        platform.devRoot = devRoot;
        return platform;
    }
    // Shown, keying the primary printer port, Tx Enable on unless told otherwise.
    MainWindow& openKeying(bool txEnable = true) {
        open().show();
        window->ui().lpt1Item->trigger();
        if (txEnable)
            QTest::mouseClick(window->ui().txEnableButton, Qt::LeftButton);
        return *window;
    }
    // Whether the printer port's line is keyed now, and whether it ever was.
    bool keyed() const { return ports.events().value(ports.events().size() - 1) == kKeyed; }
    bool everKeyed() const { return ports.events().contains(kKeyed); }

    QString installDir() const { return homePath + QStringLiteral("/Tavrin/"); }
    QString slotPath(int slot) const {
        return installDir() + QStringLiteral("memory%1.wav").arg(slot);
    }
    // A recorded message of the given samples in a slot's file, of the first bank or of the one
    // in folder.
    void writeMessage(int slot, const QByteArray& samples, const QString& folder = {}) const {
        WaveBytes message;
        message.samples = samples;
        const QString dir = folder.isEmpty() ? installDir() : installDir() + "banks/" + folder;
        QDir().mkpath(dir);
        writeBytes(QDir(dir).filePath(MemorySlots::fileName(slot)), message.bytes());
    }

    QTemporaryDir home;
    // The home directory the window is given; a test may point it deeper into home.
    QString homePath = home.path();
    // Where the program is taken to lie; empty for none.
    QString programDir;
    // Where the window looks for USB serial ports (none unless a test puts some there).
    QString devRoot = home.filePath(QStringLiteral("dev"));
    FakeDialogs dialogs;
    FakeLauncher launcher;
    RecordingPortIo ports;
    PortIo* realPorts = nullptr; // the ports to use instead of the recording ones
    BeepCounter beeper;
    SpeechRecorder speech;
    VirtualWaveService wave;
    // A real wave service to use instead of the virtual one.
    WaveService* realWave = nullptr;
    std::unique_ptr<MainWindow> window;
};

// A click as the operator makes it; a message it starts has ended when it returns.
inline void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
    if (auto* window = qobject_cast<MainWindow*>(button->window()))
        untilMessageEnds(*window);
}
// A menu command as the operator reaches it: through the menu bar and the submenus it opens.
inline QAction* item(MainWindow& w, const char* name) {
    QList<QAction*> reached = w.menuBar()->actions();
    for (int i = 0; i < reached.size(); ++i) {
        if (reached[i]->objectName() == QLatin1String(name))
            return reached[i];
        if (QMenu* menu = reached[i]->menu())
            reached += menu->actions();
    }
    qFatal("no menu command %s under the menu bar", name);
}
// A way to end or start a message: a button ("pause" is PLAY), Escape, close box, File > Exit.
inline void press(MainWindow& w, const QString& what) {
    if (what == "Escape")
        QTest::keyRelease(w.ui().noteEditor, Qt::Key_Escape);
    else if (what == "close box")
        w.close();
    else if (what == "File > Exit")
        w.ui().exitItem->trigger();
    else
        click(what == "STOP"                      ? w.ui().stopButton
              : what == "RST"                     ? w.ui().resetButton
              : what == "REC"                     ? w.ui().recordButton
              : what == "PLAY" || what == "pause" ? w.ui().playButton
                                                  : nullptr); // a misspelt way fails
}

// Distinct samples, so that any lost, repeated or reordered byte shows.
inline QByteArray pattern(int bytes, int seed = 0) {
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>((i * 7 + seed + i / 251) & 0xFF);
    return data;
}

// A table's columns, a name for each type, on one line.
template <typename... T, typename... Name> void columns(Name... names) {
    (QTest::addColumn<T>(names), ...);
}
