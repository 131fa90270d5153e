#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class Announcer;
class Dialogs;
class Keyer;
class KeyerState;
class MessageImport;
class QLabel;
class QListWidget;
class QPushButton;

// File > Phrases…: the pieces exchanges are spoken from, one recording per token, each recorded
// with REC's own path, heard on the monitor's card alone, imported or deleted. Every piece is
// stored cut to its sound, so that pieces join without gaps of their own. Nothing is recorded,
// played or replaced while a message plays or records.
class PhrasesDialog final : public QDialog {
    Q_OBJECT

public:
    PhrasesDialog(Keyer& keyer, const KeyerState& state, Dialogs& dialogs, const QString& folder,
                  QWidget* parent);
    ~PhrasesDialog() override;

    QListWidget* const tokens;
    QPushButton* const record;
    QPushButton* const play;
    QPushButton* const importFile;
    QPushButton* const remove;
    QPushButton* const addWord;
    QPushButton* const importFolder;
    QLabel* const status;

    // Lists the tokens again as the folder holds them, the selection kept.
    void refresh();

private:
    struct Queued {
        QString source;
        QString token;
    };

    QString selectedToken() const;
    // Where token's piece is or would be kept.
    QString fileOf(const QString& token) const;
    // Says why nothing is done while a message runs; false when nothing runs.
    bool refusedWhileBusy();
    void recordClicked();
    void playClicked();
    void importClicked();
    void removeClicked();
    void addWordClicked();
    void importFolderClicked();
    void importNext();
    void imported();
    void tell(const QString& text);

    Keyer& keyer_;
    const KeyerState& state_;
    Dialogs& dialogs_;
    QString folder_;
    Announcer* announcer_;
    // Words added here and not yet recorded: the folder does not name them.
    QStringList added_;
    bool recording_ = false;
    std::unique_ptr<MessageImport> import_;
    QList<Queued> queue_;
    QStringList taken_;
    QStringList refused_;
};
