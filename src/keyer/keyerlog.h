#pragma once

#include <QLoggingCategory>

// What the keyer library writes to stderr; QT_LOGGING_RULES="tavrin.keyer.warning=false" silences
// it.
Q_DECLARE_LOGGING_CATEGORY(keyerLog)
