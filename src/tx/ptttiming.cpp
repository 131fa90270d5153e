#include "tx/ptttiming.h"

#include "support/dialogs.h"

#include <QCoreApplication>

#include <algorithm>

std::chrono::milliseconds clampPttDelay(std::chrono::milliseconds delay) {
    const auto bounded = std::clamp(delay, std::chrono::milliseconds{0}, kMaxPttDelay);
    return (bounded + kPttDelayStep / 2) / kPttDelayStep * kPttDelayStep;
}

std::optional<std::chrono::milliseconds> askPttDelay(Dialogs& dialogs, const QString& caption,
                                                     std::chrono::milliseconds current) {
    QString text = QString::number(current.count());
    const QString prompt =
        QCoreApplication::translate("PttTiming", "Milliseconds (0 to %1, in steps of %2):")
            .arg(kMaxPttDelay.count())
            .arg(kPttDelayStep.count());
    if (!dialogs.inputQuery(caption, prompt, text))
        return std::nullopt;
    bool number = false;
    const std::chrono::milliseconds asked{text.trimmed().toInt(&number)};
    if (!number || asked < std::chrono::milliseconds{0} || asked > kMaxPttDelay) {
        dialogs.showMessage(translatable("PttTiming", "'%1' is not a delay of 0 to %2 ms")
                                .arg(text)
                                .arg(kMaxPttDelay.count()),
                            caption);
        return std::nullopt;
    }
    return clampPttDelay(asked);
}
