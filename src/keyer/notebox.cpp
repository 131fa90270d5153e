#include "keyer/notebox.h"

#include "keyer/memories.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

NoteBox::NoteBox(QTextEdit& box, MemorySlots& memories, QObject* parent)
    : QObject(parent), box_(box), memories_(memories) {
    connect(box_.document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { limit(position, added); });
    connect(&box_, &QTextEdit::textChanged, this, &NoteBox::textChanged);
}

QString NoteBox::text() const {
    return box_.toPlainText();
}

void NoteBox::show(int slot) {
    // A note stored as Latin-1 may need more than its entry once in UTF-8; shown, it is not cut.
    showing_ = true;
    box_.setPlainText(MemorySlots::toWindow(memories_.note(slot)));
    showing_ = false;
    // Compared as the box gives it back, since the box may normalise what it was given.
    shown_ = box_.toPlainText();
}

void NoteBox::save(int slot) {
    if (edited())
        memories_.setNote(slot, MemorySlots::toStored(box_.toPlainText()));
}

bool NoteBox::edited() const {
    return box_.toPlainText() != shown_;
}

void NoteBox::limit(int position, int added) {
    if (showing_ || !edited())
        return;
    const QString text = box_.toPlainText();
    if (MemorySlots::fits(MemorySlots::toStored(text)))
        return;
    // Refuses the end of what was just typed or pasted, as a line edit refuses input beyond its
    // maximum length; the text around it stays as it was.
    position = qBound(0, position, static_cast<int>(text.size()));
    added = qBound(0, added, static_cast<int>(text.size()) - position);
    const QString rest = text.left(position) + text.mid(position + added);
    const QString restStored = MemorySlots::toStored(rest);
    if (!MemorySlots::fits(restStored)) {
        // Even without the insertion the note does not fit (an older note longer in UTF-8 than
        // its entry, now edited): it is cut as it will be stored.
        box_.setPlainText(MemorySlots::toWindow(MemorySlots::fitEntry(restStored)));
        box_.moveCursor(QTextCursor::End);
        return;
    }
    const int budget = MemorySlots::kMaxEntryBytes - static_cast<int>(restStored.toUtf8().size());
    const QString inserted = MemorySlots::toStored(text.mid(position, added));
    const int kept =
        static_cast<int>(MemorySlots::toWindow(MemorySlots::fitEntry(inserted, budget)).size());
    QTextCursor cursor(box_.document());
    cursor.setPosition(position + kept);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    box_.setTextCursor(cursor);
}
