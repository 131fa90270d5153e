#pragma once

#include <QString>

#include <array>

// The twelve message memories: per slot a message file path and the operator's note.
// Entry 0 of both tables exists (it is part of the stored layout) but belongs to no slot.
class MemorySlots {
public:
    static constexpr int kSlots = 12;
    static constexpr int kEntries = kSlots + 1;
    // Each entry holds at most this many bytes of UTF-8 text (a terminating zero follows in the
    // stored layout).
    static constexpr int kMaxEntryBytes = 255;

    static bool isSlot(int n) { return n >= 1 && n <= kSlots; }
    static QString fileName(int slot); // "memory<slot>.wav"

    // Notes are kept with CR LF line breaks, as stored; the window shows LF.
    QString note(int entry) const { return notes_.at(index(entry)); }
    void setNote(int entry, const QString& text) { notes_.at(index(entry)) = fitEntry(text); }
    QString path(int entry) const { return paths_.at(index(entry)); }
    void setPath(int entry, const QString& path) { paths_.at(index(entry)) = fitEntry(path); }

    // Converts between the window's text (LF) and the stored form (CR LF).
    static QString toStored(const QString& windowText);
    static QString toWindow(const QString& stored);

    // Cuts text so that its UTF-8 form fits an entry, never splitting a character.
    static QString fitEntry(const QString& text);

private:
    static std::size_t index(int entry);

    std::array<QString, kEntries> notes_;
    std::array<QString, kEntries> paths_;
};
