#pragma once

#include <QLoggingCategory>

// What the tx library writes to stderr; QT_LOGGING_RULES="tavrin.tx.warning=false" silences
// it.
Q_DECLARE_LOGGING_CATEGORY(txLog)
