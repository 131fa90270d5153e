#pragma once

#include <QObject>
#include <QString>

#include <memory>

struct MainWindowUi;
class PhrasesDialog;
class QProgressDialog;
class QWidget;
class Station;

// The File menu's messages: a wave file opened or saved, any sound file imported into the
// selected memory, the memory's template, and the phrases exchanges are spoken from. Nothing
// here replaces a file a recording or playback holds.
class FileMenu final : public QObject {
    Q_OBJECT

public:
    // Its boxes and dialogs are shown over window.
    FileMenu(Station& station, const MainWindowUi& ui, QWidget& window);
    ~FileMenu() override;

    void openMessage();
    void saveMessageAs();
    // Any sound file becomes the selected memory's message.
    void importMessage();
    // The selected memory spoken from the phrases and fields instead of its recording; empty
    // text plays the recording again.
    void editTemplate();
    void showPhrases();
    // The station is done with an import, or abandoned it: its progress goes.
    void endImportProgress();

signals:
    // What the status line says after a template was edited.
    void told(const QString& text);
    // A memory became a template or its recording again.
    void templatesChanged();

private:
    Station& station_;
    const MainWindowUi& ui_;
    QWidget& window_;
    std::unique_ptr<QProgressDialog> importProgress_;
    PhrasesDialog* phrases_ = nullptr;
};
