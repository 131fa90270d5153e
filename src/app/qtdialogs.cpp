#include "app/qtdialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

void QtDialogs::showMessage(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner_);
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

bool QtDialogs::askYesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::saveFileName(const QString& title, const QString& filter) {
    QString chosenFilter;
    QString path = QFileDialog::getSaveFileName(owner_, title, QString(), filter, &chosenFilter);
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    // "FLAC files (*.flac)": the extension between "*" and ")".
    const qsizetype star = chosenFilter.indexOf(QLatin1String("(*"));
    const qsizetype close = chosenFilter.indexOf(QLatin1Char(')'), star);
    if (star >= 0 && close > star)
        path += chosenFilter.mid(star + 2, close - star - 2);
    return path;
}
