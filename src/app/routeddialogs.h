#pragma once

#include "support/dialogs.h"

#include <QString>

#include <functional>
#include <utility>

// The window's dialogs, with the failures of a remote command kept from the screen. After a
// command from the bus or the command line, and until the operator next presses a key or a mouse
// button in Tavrin, a failure box would take the keyboard from the logger the operator types
// into: its text goes to the status line and back to the command's caller instead.
class RoutedDialogs final : public Dialogs {
public:
    RoutedDialogs(Dialogs& boxes, std::function<void(const QString&)> showQuietly)
        : boxes_(boxes), showQuietly_(std::move(showQuietly)) {}

    // A remote command is about to run: failures from now on are kept from the screen.
    void remoteCommandStarts() {
        remote_ = true;
        failure_.clear();
    }
    void operatorActs() { remote_ = false; }
    // The first failure kept since the remote command started.
    const QString& failure() const { return failure_; }
    QString takeFailure() { return std::exchange(failure_, QString()); }

    void showMessage(const Notice& text, const Notice& title) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override {
        return boxes_.inputQuery(caption, prompt, value);
    }
    QString openFileName() override { return boxes_.openFileName(); }
    QString openFolderName() override { return boxes_.openFolderName(); }
    bool askYesNo(const QString& text, const QString& title) override {
        return boxes_.askYesNo(text, title);
    }
    QString saveFileName(const QString& title, const QString& filter, QString& fileType) override {
        return boxes_.saveFileName(title, filter, fileType);
    }

private:
    Dialogs& boxes_;
    std::function<void(const QString&)> showQuietly_;
    bool remote_ = false;
    QString failure_;
};
