#include "tx/txlog.h"

Q_LOGGING_CATEGORY(txLog, "tavrin.tx")
