#pragma once

#include "support/notice.h"
#include <QHash>
#include <QList>

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

// A contest exchange spoken from recorded pieces: one short recording per letter, digit or word in
// a folder of phrases, joined into one message that is keyed and played as any other.

// Each join fades one piece into the next over this long: no click where they meet, and too short
// to be heard as a gap.
inline constexpr std::chrono::milliseconds kPhraseCrossfade{5};

// The folder of phrases, "<token>.wav" for each token in any format Tavrin plays: "0" … "9",
// "A" … "Z" (phonetic words as the operator speaks them), "slash", and words the operator names
// ("599", "portable", "QRZ"). Read once; only regular files count.
class PhraseBook {
public:
    explicit PhraseBook(const QString& folder);

    // The file that speaks token, case aside; empty when none does.
    QString fileFor(const QString& token) const;
    // The tokens text is spoken as: a word with a file of its own whole, any other spelled a
    // character at a time, "/" as "slash".
    QStringList tokensOf(const QString& text) const;
    const QString& folder() const { return folder_; }

private:
    QString folder_;
    QHash<QString, QString> files_; // upper-cased token, file name
};

struct SpokenExchange {
    QStringList files; // the pieces, in the order spoken
    // The pieces played as recorded, not trimmed to their sound: a memory's message.
    QList<bool> whole;
    // The first piece that is not there (a token no file speaks, "memory N", a field's name);
    // empty when every one is.
    QString missing;
    // What is missing, in words for the operator: "\"Q\" is not recorded in …", "memory 4 is
    // empty", "the field serial is not set"; empty when nothing is.
    Notice why;
};

SpokenExchange spokenExchange(const PhraseBook& book, const QString& text);

// The fields a logger sets, for the templates to speak: "serial" (a contest number, 0 to
// 99999) and "call" (letters, digits and '/'). Kept by the running keyer only.
class ExchangeFields {
public:
    static const QStringList& names();
    // Empty when taken; otherwise why not. An empty value unsets the field.
    QString set(const QString& name, const QString& value);
    // Empty when unset.
    QString value(const QString& name) const { return values_.value(name); }

private:
    QHash<QString, QString> values_;
};

// A memory kept as a template: words spoken from the phrases as Say speaks them, "{mem N}"
// (memory N's message as recorded, whole), "{serial}", "{serial:03}" (zero-padded to three
// digits) and "{call}". memoryFile gives memory N's message file, empty when it has none.
SpokenExchange templateExchange(const PhraseBook& book, const QString& text,
                                const ExchangeFields& fields,
                                const std::function<QString(int)>& memoryFile);

// Joins the pieces into one message at path, each but the whole ones trimmed to its first and
// last sound, and each faded into the next. Empty when it was written; otherwise why not, naming
// the piece that could not be read.
Notice joinPieces(const SpokenExchange& exchange, const QString& path);

// A piece as it is stored: cut to the first and last sample that rise above the sound's level,
// so that pieces join with no gap of their own. Samples with no sound found stay as they are.
std::vector<std::int16_t> trimmedToSound(std::vector<std::int16_t> samples);

// Trims the phrase at path to its sound in place, replacing the file whole. Empty when it was
// done; otherwise why not.
QString trimPhraseFile(const QString& path);

// A name a phrase may be stored under: letters, digits, '-', '_' and '+', at most
// kLongestPhraseName long. Never a path: no separator, no dot.
inline constexpr int kLongestPhraseName = 32;
bool isPhraseName(const QString& name);

// The tokens every exchange may need ("0" … "9", "A" … "Z", "slash"), then every other word
// recorded in folder, each once.
QStringList phraseTokens(const QString& folder);
