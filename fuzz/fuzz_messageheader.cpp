// Any bytes as a message file: the header reader that PLAY uses, on a stream and on a file, and
// the check that Open Wave makes.

#include "config/openwave.h"
#include "keyer/messagefile.h"
#include "keyer/messagereader.h"

#include "fuzzsupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Enough blocks of a decoded file to reach past any header into its samples, few enough to keep
// each run short.
constexpr int kDecodedBlocksRead = 16;

// What playback relies on after an accepted header: the stream sits at the first sample byte,
// after at least the 44 bytes of a plain header, and the data size it was given can be read in
// full from there, and is the file's own bytes.
void checkAccepted(std::FILE* stream, const HeaderReading& reading, const std::uint8_t* data,
                   std::size_t size) {
    const off_t position = ftello(stream);
    require(position >= kMessageHeaderBytes, "accepted a header shorter than 44 bytes");
    require(reading.dataBytes <= kMaxPlayableBytes, "data size beyond what a player may count");
    require(static_cast<std::uint64_t>(position) + reading.dataBytes <= size,
            "data size beyond the end of the file");
    std::vector<std::uint8_t> samples(reading.dataBytes);
    require(std::fread(samples.data(), 1, samples.size(), stream) == samples.size(),
            "the promised sample bytes cannot be read");
    require(std::equal(samples.begin(), samples.end(), data + position),
            "the sample bytes are not the file's own");
}

bool sameMessage(const std::optional<MessageBoxText>& a, const std::optional<MessageBoxText>& b) {
    if (!a || !b)
        return !a && !b;
    return std::strcmp(a->text, b->text) == 0 && std::strcmp(a->title, b->title) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::uint8_t none;
    FileHandle stream(fmemopen(const_cast<std::uint8_t*>(size ? data : &none), size, "rb"));
    require(stream != nullptr, "fmemopen");
    const HeaderReading reading = readMessageHeader(stream.get());
    if (reading.result == HeaderResult::Ok)
        checkAccepted(stream.get(), reading, data, size);
    else
        require(reading.dataBytes == 0, "a refused header gives a data size");

    static MemoryFile file;
    file.fill(data, size);
    OpenedMessage opened = openMessageFile(file.path());
    const std::optional<MessageBoxText> playRefusal = headerFailureMessage(opened.result);
    if (opened.sound) {
        // Not RIFF but a kind libsndfile decodes: the header reader refuses it, playback converts
        // it. What it decodes must read without fault.
        require(reading.result != HeaderResult::Ok && opened.result == HeaderResult::Ok,
                "a decoded file is refused, or a RIFF file decoded");
        MessageReader reader(std::move(opened));
        std::uint8_t block[4096];
        for (int i = 0; i < kDecodedBlocksRead && reader.read(block, sizeof block) > 0; ++i) {
        }
    } else {
        require(opened.result == reading.result && opened.dataBytes == reading.dataBytes,
                "a file and a stream of the same bytes are read differently");
        require((opened.file != nullptr) == (opened.result == HeaderResult::Ok),
                "a refused file is left open or an accepted one closed");
    }

    const std::optional<MessageBoxText> openWave = checkWaveFile(file.path());
    require(sameMessage(openWave, playRefusal),
            "Open Wave and PLAY judge the same file differently");
    return 0;
}
