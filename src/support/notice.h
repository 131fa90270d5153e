#pragma once

#include <QCoreApplication>
#include <QMetaType>
#include <QString>

// A sentence for the operator, kept in two languages: as written in the code, which a remote
// command's caller, the log and the tests get whatever the locale, and in the operator's
// language for the screen. A plain QString converts to a notice whose two texts are the same:
// words that are not translated (a path, the system's reason) or that the window translated.
class Notice {
public:
    Notice() = default;
    // NOLINTNEXTLINE(google-explicit-constructor): untranslated words are notices too
    Notice(const QString& text) : source_(text), shown_(text) {}

    // What source, marked for lupdate by the name translatable, says in the operator's language.
    friend Notice translatable(const char* context, const char* source);

    // The %1 of both texts filled, as QString::arg fills it.
    template <typename... Args> Notice arg(const Args&... args) const {
        Notice filled;
        filled.source_ = source_.arg(args...);
        filled.shown_ = shown_.arg(args...);
        return filled;
    }
    Notice& operator+=(const Notice& more) {
        source_ += more.source_;
        shown_ += more.shown_;
        return *this;
    }
    friend Notice operator+(Notice first, const Notice& second) { return first += second; }

    // As written in the code: English.
    const QString& source() const { return source_; }
    // In the operator's language, where Tavrin ships it.
    const QString& shown() const { return shown_; }
    bool isEmpty() const { return source_.isEmpty(); }

private:
    QString source_;
    QString shown_;
};

inline Notice translatable(const char* context, const char* source) {
    Notice notice;
    notice.source_ = QString::fromUtf8(source);
    notice.shown_ = QCoreApplication::translate(context, source);
    return notice;
}

// Handed from the rig worker's thread to the window's.
Q_DECLARE_METATYPE(Notice)
