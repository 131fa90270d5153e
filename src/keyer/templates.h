#pragma once

#include "keyer/exchange.h"

#include <QString>

class MemorySlots;

// What assembling an exchange came to: nothing said when its file was written; otherwise what
// is missing (a phrase, a memory or a field: the caller's mistake, named) or why it could not
// be written.
struct Assembly {
    Notice why;
    bool missing = false;
    bool ok() const { return why.isEmpty(); }
};

// The memories kept as templates, spoken from the recorded phrases and the fields instead of
// played from their recordings, and the text Say speaks. Whatever is spoken is written to one
// exchange file, which is then keyed as any message is.
class Templates {
public:
    explicit Templates(const MemorySlots& memories) : memories_(memories) {}

    // Phrases come from phrasesDir; what they are joined into goes to exchangeFile.
    void setPaths(const QString& phrasesDir, const QString& exchangeFile);
    const QString& exchangeFile() const { return exchangeFile_; }
    // Writes the text spoken from the phrases to the exchange file.
    Assembly assembleSay(const QString& text);
    // A memory's template lies beside its message file: "memory3.txt" for "memory3.wav". Its
    // first line; empty when the memory has none.
    QString templatePath(int slot) const;
    QString templateOf(int slot) const;
    // Keeps text as the memory's template, or removes the template when text is empty. Empty
    // when done; otherwise why not.
    QString setTemplate(int slot, const QString& text);
    // Writes the memory's template, spoken, to the exchange file. Playing a memory with a
    // template (F-key, PLAY, each repetition of the loop) assembles it afresh, so a field
    // changed meanwhile is heard.
    Assembly assembleTemplate(int slot);
    // The fields the templates speak; they live as long as the keyer and are not saved.
    ExchangeFields& fields() { return fields_; }

private:
    const MemorySlots& memories_;
    QString phrasesDir_;
    QString exchangeFile_;
    ExchangeFields fields_;
};
