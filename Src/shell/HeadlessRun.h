// The whole program run in-process on the test backends: test window,
// recording graphics device, silent sound, scripted keyboard, virtual clock.
// The replay tool uses it to record a play and play it back, frame by frame,
// on a private copy of a game folder, collecting the replay trace.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/TempFolder.h"
#include "platform/gfx/AdapterSurvey.h"

class RecordingBackend;

// Keys held over spans of frames. Lines "<first> <last> <DIK code>...": the
// keys are held from frame `first` to frame `last` (both counted from the
// first frame step, 0 based); codes are decimal or 0x hex; '#' starts a
// comment.
class InputScript {
public:
    struct Span {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        std::vector<int> keys;
    };
    // False with a message naming the line when the text does not parse.
    bool parse(const std::string& text, std::string& error);
    void add(Span span) { spans_.push_back(std::move(span)); }
    // Whether the key is held on a frame.
    bool held(std::uint32_t frame, int key) const;
    const std::vector<Span>& spans() const { return spans_; }

private:
    std::vector<Span> spans_;
};

class HeadlessRun {
public:
    // Copies `game` into a fresh temporary folder (removed at the end) and
    // packs its data folders as the build packs the bundled game.
    explicit HeadlessRun(const std::filesystem::path& game);
    ~HeadlessRun();
    HeadlessRun(const HeadlessRun&) = delete;
    HeadlessRun& operator=(const HeadlessRun&) = delete;

    const std::filesystem::path& folder() const { return folder_.path(); }
    // False (with a message) when the game could not be copied or packed.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // One run of the program on the copy: start-up, then frame steps until the
    // game quits, until the idle limit has passed without a recorded or played
    // stage after one was (two seconds unless set), until a replay file has
    // been saved when asked to stop there, or until `maxFrames` frames have
    // run; then the release. With `playSlot` above 0 that slot's
    // replay is selected and played back.
    // Returns the frames stepped; the trace holds the replay trace's lines.
    struct Result {
        std::uint32_t frames = 0;
        bool quit = false;
        std::vector<std::string> trace;
        // For each trace line, the frame step (0 based) that wrote it.
        std::vector<std::uint32_t> traceFrames;
    };
    // `mode` is the replay mode the selected slot is used in: 1 plays it back,
    // 2 restarts its stages from their recorded starting state with live keys.
    Result run(const InputScript& input, std::int32_t playSlot, std::uint32_t maxFrames, std::int32_t mode = 1);

    // Frames without a recorded or played stage, after one was, that end a
    // run (120 unless set); 0 never ends a run for that, so the scenes
    // after a stage (result, name entry, ranking) can be played through.
    void setIdleLimit(std::uint32_t frames) { idleLimit_ = frames; }
    // Whether a run ends at the frame step after which the copy's "replay"
    // folder holds more replay files than at the run's start.
    void setStopWhenSaved(bool stop) { stopWhenSaved_ = stop; }

    // Writes the configuration's "replay" setting (the slot the program plays
    // back from its start, 0 for none) into the copy's "init.xml" and packs
    // its folder again. False (with a message) when that fails.
    bool setReplaySetting(std::int32_t slot);

    // Called after every frame step with the frame's number (0 based) and
    // the recording backend the run draws on, e.g. to keep a frame's draws
    // (the backend keeps every call and draw until cleared).
    using FrameObserver = std::function<void(std::uint32_t frame, RecordingBackend& gfx)>;
    void setFrameObserver(FrameObserver observer) { observer_ = std::move(observer); }

    // What the recording device's adapter reports (the synthetic adapter
    // unless set), e.g. the survey of the adapter the frames are to be
    // drawn on afterwards.
    void setSurvey(AdapterSurvey survey) { survey_ = std::move(survey); }

    // The replay slots whose files exist in the copy's "replay" folder.
    std::vector<std::int32_t> replaySlots() const;

private:
    TempFolder folder_;
    std::string error_;
    std::uint32_t idleLimit_ = 120;
    bool stopWhenSaved_ = false;
    FrameObserver observer_;
    AdapterSurvey survey_ = AdapterSurvey::standard();
};

// One value for a whole trace: a hash over its frame lines in order.
std::uint64_t hashTrace(const std::vector<std::string>& trace);
// The frame lines of a trace ("<stage> <frame> <hash>"), without the others.
std::vector<std::string> frameLines(const std::vector<std::string>& trace);
