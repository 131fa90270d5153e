#pragma once

#include "app/installpaths.h"
#include "app/platform.h"
#include "app/tavrinui.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"

#include <QMainWindow>

#include <memory>

class Dialogs;
class Keyer;

// The main window: owns the controls, the keyer state and the subsystems, and wires them.
class TTavrin : public QMainWindow {
    Q_OBJECT

public:
    explicit TTavrin(const Platform& platform, QWidget* parent = nullptr);
    ~TTavrin() override;

    const TavrinUi& ui() const { return ui_; }
    KeyerState& keyerState() { return state_; }
    MemorySlots& memories() { return memories_; }
    Keyer& keyer() { return *keyer_; }
    const InstallPaths& paths() const { return paths_; }
    QString configPath() const { return configPath_; }
    QString helpPath() const { return helpPath_; }

    void FormCreate();
    // The way out shared by the close box, File > Exit and the termination signals.
    void shutdown();
    void Exit1Click();
    void Off2Click();
    void On2Click();
    void About1Click();
    void VolumeBtnClick();
    void HelpMenu1Click();
    // Key release anywhere in the window: Escape resets the keyer.
    void KeyUp(int key);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wire();
    void wireIndicators();
    void readConfiguration();
    void writeConfiguration();

    Platform platform_;
    std::unique_ptr<Dialogs> ownDialogs_;
    Dialogs& dialogs_;
    InstallPaths paths_;
    TavrinUi ui_;
    KeyerState state_;
    MemorySlots memories_;
    Keyer* keyer_ = nullptr;
    QString configPath_;
    QString helpPath_;
    bool stayOnTop_ = false;
    bool shutDown_ = false;
};
