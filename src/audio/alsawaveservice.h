#pragma once

#include "audio/waveservicebase.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

// An ALSA PCM offered as a wave device, and the name the operator sees for it.
struct AlsaPcm {
    std::string pcm;
    QString name;
};

// Gaps in the sound: playback that ran dry between two buffers, capture that lost samples because
// no buffer was ready. Both are recovered from and counted.
struct AlsaXrunCounts {
    std::atomic<uint64_t> underruns{0};
    std::atomic<uint64_t> overruns{0};
};

// Wave devices on ALSA. Device 0 is the "default" PCM (the desktop's sound server where one runs),
// then one device per sound card PCM through the plug layer, so that 11025 Hz mono 16-bit works on
// every card.
//
// Each open device has a thread that owns the PCM: it writes or reads the queued buffers in order
// and marks a playback buffer done once the device has played it, a capture buffer once it is full.
class AlsaWaveService final : public WaveServiceBase {
public:
    // A device thread held up inside ALSA this long is given up on, and so is an open.
    static constexpr std::chrono::seconds kAnswerTime{1};

    // The machine's devices, looked up again whenever the device count is asked for.
    AlsaWaveService();
    // A fixed set of PCMs, such as software PCMs from a private configuration.
    AlsaWaveService(std::vector<AlsaPcm> outputs, std::vector<AlsaPcm> inputs);
    ~AlsaWaveService() override;

    int deviceCount(Direction direction) override;
    std::string productName(Direction direction, int device) override;
    WaveResult query(Direction direction, int device, const WaveFormat& format) override;
    std::string lastError(Direction direction) const override;

    uint64_t underruns() const { return xruns_->underruns.load(); }
    uint64_t overruns() const { return xruns_->overruns.load(); }

    static std::vector<AlsaPcm> discover(Direction direction);

protected:
    std::unique_ptr<WaveStream> openStream(Direction direction, int device,
                                           const WaveFormat& format,
                                           std::shared_ptr<const CompletionNotifier> notify,
                                           WaveResult& result) override;

private:
    const std::vector<AlsaPcm>& devices(Direction direction) const;
    const AlsaPcm* device(Direction direction, int device) const;
    static std::size_t slot(Direction d) { return d == Direction::Input ? 0 : 1; }
    // False when a closed device of this PCM has not let go of it within kAnswerTime of its
    // close: the next open would wait on whatever holds that one up.
    bool waitForLetGo(const std::string& pcm);

    bool discovering_;
    std::vector<AlsaPcm> outputs_;
    std::vector<AlsaPcm> inputs_;
    // Per direction, input first: why the last open failed (set on the opening thread only).
    std::string lastError_[2];
    std::shared_ptr<AlsaXrunCounts> xruns_ = std::make_shared<AlsaXrunCounts>();
    // Closed devices whose threads have not yet closed their PCMs.
    std::vector<std::shared_ptr<class PcmWorker>> lettingGo_;
    // Opens given up on that have not ended yet.
    std::vector<std::shared_ptr<class PcmOpener>> unanswered_;
};
