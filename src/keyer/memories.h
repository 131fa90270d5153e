#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The twelve message memories: per slot a message file path and the operator's note.
// Entry 0 of both tables exists (it is part of the stored layout) but belongs to no slot.
class MemorySlots {
public:
    static constexpr int kSlots = 12;
    static constexpr int kEntries = kSlots + 1;
    // A stored note holds at most this many bytes (a terminating zero follows in the stored
    // layout).
    static constexpr int kMaxEntryBytes = 255;

    static bool isSlot(int n) { return n >= 1 && n <= kSlots; }
    static QString fileName(int slot); // "memory<slot>.wav"

    // Notes are kept as their stored bytes, with CR LF line breaks; note() decodes them for
    // the window, which shows LF.
    QString note(int entry) const { return decodeNote(notes_.at(index(entry))); }
    QByteArray noteBytes(int entry) const { return notes_.at(index(entry)); }
    void setNoteBytes(int entry, const QByteArray& bytes) {
        notes_.at(index(entry)) = bytes.left(kMaxEntryBytes);
    }
    // An edited note: stored as UTF-8, cut to fit its entry.
    void setNote(int entry, const QString& text) {
        notes_.at(index(entry)) = fitEntry(text).toUtf8();
    }
    // Paths are kept whole; only the stored record limits them.
    QString path(int entry) const { return paths_.at(index(entry)); }
    void setPath(int entry, const QString& path) { paths_.at(index(entry)) = path; }

    // Converts between the window's text (LF) and the stored form (CR LF).
    static QString toStored(const QString& windowText);
    static QString toWindow(const QString& stored);

    // UTF-8 when the bytes are, also when only their last character was cut off by the end of
    // the entry (it is then left out); otherwise Latin-1, as older files hold.
    static QString decodeNote(const QByteArray& bytes);
    static bool fits(const QString& text) { return text.toUtf8().size() <= kMaxEntryBytes; }
    // Cuts text so that its UTF-8 form fits maxBytes, never splitting a character or a CR LF.
    static QString fitEntry(const QString& text, int maxBytes = kMaxEntryBytes);

private:
    static std::size_t index(int entry);

    std::array<QByteArray, kEntries> notes_;
    std::array<QString, kEntries> paths_;
};
