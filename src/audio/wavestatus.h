#pragma once

#include "support/notice.h"

#include <utility>

// The device call of an engine operation that failed. The input sites from queueing to
// resetting are the ones that run with the input device open.
enum class WaveSite {
    OutQuery,
    OutOpen,
    OutWrite,
    OutReset,
    OutClose,
    InQuery,
    InOpen,
    InAddBuffer,
    InStart,
    InReset,
    InClose,
};

// What an engine operation came to: ok, or the site that failed with the text the operator
// is shown for it.
class WaveStatus {
public:
    WaveStatus() = default;
    WaveStatus(WaveSite site, Notice text) : failed_(true), site_(site), text_(std::move(text)) {}

    bool ok() const { return !failed_; }
    WaveSite site() const { return site_; }
    const Notice& text() const { return text_; }

private:
    bool failed_ = false;
    WaveSite site_ = WaveSite::OutQuery;
    Notice text_;
};
