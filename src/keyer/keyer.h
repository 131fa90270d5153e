#pragma once

#include "audio/wavestatus.h"
#include "audio/wavetypes.h"
#include "keyer/blocksamples.h"
#include "keyer/level.h"
#include "keyer/messagefile.h"
#include "keyer/messagereader.h"
#include "keyer/templates.h"
#include "keyer/trim.h"
#include "support/filestatus.h"
#include "support/notice.h"
#include "tx/ptttiming.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

class AlarmStrip;
class BufferWatchdog;
class Dialogs;
class KeyerState;
class NoteBox;
class KeyingLine;
class MemorySlots;
class MessageRecording;
class Monitor;
class QAction;
class QTimer;
class RepeatLoop;
class TransmitControls;
class WaveEngine;
class WaveInEngine;
class WaveOutEngine;

// What the keyer works with; all owned elsewhere and outliving it.
struct KeyerParts {
    KeyerState& state;
    MemorySlots& memories;
    QString installDir;
    KeyingLine& line;
    TransmitControls& transmit;
    AlarmStrip& strip;
    WaveOutEngine& out;
    WaveInEngine& in;
    WaveOutEngine& monitor; // the operator's headphones
    Dialogs& dialogs;
};

// How a message that PLAY started came to its end: every sample heard; stopped, paused or given
// way to another; or it could not be played to its end (no sound in it, a device or keying that
// failed).
enum class MessageEnd { Played, Stopped, Failed };

// The keyer's operator actions: memory selection, recording, playback, stop and reset, loop.
// Every handler returns at once: a recording or playback moves on when the device hands back a
// buffer, the line confirms its key-down, or the lead or tail has passed. The keyer decides what
// a failing sound device means: it releases the transmitter, shows the failure, closes the input
// device where the failure left it open, and asks for the program's end when the failure came
// while a message ran.
class Keyer : public QObject {
    Q_OBJECT

public:
    // A device that moves no sound for this long while a message runs has stopped: far longer
    // than any pause a working sound server makes.
    static constexpr std::chrono::milliseconds kLongestSilence{3000};

    explicit Keyer(const KeyerParts& parts, QObject* parent = nullptr);
    ~Keyer() override;

    // The twelve memory buttons: select slot n (1..12). Refused while recording or playing.
    void selectMemory(int slot);
    void deselectMemory();
    void useRecordPath(int slot);
    // Saves the note in the message window under the selected slot.
    void saveNote();
    // The box that shows the selected memory's note from now on.
    void attachNoteBox(NoteBox* box);
    // The memories now hold another bank's, whose messages are recorded into folder (with the
    // trailing separator): the message window shows the selected memory's note, unsaved, and
    // PLAY reads its file. The caller saves the note shown before and refuses while busy.
    void showMemories(const QString& folder);

    void record();
    // Records into the phrase file at path as REC records a memory, and trims the phrase to its
    // sound once STOP ends it. Refused (false) while a message plays or records.
    bool recordPhrase(const QString& path);
    // The phrase file the running or last recording went to; empty when it went to a memory.
    const QString& recordingPhrase() const { return recordingPhrase_; }
    void play();
    // Plays slot n (1..12) at once. A message playing, looping or paused gives way to it; the
    // transmitter stays keyed across the change only when the new message keys it. Refused
    // while recording.
    void playMemory(int slot);
    void stop();
    void reset();
    // Escape: ends playback, recording, the loop and TUNE; the line is left unkeyed.
    void stopEverything();
    // The operator keyed the transmitter with their own PTT: while a message plays, the loop
    // runs or TUNE holds the line, everything ends as Escape ends it, so the operator can answer
    // a caller. A recording alone keys nothing and goes on. False when nothing was stopped.
    bool yieldToOperator();
    // The program is ending: whatever runs is stopped, and nothing plays, records or keys
    // from now on, not even a start that was kept for later.
    void shutDown();

    // Plays slot n (1..12) on the monitor's sound card alone, keying nothing. Refused (false)
    // while a message plays or records; a preview running ends first.
    bool previewMemory(int slot);
    // Plays the message file at path on the monitor's sound card alone, as previewMemory does.
    bool previewFile(const QString& path);
    Monitor& monitor() { return *monitor_; }

    // Opens and checks a message file for playback; false (reported) when it is refused.
    bool readMessageHeader(const QString& path);
    // The file the next PLAY reads when no message is open.
    void chooseMessageFile(const QString& path);

    // LOOP: on, the next PLAY starts the loop; off, a running loop repeats no more.
    void toggleLoop();
    // The pause between repetitions, in tenths of a second: a running loop goes on with it,
    // and a pause under way ends when the new delay has passed since its key-up. Any delay is
    // taken, whether a menu item carries it or not.
    void setLoopDelay(std::int32_t tenths);
    // The microphone gain by its stored code; a code the gain menu does not know records at
    // unity.
    void setGainCode(std::int32_t code);
    // The factor the recording applies for the selected gain; 1 for unknown codes.
    int gainFactor() const;

    // The lead and tail around each keyed message; a change counts from the next lead or tail.
    void setPttTiming(const PttTiming& timing) { pttTiming_ = timing; }
    const PttTiming& pttTiming() const { return pttTiming_; }
    // The silence a finished recording keeps at either end; none keeps it as recorded.
    void setTrimMargin(TrimMargin margin) { trimMargin_ = margin; }
    TrimMargin trimMargin() const { return trimMargin_; }
    // The last recording found no sound to trim to: the microphone may be off.
    bool recordedOnlySilence() const { return onlySilence_; }
    // What a finished recording is levelled to once trimmed.
    void setLevelTarget(const LevelTarget& target) { levelTarget_ = target; }
    const LevelTarget& levelTarget() const { return levelTarget_; }
    // What levelling the last recording came to; nothing when it was not tried.
    const std::optional<LevelOutcome>& recordingLevelled() const { return levelled_; }

