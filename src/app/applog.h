#pragma once

#include <QLoggingCategory>

// What the app library writes to stderr; QT_LOGGING_RULES="tavrin.app.warning=false" silences
// it.
Q_DECLARE_LOGGING_CATEGORY(appLog)
