// The input manager: owns the devices (keyboard first, then every controller
// present at start-up), the replay writer and reader, the key configuration
// and the button maps. `update` runs once per frame before any question; the
// game then asks for virtual buttons and gets 16-frame history masks.
//
// Naming trap kept from the design: `getButton` answers from the play
// histories (standing still while paused), `getButtonFrame` from the live ones.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "input/DInputDevice.h"
#include "input/DInputDeviceReplayReader.h"
#include "input/DInputDeviceReplayWriter.h"
#include "input/KeyConfigData.h"
#include "input/VirtualButton.h"

class DInputObject {
public:
    static constexpr std::int32_t kLockReplay = 0x1;
    static constexpr std::int32_t kLockReplayStage = 0x4;
    static constexpr std::int32_t kLockInitialised = 0x8;
    static constexpr std::int32_t kLockStageEnded = 0x10;

    DInputObject();
    virtual ~DInputObject();

    virtual std::int32_t update();
    virtual std::int32_t pollDevice(std::int32_t device);
    virtual std::int32_t pollDeviceNoFrame(std::int32_t device);
    virtual std::int32_t getButton(std::int32_t button);
    virtual std::int32_t getDeviceButton(std::int32_t device, std::int32_t button);
    virtual std::int32_t getButtonFrame(std::int32_t button);
    virtual std::int32_t getDeviceButtonFrame(std::int32_t device, std::int32_t button);
    virtual std::int32_t getButtonRaw(std::int32_t button);
    virtual std::int32_t getDeviceButtonRaw(std::int32_t device, std::int32_t number);
    // Opens the platform's input, the devices, reads both key files, chooses
    // the joystick, creates the replay devices. Result 1.
    virtual std::int32_t init();
    virtual void setEnabled(std::int32_t flag) { enabled_ = flag; }
    virtual std::int32_t isEnabled() const { return enabled_; }

    // The key configuration screen's access to the working map (button 0..11).
    void setKeyAssign(std::int32_t index, std::int32_t value);
    std::int32_t getKeyAssign(std::int32_t index) const;
    // Working map entries 4-15 become the stored map and are written to
    // "data\keyconfig.dat". 0 on success, 1 when the write failed.
    std::int32_t saveKeyConfig();
    // The working map goes back to the stored map.
    void clearKeyConfig();
    void resetReplayReader();
    // Every device's state and histories, the writer's and reader's words and
    // the history of recorded words.
    void clearKeyState();
    void setLockMask(std::int32_t bits) { lockMask_ |= bits; }
    void clearLockMask(std::int32_t bits) {
        if (lockMask_ & bits) lockMask_ &= ~bits;
    }
    std::int32_t getLockMask() const { return lockMask_; }

    DInputDeviceReplayWriter* getReplayWriter() const { return writer_.get(); }
    DInputDeviceReplayReader* getReplayReader() const { return reader_.get(); }
    // The words recorded since the writer's last reset as a big-endian byte
    // string; the writer is reset afterwards (the end of a recorded stage).
    std::vector<std::uint8_t> takeRecordedWords();
    // Loads the reader with a big-endian byte string of words.
    void loadRecordedWords(const std::uint8_t* bytes, std::size_t length);

    std::int32_t getDeviceCount() const { return deviceCount_; }
    DInputDevice* getDevice(std::int32_t index) const;
    std::int32_t getChosenJoystick() const { return joystick_; }
    std::int32_t getStoredMap(std::int32_t index) const { return storedMap_[index & 15]; }
    std::int32_t getKeyboardMap(std::int32_t index) const { return keyboardMap_[index & 15]; }
    std::int32_t hasKeyboardMap() const { return keyboardMapFlag_; }
    const KeyConfigData* getKeyConfig() const { return keyConfig_.get(); }

private:
    enum class History { Play, Live, Raw };
    std::int32_t deviceAnswer(std::int32_t device, std::int32_t button, History history);
    std::int32_t answer(std::int32_t button, History history);
    bool readerAnswers(std::int32_t button) const;
    bool recordedWordsAnswer(std::int32_t button) const;
    void addDevice(std::unique_ptr<DInputDevice> device);
    void chooseJoystick(bool configRead);

    Input* input_ = nullptr;
    std::vector<std::unique_ptr<DInputDevice>> devices_;
    std::int32_t deviceCount_ = 0;
    std::int32_t joystick_ = 0;
    std::unique_ptr<KeyConfigData> keyConfig_;
    std::unique_ptr<KeyboardConfigBuffer> keyboardConfig_;
    std::int32_t storedMap_[16];
    std::int32_t keyboardMap_[16];
    std::int32_t keyboardMapFlag_ = 0;
    std::int32_t enabled_ = 1;
    std::int32_t lockMask_ = 0;
    std::int32_t workingMap_[16];
    std::unique_ptr<DInputDeviceReplayWriter> writer_;
    std::unique_ptr<DInputDeviceReplayReader> reader_;
    // The words `update` has computed, newest first: while recording, the
    // game's answers are built from them, so that play back (which rebuilds
    // its answers from the same words) answers bit for bit alike.
    InputWord recordedHistory_[kHistoryLength] = {};
};
