#pragma once

#include "support/dialogs.h"

#include <QPointer>
#include <QWidget>

// Dialogs as real Qt modal dialogs owned by a window.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* owner) : owner_(owner) {}

    void showMessage(const Notice& text, const Notice& title) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override;
    QString openFileName() override;
    QString openFolderName() override;
    bool askYesNo(const QString& text, const QString& title) override;
    QString saveFileName(const QString& title, const QString& filter, QString& fileType) override;

private:
    QPointer<QWidget> owner_;
};
