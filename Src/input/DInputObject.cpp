#include "input/DInputObject.h"

#include <algorithm>
#include <string>

#include "input/DInputDeviceJoystick.h"
#include "input/DInputDeviceKeyboard.h"
#include "input/KeyConfigData.h"
#include "input/ReplayManager.h"
#include "platform/InputKeyTable.h"
#include "platform/Text.h"
#include "records/GameInfo.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
constexpr std::int32_t kDefaultStoredMap[16] = {100, 101, 102, 103, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
// Never observable (init takes the keyboard file's bytes, and without the
// file the fixed key sets answer), kept as the constructor sets it.
constexpr std::int32_t kConstructorKeyboardMap[16] = {200, 208, 203, 205, 57, 44, 45, 29, 46, 1, 0, 0, 0, 0, 0, 0};
constexpr std::int32_t kCursorKeys[4] = {kDikUp, kDikDown, kDikLeft, kDikRight};
constexpr std::int32_t kInitialDevices = 16;

// The virtual buttons in the order the writer is given them: 0..11, 100..103.
constexpr std::int32_t kWordButtons[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 100, 101, 102, 103};

bool isButtonBelow100(std::int32_t n) { return n >= 0 && n < kButtonCount; }
bool isDirection(std::int32_t n) { return n >= kButtonUp && n <= kButtonRight; }

// The keyboard map entry used for `entry` of the keyboard file. A button's
// entry that names no key of the keyboard (a damaged file: 0x00, 0xFF) would
// leave the button dead, and no scene edits the keyboard map, so the
// button's fixed key stands in, logged. The directions (entries 0..3) always
// use the cursor keys, and buttons without a fixed key keep their entry.
std::int32_t keyboardMapEntry(std::size_t entry, std::uint8_t key) {
    const std::uint8_t fixed = KeyboardConfigBuffer{}.keys[entry];
    if (entry < 4 || fixed == 0 || isKeyboardDik(key)) return key;
    logLine(std::string(KeyboardConfigBuffer::kPath) + " の " + std::to_string(entry) + " 番目の値 " +
            std::to_string(key) + " はキーではないため、既定のキー " + std::to_string(fixed) + " を使います");
    return fixed;
}

std::int32_t replayMode() { return g_replayManager ? g_replayManager->getMode() : ReplayManager::kRecord; }
bool gameRunning() { return g_gameInfo && !g_gameInfo->isPaused(); }
}  // namespace

DInputObject::DInputObject() {
    devices_.resize(kInitialDevices);
    std::copy(std::begin(kDefaultStoredMap), std::end(kDefaultStoredMap), storedMap_);
    std::copy(std::begin(kDefaultStoredMap), std::end(kDefaultStoredMap), workingMap_);
    std::copy(std::begin(kConstructorKeyboardMap), std::end(kConstructorKeyboardMap), keyboardMap_);
}

DInputObject::~DInputObject() {
    for (std::unique_ptr<DInputDevice>& device : devices_) device.reset();
    writer_.reset();
    reader_.reset();
    keyConfig_.reset();
    keyboardConfig_.reset();
}

void DInputObject::addDevice(std::unique_ptr<DInputDevice> device) {
    device->setIndex(deviceCount_);
    if (deviceCount_ < static_cast<std::int32_t>(devices_.size())) {
        devices_[static_cast<std::size_t>(deviceCount_)] = std::move(device);
    } else {
        devices_.push_back(std::move(device));
    }
    ++deviceCount_;
}

DInputDevice* DInputObject::getDevice(std::int32_t index) const {
    if (index < 0 || index >= deviceCount_) return nullptr;
    return devices_[static_cast<std::size_t>(index)].get();
}

