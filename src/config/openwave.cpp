#include "config/openwave.h"

std::optional<MessageBoxText> checkWaveFile(const QString& path) {
    const HeaderResult result = openMessageFile(path).result;
    if (result == HeaderResult::CannotOpen)
        return kCouldNotOpenWaveFile;
    return headerFailureMessage(result);
}
