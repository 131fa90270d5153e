#include "benchwindow.h"

#include "app/installpaths.h"
#include "app/mainwindow.h"
#include "app/station.h"
#include "keyer/messagefile.h"
#include "messagewait.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr double ToneHz = 600;
constexpr double ToneAmplitude = 8000;
constexpr double Pi = 3.14159265358979323846;
constexpr int LongestPaintWaitMs = 5000;

struct StdioCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Notes the first paint of the watched widget.
class PaintWatcher final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

double toSeconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

} // namespace

void BenchDialogs::showMessage(const Notice& text, const Notice& title) {
    std::fprintf(stderr, "message box: %s: %s\n", qPrintable(title.source()),
                 qPrintable(text.source()));
    messages << title.source() + QStringLiteral(": ") + text.source();
}

bool BenchDialogs::inputQuery(const QString&, const QString&, QString& value) {
    value = answer;
    return true;
}

BenchServices::BenchServices() : ports(InstallPaths(home.path()).dir()) {}

Platform BenchServices::platform(WaveService& wave) {
    Platform p;
    p.home = home.path();
    p.dialogs = &dialogs;
    p.launcher = &launcher;
    p.portIo = &ports;
    p.beeper = &beeper;
    p.wave = &wave;
    return p;
}

BenchWindow::BenchWindow(WaveService* device)
    : timed_(device ? *device : alsa_),
      window_(std::make_unique<MainWindow>(services_.platform(timed_))) {
    window_->show();
}

BenchWindow::~BenchWindow() = default;

void writeToneFile(const QString& path, double seconds) {
    std::unique_ptr<std::FILE, StdioCloser> file(std::fopen(qPrintable(path), "wb"));
    const auto samples = static_cast<std::size_t>(seconds * kMessageFormat.samplesPerSecond);
    std::vector<std::int16_t> data(samples);
    for (std::size_t i = 0; i < samples; ++i)
        data[i] = static_cast<std::int16_t>(
            std::lround(ToneAmplitude * std::sin(2 * Pi * ToneHz * static_cast<double>(i) /
                                                 kMessageFormat.samplesPerSecond)));
    const auto bytes = static_cast<std::uint32_t>(samples * sizeof(std::int16_t));
    // The samples are little-endian on this machine, as the file wants them.
    if (!file || !writeMessageHeader(file.get(), kMessageFormat, bytes) ||
        std::fwrite(data.data(), 1, bytes, file.get()) != bytes)
        throw std::runtime_error("cannot write " + path.toStdString());
}

void BenchWindow::writeMessage(int slot, double seconds) {
    writeToneFile(window_->station().paths().slotFile(slot), seconds);
}

void BenchWindow::click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
    if (auto* window = qobject_cast<MainWindow*>(button->window()))
        untilMessageEnds(*window);
}

void BenchWindow::selectMemory(int slot) {
    click(window_->ui().memoryButtons.at(static_cast<std::size_t>(slot - 1)));
}

void BenchWindow::setIdAlarm(bool on, int seconds) {
    services_.dialogs.answer = QString::number(seconds);
    window_->ui().idSetItem->trigger();
    (on ? window_->ui().idOnItem : window_->ui().idOffItem)->trigger();
}

double constructAndShowWindowMs() {
    BenchServices services;
    QElapsedTimer clock;
    clock.start();
    // As the program does: the sound cards are looked up, then the window is built.
    AlsaWaveService wave;
    MainWindow window(services.platform(wave));
    PaintWatcher watcher;
    window.installEventFilter(&watcher);
    window.show();
    while (!watcher.painted && clock.elapsed() < LongestPaintWaitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    window.removeEventFilter(&watcher);
    return watcher.painted ? ms : -1;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}
