#pragma once

#include "keyer/messagefile.h"

#include <QString>

#include <optional>

// File > Open Wave and File > Save Wave.

inline constexpr MessageBoxText kCouldNotOpenWaveFile{"Could not open the wave file",
                                                      "File Open Error Message"};
inline constexpr MessageBoxText kSaveWaveNotImplemented{
    "This function is not implemented at this time", "Error Message"};

// Checks the header of a file chosen with Open Wave, by the same rules as PLAY, through a file
// handle of its own that is closed again before returning: the message to show when the file is
// refused, nothing when it passes.
std::optional<MessageBoxText> checkWaveFile(const QString& path);