std::int32_t DInputObject::init() {
    input_ = Input::instance();
    if (input_ && !input_->start()) logLine("ジョイスティックの初期化に失敗しました。キーボードのみ使用します");

    auto keyboard = std::make_unique<DInputDeviceKeyboard>();
    DInputDeviceKeyboard* keyboardDevice = keyboard.get();
    addDevice(std::move(keyboard));
    keyboardDevice->create(input_, nullptr);
    if (input_) {
        for (std::size_t i = 0; i < input_->controllers().size(); ++i) {
            auto joystick = std::make_unique<DInputDeviceJoystick>();
            DInputDeviceJoystick* joystickDevice = joystick.get();
            addDevice(std::move(joystick));
            joystickDevice->createAt(input_, i);
        }
    }

    keyConfig_ = std::make_unique<KeyConfigData>();
    chooseJoystick(LoadKeyConfig(*keyConfig_) == 0);
    std::copy(std::begin(storedMap_), std::end(storedMap_), workingMap_);

    keyboardConfig_ = std::make_unique<KeyboardConfigBuffer>();
    if (LoadKeyboardConfig(*keyboardConfig_) == 0) {
        keyboardMapFlag_ = 1;
        for (std::size_t i = 0; i < KeyboardConfigBuffer::kSize; ++i)
            keyboardMap_[i] = keyboardMapEntry(i, keyboardConfig_->keys[i]);
    }

    lockMask_ |= kLockInitialised;
    writer_ = std::make_unique<DInputDeviceReplayWriter>();
    writer_->create(input_, nullptr);
    reader_ = std::make_unique<DInputDeviceReplayReader>();
    reader_->create(input_, nullptr);
    return 1;
}

void DInputObject::chooseJoystick(bool configRead) {
    const KeyConfigData& config = *keyConfig_;
    if (configRead && config.name != "none") {
        std::int32_t found = -1;
        for (std::int32_t i = 0; i < deviceCount_ && found < 0; ++i) {
            if (devices_[static_cast<std::size_t>(i)]->getName() == config.name) found = i;
        }
        if (found < 0) {
            // The stored controller is not attached: the last device stands in.
            logLine("キーコンフィグのジョイスティック「" + text::cp932ToUtf8(config.name) +
                    "」が見つかりません。最後のデバイスを使用します");
            found = deviceCount_ - 1;
        }
        joystick_ = std::max(found, 0);
        for (std::size_t i = 0; i < KeyConfigData::kMapSize; ++i) storedMap_[i] = config.map[i];
    } else if (deviceCount_ > 1) {
        joystick_ = deviceCount_ - 1;
        for (std::size_t i = 0; i < KeyConfigData::kMapSize; ++i) storedMap_[i] = config.map[i];
    }
}

std::int32_t DInputObject::pollDevice(std::int32_t device) {
    DInputDevice* d = getDevice(device);
    return d ? d->pollFrame() : 0;
}

std::int32_t DInputObject::pollDeviceNoFrame(std::int32_t device) {
    DInputDevice* d = getDevice(device);
    return d ? d->poll() : 0;
}

std::int32_t DInputObject::deviceAnswer(std::int32_t device, std::int32_t n, History history) {
    DInputDevice* d = getDevice(device);
    if (!d) return 0;
    const bool play = history == History::Play;
    if (device != 0) {
        // A joystick through the stored map; numbers that are no virtual
        // button have no map entry and answer 0.
        std::int32_t number;
        if (isDirection(n)) {
            number = storedMap_[n - kButtonUp];
        } else if (history == History::Raw && n < kButtonUp) {
            number = n;
        } else if (isButtonBelow100(n)) {
            number = storedMap_[n + 4];
        } else {
            return 0;
        }
        return play ? d->getButtonHistoryFrame(number) : d->getButtonHistory(number);
    }
    if (!keyboardMapFlag_) return play ? d->getButtonHistoryFrame(n) : d->getButtonHistory(n);
    if (isDirection(n)) {
        const std::int32_t key = kCursorKeys[n - kButtonUp];
        return play ? d->getKeyHistoryFrame(key) : d->getKeyHistory(key);
    }
    if (!isButtonBelow100(n)) return 0;
    // The flag is the button number: button 0 also answers to Return.
    const std::int32_t key = keyboardMap_[n + 4];
    return play ? d->getKeyHistoryExFrame(key, n) : d->getKeyHistoryEx(key, n);
}

std::int32_t DInputObject::getDeviceButton(std::int32_t device, std::int32_t button) {
    return deviceAnswer(device, button, History::Play);
}

std::int32_t DInputObject::getDeviceButtonFrame(std::int32_t device, std::int32_t button) {
    return deviceAnswer(device, button, History::Live);
}

std::int32_t DInputObject::getDeviceButtonRaw(std::int32_t device, std::int32_t number) {
    return deviceAnswer(device, number, History::Raw);
}

std::int32_t DInputObject::answer(std::int32_t button, History history) {
    if (joystick_ == 0) return deviceAnswer(0, button, history);
    // A non-zero joystick mask wins; the two are not OR-ed.
    const std::int32_t joystick = deviceAnswer(joystick_, button, history);
    return joystick != 0 ? joystick : deviceAnswer(0, button, history);
}

