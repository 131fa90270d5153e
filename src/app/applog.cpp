#include "app/applog.h"

Q_LOGGING_CATEGORY(appLog, "tavrin.app")
