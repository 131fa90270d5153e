#include "audio/audiolog.h"

Q_LOGGING_CATEGORY(audioLog, "tavrin.audio")
