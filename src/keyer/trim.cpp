#include "keyer/trim.h"

#include "keyer/messagefile.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kWindowsPerSecond = 100;
// Sound stands this far above the quietest tenth of the windows (+12 dB) ...
constexpr double kOverFloor = 4.0;
constexpr std::size_t kFloorShare = 10;
// ... unless that is within 20 dB of the loudest window, as in a message that is sound throughout.
constexpr double kUnderPeak = 0.1;
// Below -60 dBFS nothing counts as sound: the hiss of a microphone input with nothing on it.
constexpr double kSilentRms = 32.768;
} // namespace

std::optional<SampleSpan> findSound(const std::int16_t* samples, std::size_t count, int rate,
                                    std::chrono::milliseconds margin) {
    const std::size_t window = std::max(1, rate / kWindowsPerSecond);
    std::vector<double> levels;
    for (std::size_t start = 0; start < count; start += window) {
        const std::size_t end = std::min(count, start + window);
        double power = 0;
        for (std::size_t i = start; i < end; ++i)
            power += double(samples[i]) * samples[i];
        levels.push_back(std::sqrt(power / double(end - start)));
    }
    if (levels.empty())
        return std::nullopt;
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    const double floor = sorted[sorted.size() / kFloorShare];
    const double threshold =
        std::max(kSilentRms, std::min(floor * kOverFloor, sorted.back() * kUnderPeak));
    const auto loud = [threshold](double level) { return level > threshold; };
    const auto first = std::find_if(levels.begin(), levels.end(), loud);
    if (first == levels.end())
        return std::nullopt;
    const auto last = std::find_if(levels.rbegin(), levels.rend(), loud);
    const std::size_t kept = static_cast<std::size_t>(margin.count()) * rate / 1000;
    const std::size_t begin = std::size_t(first - levels.begin()) * window;
    const std::size_t end = std::size_t(levels.rend() - last) * window;
    return SampleSpan{begin > kept ? begin - kept : 0, std::min(count, end + kept), threshold};
}

TrimOutcome trimMessage(const QString& path, std::chrono::milliseconds margin) {
    // Whatever was kept belongs to the message this one replaced.
    forgetAsRecorded(path);
    const std::optional<EditableMessage> message = readEditableMessage(path);
    if (!message)
        return {};
    const auto& samples = message->samples;
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * kBytesPerSample);
    const auto sound = findSound(samples.data(), std::size_t(samples.size()),
                                 int(kMessageFormat.samplesPerSecond), margin);
    if (!sound)
        return {TrimResult::OnlySilence, dataBytes};
    if (sound->begin == 0 && sound->end == std::size_t(samples.size()))
        return {TrimResult::Whole, dataBytes};
    const std::size_t kept = sound->end - sound->begin;
    if (FileStatus written = replaceMessage(path, *message, samples.data() + sound->begin, kept);
        !written)
        return {TrimResult::Failed, dataBytes, written};
    return {TrimResult::Trimmed, static_cast<std::uint32_t>(kept * kBytesPerSample)};
}
