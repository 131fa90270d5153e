#include "keyer/keyerlog.h"

Q_LOGGING_CATEGORY(keyerLog, "tavrin.keyer")
