#pragma once

#include "keyer/level.h"
#include "keyer/messagefile.h"
#include "keyer/trim.h"
#include "support/dialogs.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

// File > Open Wave, File > Save Wave and File > Import Message….

inline constexpr MessageBoxText kCouldNotOpenWaveFile{
    QT_TRANSLATE_NOOP("MessageFile", "Could not open the wave file"), kFileOpenErrorTitle};
inline constexpr MessageBoxText kCouldNotWriteWaveFile{
    QT_TRANSLATE_NOOP("MessageFile", "Could not write the Wave file"), kFileErrorTitle};
inline constexpr const char* kSaveWaveFilter = "WAV files (*.wav);;FLAC files (*.flac)";

// Checks the header of a file chosen with Open Wave, by the same rules as PLAY, through a file
// handle of its own that is closed again before returning: the message to show when the file is
// refused, nothing when it passes.
std::optional<MessageBoxText> checkWaveFile(const QString& path);

// Save Wave: asks where to, and writes the message at source there as PLAY plays it (16-bit mono
// at 11025 Hz): as FLAC when the name ends in ".flac", else as WAV. A name typed without an
// extension gets that of the file type chosen; a file that is already there is replaced only
// when it is a regular one and the operator says so. A refused source gets PLAY's message, a
// failed write "Could not write the Wave file" and why.
void saveWave(const QString& source, Dialogs& dialogs);

class AtomicReplacement;

// Import Message…: converts the sound file at source (anything libsndfile reads) into a message
// beside target, in a thread of its own, a piece at a time; complete then puts it in target's
// place. A file longer than the longest message a memory keeps is refused before it is read.
class MessageImport final : public QObject {
    Q_OBJECT

public:
    // A phrase is cut to its sound before it is written, and put in place without a question.
    enum class Kind { Message, Phrase };

    MessageImport(const QString& source, const QString& target, Kind kind = Kind::Message,
                  QObject* parent = nullptr);
    // Cancels the conversion and waits for its thread, which stops within one piece.
    ~MessageImport() override;
    MessageImport(const MessageImport&) = delete;
    MessageImport& operator=(const MessageImport&) = delete;

    const QString& target() const { return target_; }
    // Finished has been said: complete may be called.
    bool done() const { return done_; }
    // Stops the conversion at its next piece; finished follows, and complete does nothing.
    void cancel() { cancelled_ = true; }
    // Once finished: tells why a file was refused, or asks before it replaces slot's message,
    // trims it to margin, levels it to level and tells how long the new one is, what levelling
    // did and whether it clipped. True when target holds the new message; after a failure or a
    // No the old one stays as it was.
    bool complete(int slot, Dialogs& dialogs, TrimMargin margin, const LevelTarget& level);
    // Once finished, for a phrase: puts it in target's place. Empty when it is there; otherwise
    // why not.
    Notice completePhrase();

signals:
    // How far the conversion is, in thousandths; -1 while the file does not say how long it is.
    void progressed(int permille);
    void finished();

private:
    void convert();
    void refuse(const Notice& text);
    void tellProgress(int permille);

    QString source_;
    QString target_;
    Kind kind_;
    std::atomic<bool> cancelled_{false};
    // Written by the worker before it says finished, read only after.
    std::unique_ptr<AtomicReplacement> converted_;
    Notice refusal_;
    std::uint64_t samples_ = 0;
    bool clipped_ = false;
    int shownPermille_ = 0;
    bool done_ = false;
    std::thread worker_;
};
