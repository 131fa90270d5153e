#include "app/qtdialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

void QtDialogs::showMessage(const Notice& text, const Notice& title) {
    QMessageBox box(QMessageBox::NoIcon, title.shown(), text.shown(), QMessageBox::Ok, owner_);
    box.exec();
}

bool QtDialogs::inputQuery(const QString& caption, const QString& prompt, QString& value) {
    bool ok = false;
    const QString entered =
        QInputDialog::getText(owner_, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = entered;
    return ok;
}

QString QtDialogs::openFileName() {
    return QFileDialog::getOpenFileName(owner_);
}

QString QtDialogs::openFolderName() {
    return QFileDialog::getExistingDirectory(owner_);
}

bool QtDialogs::askYesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::saveFileName(const QString& title, const QString& filter, QString& fileType) {
    return QFileDialog::getSaveFileName(owner_, title, QString(), filter, &fileType,
                                        QFileDialog::DontConfirmOverwrite);
}
