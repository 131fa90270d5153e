#pragma once

#include <QLoggingCategory>

// What the audio library writes to stderr; QT_LOGGING_RULES="tavrin.audio.warning=false" silences
// it.
Q_DECLARE_LOGGING_CATEGORY(audioLog)
