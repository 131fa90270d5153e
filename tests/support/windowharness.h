#pragma once

#include "app/tavrin.h"
#include "audio/virtualwaveservice.h"
#include "beepcounter.h"
#include "fakedialogs.h"
#include "fakelauncher.h"
#include "recordingportio.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

// A main window on test doubles, in a temporary home directory.
class WindowHarness {
public:
    WindowHarness() : WindowHarness(std::make_unique<VirtualWaveService>()) {}
    // With the given sound cards.
    WindowHarness(std::vector<VirtualWaveService::Device> inputs,
                  std::vector<VirtualWaveService::Device> outputs)
        : WindowHarness(
              std::make_unique<VirtualWaveService>(std::move(inputs), std::move(outputs))) {}

    // Builds the window; files placed in installDir() beforehand are seen by its start-up.
    TTavrin& open() {
        Platform platform;
        platform.home = homePath;
        platform.dialogs = &dialogs;
        platform.launcher = &launcher;
        platform.portIo = &ports;
        platform.beeper = &beeper;
        platform.wave = realWave ? realWave : &wave;
        window = std::make_unique<TTavrin>(platform);
        return *window;
    }

    QString installDir() const { return homePath + QStringLiteral("/Tavrin/"); }

    template <typename T> T* find(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }

    QTemporaryDir home;
    // The home directory the window is given; a test may point it deeper into home.
    QString homePath = home.path();
    FakeDialogs dialogs;
    FakeLauncher launcher;
    RecordingPortIo ports;
    BeepCounter beeper;
    std::unique_ptr<VirtualWaveService> ownWave;
    VirtualWaveService& wave;
    // A real wave service to use instead of the virtual one.
    WaveService* realWave = nullptr;
    std::unique_ptr<TTavrin> window;

private:
    explicit WindowHarness(std::unique_ptr<VirtualWaveService> service)
        : ownWave(std::move(service)), wave(*ownWave) {
        QDir(home.path()).mkpath(QStringLiteral("Tavrin"));
    }
};
