#pragma once

#include <QObject>
#include <QString>

class MemorySlots;
class QTextEdit;

// The note box (the message window) between the operator and the stored notes. A note shown and
// not edited keeps its stored bytes, whatever encoding an older file gave them; an edited note is
// stored as UTF-8, and the box refuses, as it is typed or pasted, what its entry cannot hold.
class NoteBox : public QObject {
    Q_OBJECT

public:
    NoteBox(QTextEdit& box, MemorySlots& memories, QObject* parent);

    // The note as it stands in the box, saved or not.
    QString text() const;

    void show(int slot);
    // Stores the box's text under slot when the operator edited it since it was shown.
    void save(int slot);

signals:
    void textChanged();

private:
    bool edited() const;
    void limit(int position, int added);

    QTextEdit& box_;
    MemorySlots& memories_;
    QString shown_;
    bool showing_ = false;
};
