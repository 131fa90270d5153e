#pragma once

#include "support/notice.h"

#include <QString>

// The modal dialogs through which the system talks to the operator. Every failure message of the
// program goes through showMessage, so that tests can assert on text and title.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal box owned by the main window: the text, the title and one OK button, in the
    // operator's language.
    virtual void showMessage(const Notice& text, const Notice& title) = 0;

    // A modal one-line input. value comes in as the preset text and is replaced only on OK.
    // Returns true on OK.
    virtual bool inputQuery(const QString& caption, const QString& prompt, QString& value) = 0;

    // A modal open-file dialog without filter or initial directory. Empty when cancelled.
    virtual QString openFileName() = 0;
    // A modal dialog that chooses a folder. Empty when cancelled.
    virtual QString openFolderName() = 0;

    // A modal question with Yes and No buttons; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& title) = 0;

    // A modal save-file dialog offering the given filter ("WAV files (*.wav);;…"): the name as
    // chosen, and in fileType the filter's entry chosen with it. It asks nothing about a file
    // that is already there: an extension the caller adds may name another. Empty when
    // cancelled.
    virtual QString saveFileName(const QString& title, const QString& filter,
                                 QString& fileType) = 0;
};
