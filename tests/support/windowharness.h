#pragma once

#include "app/tavrin.h"
#include "beepcounter.h"
#include "fakedialogs.h"
#include "fakelauncher.h"
#include "recordingportio.h"
#include "virtualwaveservice.h"
#include "wavebytes.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

inline constexpr int kBlock = kWaveBufferBytes;
using Dir = WaveService::Direction;
using Op = VirtualWaveService::Op;

// A main window on test doubles, in a temporary home directory.
class WindowHarness {
public:
    explicit WindowHarness(std::vector<VirtualWaveService::Device> inputs = {{"Virtual input"}},
                           std::vector<VirtualWaveService::Device> outputs = {{"Virtual output"}})
        : wave(std::move(inputs), std::move(outputs)) {
        QDir(home.path()).mkpath(QStringLiteral("Tavrin"));
    }

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
    QString slotPath(int slot) const {
        return installDir() + QStringLiteral("memory%1.wav").arg(slot);
    }
    // A recorded message of the given samples in a slot's file.
    void writeMessage(int slot, const QByteArray& samples) const {
        WaveBytes message;
        message.samples = samples;
        writeBytes(slotPath(slot), message.bytes());
    }

    QTemporaryDir home;
    // The home directory the window is given; a test may point it deeper into home.
    QString homePath = home.path();
    FakeDialogs dialogs;
    FakeLauncher launcher;
    RecordingPortIo ports;
    BeepCounter beeper;
    VirtualWaveService wave;
    // A real wave service to use instead of the virtual one.
    WaveService* realWave = nullptr;
    std::unique_ptr<TTavrin> window;
};

inline void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// Distinct samples, so that any lost, repeated or reordered byte shows.
inline QByteArray pattern(int bytes, int seed = 0) {
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>((i * 7 + seed + i / 251) & 0xFF);
    return data;
}
