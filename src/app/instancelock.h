#pragma once

#include "support/uniquefd.h"

#include <QString>

// One keyer per folder: a lock on a file in the folder, held for the life of the process. The
// system releases it when the process ends, however it ends, so a lock file left behind by a
// keyer that died blocks nothing.
class InstanceLock {
public:
    enum class Result { Held, HeldElsewhere, Failed };

    // Creates dir when missing and takes the lock on its "Tavrin.lock", a regular file.
    explicit InstanceLock(const QString& dir);

    Result result() const { return result_; }
    // Why the lock could not be taken, for the operator.
    QString message() const { return message_; }

private:
    UniqueFd fd_;
    Result result_ = Result::Failed;
    QString message_;
};
