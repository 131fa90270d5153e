#pragma once

#include "keyer/messagefile.h"
#include "support/dialogs.h"

#include <QString>

#include <optional>

// File > Open Wave, File > Save Wave and File > Import Message….

inline constexpr MessageBoxText kCouldNotOpenWaveFile{"Could not open the wave file",
                                                      "File Open Error Message"};
inline constexpr MessageBoxText kCouldNotWriteWaveFile{"Could not write the Wave file",
                                                       "File Error Message"};
inline constexpr const char* kSaveWaveFilter = "WAV files (*.wav);;FLAC files (*.flac)";

// Checks the header of a file chosen with Open Wave, by the same rules as PLAY, through a file
// handle of its own that is closed again before returning: the message to show when the file is
// refused, nothing when it passes.
std::optional<MessageBoxText> checkWaveFile(const QString& path);

// Save Wave: asks where to, and writes the message at source there as PLAY plays it (16-bit mono
// at 11025 Hz): as FLAC when the name ends in ".flac", else as WAV. A refused source gets PLAY's
// message, a failed write "Could not write the Wave file".
void saveWave(const QString& source, Dialogs& dialogs);

// Import Message…: converts the sound file at source (anything libsndfile reads) into slot's
// message at target, asking before it replaces a message, and tells how long the message is and
// whether it clipped. True when target holds the new message; after a failure or a No the old
// one stays as it was.
bool importMessage(const QString& source, const QString& target, int slot, Dialogs& dialogs);