    // The memories kept as templates, Say's exchanges and the fields both speak.
    Templates& templates() { return templates_; }
    const Templates& templates() const { return templates_; }

    // The pause before the loop's next repetition is under way.
    bool loopPausing() const;
    // A recording or playback has started and holds, or is about to open, a sound device.
    bool deviceInUse() const { return run_ != Run::Idle; }
    // While the sound card dialog is shown the buffer watchdog has no effect: the operator may
    // be choosing the device a loop waits on.
    void setSoundCardDialogShown(bool shown) { soundCardShown_ = shown; }

signals:
    // PLAY found no message in the file: it is missing or holds no samples.
    void nothingToPlay(const QString& path);
    // Once for every PLAY that started a message (or a repetition of the loop). why says what
    // failed, when the failure's box comes after the end; empty otherwise.
    void messageEnded(MessageEnd how, const Notice& why);
    // A memory's template could not be spoken, and nothing was keyed: why, naming what is
    // missing.
    void templateRefused(const Notice& why);

private:
    // Where a recording or playback stands. Leading: keyed, waiting for the rig to confirm the
    // key-down and then for the lead; Tailing: every sample heard, the line held for the tail.
    enum class Run { Idle, Leading, Sounding, Tailing, Recording };

    void pause();
    // The loop's pause has ended: the message is played again.
    void repeatLoop();
    // STOP's work on a running recording or playback, leaving the keying line to the caller.
    void stopRunning();
    void startPlayback();
    // Opens the file to read for the message shown as path; false (reported) when refused.
    bool openMessage(const QString& path, const QString& read);
    // The memory PLAY would play when it has a template; 0 otherwise.
    int templateToPlay() const;
    // Keyed: the first sample waits for a key-down not yet confirmed, then for the lead.
    void awaitLead();
    void startSound();
    // Hands a filled half to the transmitter's device, and to the monitor.
    void queueOut(Half half);
    // The device handed back buffers: the heard ones are refilled and queued again.
    void serviceOutput();
    void holdEnded();
    // Lets the output device go; what was read but not heard is read again by a resume.
    void endSound();
    void startRecording();
    bool openRecording();
    void serviceInput();
    void endRecording();
    void finishRecording();
    void discardRecording();
    // The running message ends as STOP ends it after a failure: the line is released first, a
    // recording keeps what it has, and the loop repeats no more.
    void endFailed(const Notice& why);
    std::int32_t fillOutBlock(Half half, std::int32_t startCount);
    void endOfData();
    void rewindUnheard(std::int32_t bytes);
    void closeMessageFile();
    // Applies the failure policy to an engine operation's status; true when it is ok.
    bool checkDevice(const WaveStatus& status);
    void deviceProgressed();
    // The device of the message sounding or being recorded; null when none runs.
    WaveEngine* runningEngine();
    // The watchdog's look at a running message's device.
    void checkSilence();
    // The device of a running message stopped moving sound: the message ends as STOP ends it.
    // Returns the text the operator is shown once the device has been let go.
    Notice deviceStopped(WaveEngine& engine);
    void reportDeviceFailure(const Notice& text);
    // The line could not key: the message and the loop end, and the operator is told why.
    void keyingFailed(const Notice& reason);
    // Failure boxes wait for the operator: the transmitter is released first, whatever keyed
    // it.
    void reportFailure(const Notice& text, const Notice& title);

    KeyerState& state_;
    MemorySlots& memories_;
    // The window's note box, once it is shown; the keyer runs without one.
    NoteBox* noteBox_ = nullptr;
    QString installDir_;
    KeyingLine& line_;
    TransmitControls& transmit_;
    AlarmStrip& strip_;
    BufferWatchdog* watchdog_;
    WaveOutEngine& out_;
    WaveInEngine& in_;
    Dialogs& dialogs_;
    Monitor* monitor_;

    RepeatLoop* loop_;
    QTimer* holdTimer_; // the lead and the tail

    Run run_ = Run::Idle;
    // A box shown for a failure lets events through: a completion then waits for the step
    // that was running to return.
    bool servicing_ = false;
    // The half the device plays or fills first, and the message bytes in each half.
    Half current_ = Half::A;
    std::array<std::int32_t, 2> held_{};
    std::int32_t startCount_ = 0;
    bool recordingFull_ = false;
    bool onlySilence_ = false; // the recording just finished holds no sound to trim to
    std::optional<LevelOutcome> levelled_;
    MessageEnd ending_ = MessageEnd::Stopped;
    Notice endingWhy_;
    // The boxes of a device failure and of the clean-up it leads to, shown once the message
    // has ended.
    QList<Notice> deviceFailures_;

    std::unique_ptr<MessageRecording> recording_;
    // The phrase the next recording goes to, in place of the selected memory; and the one the
    // last recording went to, empty when it went to a memory.
    QString phraseTarget_;
    QString recordingPhrase_;
    std::unique_ptr<MessageReader> playReader_;
    FileStatus writeError_; // why the recording's last write failed; done when none did
    // A message gave way to another while keyed: the line stays keyed until the next start
    // decides.
    bool holdKey_ = false;
    bool shuttingDown_ = false;
    bool soundCardShown_ = false;
    PttTiming pttTiming_;
    TrimMargin trimMargin_ = kDefaultTrimMargin;
    LevelTarget levelTarget_;
    Templates templates_;
};
