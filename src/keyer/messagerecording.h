#pragma once

#include "keyer/messagefile.h"
#include "support/filestatus.h"

#include <QString>

#include <cstdint>

// The file a recording goes to. It is made beside the message it replaces and takes its place
// only when it is finished: until then the old message stays whole, and a recording cut off by a
// crash or a power loss stays behind under ".part". After every block the file is a whole
// message. The count of sample bytes is the keyer's, which shows it as the recording's length.
class MessageRecording {
public:
    enum class Start {
        Started,
        CouldNotOpen,  // the message is write-protected, or the file could not be made
        CouldNotWrite, // the header could not be written (failure() says why); nothing stays behind
    };
    enum class Append {
        Written,
        Full,   // written, and the file holds as many samples as its header can count
        Failed, // cut back to the blocks written before; failure() says why
    };

    explicit MessageRecording(QString target);
    MessageRecording(const MessageRecording&) = delete;
    MessageRecording& operator=(const MessageRecording&) = delete;

    // Creates the partial file with a header that claims no samples yet.
    Start start();
    // Appends one block after the bytes samples already written, and makes the header claim it;
    // bytes grows by the block once the block is on the disk.
    Append append(const std::uint8_t* block, std::int32_t& bytes);
    // Completes the header, syncs the file and puts it in the message's place, so that the
    // message cannot come back empty after a power cut. False when a step failed: the partial
    // file stays behind, whole as far as it was written, and failure() says why.
    bool finish(std::int32_t bytes);
    // Removes the partial file: the message stays as it was.
    void discard();

    const QString& target() const { return target_; }
    // Why the last step failed; done while none has.
    const FileStatus& failure() const { return failure_; }

private:
    QString target_;
    QString partialPath_;
    FileHandle file_;
    FileStatus failure_;
};