bool DInputObject::readerAnswers(std::int32_t button) const {
    if (button == kButtonPause || !reader_ || !gameRunning()) return false;
    if (!g_replayManager || g_replayManager->getMode() != ReplayManager::kPlayBack) return false;
    return (lockMask_ & kLockReplay) || ((lockMask_ & kLockReplayStage) && !(lockMask_ & kLockStageEnded));
}

bool DInputObject::recordedWordsAnswer(std::int32_t button) const {
    return button != kButtonPause && writer_ && gameRunning() && g_replayManager &&
           g_replayManager->getMode() != ReplayManager::kPlayBack;
}

std::int32_t DInputObject::getButton(std::int32_t button) {
    if (readerAnswers(button)) return reader_->getButtonHistory(button);
    if (!enabled_) return 0;
    if (recordedWordsAnswer(button)) {
        const int bit = inputWordBit(button);
        if (bit < 0) return 0;
        return historyMask([&](int entry) { return (recordedHistory_[entry] >> bit & 1) != 0; });
    }
    return answer(button, History::Play);
}

std::int32_t DInputObject::getButtonFrame(std::int32_t button) {
    if (readerAnswers(button)) return reader_->getButtonHistory(button);
    if (!enabled_) return 0;
    return answer(button, History::Live);
}

std::int32_t DInputObject::getButtonRaw(std::int32_t button) { return answer(button, History::Raw); }

std::int32_t DInputObject::update() {
    if (!g_gameInfo || !g_replayManager) return 0;
    const bool recording = replayMode() != ReplayManager::kPlayBack;
    std::int32_t result;
    if (g_gameInfo->isPaused()) {
        result = pollDeviceNoFrame(joystick_);
        if (joystick_ != 0) result = pollDeviceNoFrame(0);
        // The pause's presses join the word of the last unpaused frame; no
        // word is appended while paused.
        if (writer_ && recording) {
            for (std::int32_t n : kWordButtons) writer_->setButton(n, getButton(n));
            recordedHistory_[0] = writer_->getCurrentWord();
        }
        return result;
    }
    if (!recording && reader_) reader_->pollFrame();
    if (recording && writer_) writer_->pollFrame();
    result = pollDevice(joystick_);
    if (joystick_ != 0) result = pollDevice(0);
    if (writer_ && recording) {
        for (std::int32_t n : kWordButtons) writer_->setButton(n, getButtonFrame(n));
        std::copy_backward(recordedHistory_, recordedHistory_ + kHistoryLength - 1,
                           recordedHistory_ + kHistoryLength);
        recordedHistory_[0] = writer_->getCurrentWord();
    }
    return result;
}

void DInputObject::setKeyAssign(std::int32_t index, std::int32_t value) {
    workingMap_[std::clamp(index, 0, kButtonCount - 1) + 4] = value;
}

std::int32_t DInputObject::getKeyAssign(std::int32_t index) const {
    // A script may pass any value: outside 0..11 there is no entry.
    if (index < 0 || index >= kButtonCount) return 0;
    return workingMap_[index + 4];
}

std::int32_t DInputObject::saveKeyConfig() {
    if (!keyConfig_) keyConfig_ = std::make_unique<KeyConfigData>();
    for (std::int32_t i = 4; i < 16; ++i) {
        storedMap_[i] = workingMap_[i];
        keyConfig_->setMap(i, static_cast<std::uint8_t>(storedMap_[i] & 0xFF));
    }
    return SaveKeyConfig(*keyConfig_);
}

void DInputObject::clearKeyConfig() { std::copy(std::begin(storedMap_), std::end(storedMap_), workingMap_); }

void DInputObject::resetReplayReader() {
    if (reader_ && g_systemInfo && g_systemInfo->getReplay() > 0) reader_->create(input_, nullptr);
}

void DInputObject::clearKeyState() {
    for (std::int32_t i = 0; i < deviceCount_; ++i) devices_[static_cast<std::size_t>(i)]->clearState();
    if (writer_) writer_->clearState();
    if (reader_) reader_->clearState();
    std::fill(std::begin(recordedHistory_), std::end(recordedHistory_), InputWord{0});
}

std::vector<std::uint8_t> DInputObject::takeRecordedWords() {
    if (!writer_) return {};
    std::vector<std::uint8_t> bytes = writer_->getWordBytes();
    writer_->create(input_, nullptr);
    return bytes;
}

void DInputObject::loadRecordedWords(const std::uint8_t* bytes, std::size_t length) {
    if (reader_) reader_->loadWords(bytes, length);
}
