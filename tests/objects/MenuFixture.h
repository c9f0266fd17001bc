// The menu and player suites' bench: the object fixture with the runtime and
// selectable pools filled, inline scripts parsed and linked as the game reset
// does, a scripted input manager whose buttons the test holds frame by frame,
// and a frame that runs the player step and then the object step.
#pragma once
#include <initializer_list>
#include <memory>
#include <set>
#include <string>

#include "input/DInputObject.h"
#include "objects/ObjectFixture.h"
#include "objects/PlayerStep.h"
#include "objects/SelectableObject.h"
#include "objects/SelectableObjectManager.h"
#include "script/BoostContentHandler.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"

// An input manager whose answers come from the buttons the test holds: each
// update shifts one frame into a 16-poll mask per button (bit 0 newest). The
// play, live and raw histories answer alike unless the live buttons are held
// apart (holdLive).
class ScriptedButtons : public DInputObject {
public:
    void hold(std::initializer_list<std::int32_t> buttons) { held_ = buttons; }
    void holdLive(std::initializer_list<std::int32_t> buttons) {
        live_ = buttons;
        liveApart_ = true;
    }
    std::int32_t update() override {
        ++updates;
        for (std::int32_t button = 0; button < kSlots; ++button) {
            play_[button] = shift(play_[button], held_.count(code(button)) != 0);
            live_mask_[button] = shift(live_mask_[button], (liveApart_ ? live_ : held_).count(code(button)) != 0);
        }
        return 0;
    }
    std::int32_t getButton(std::int32_t button) override { return mask(play_, button); }
    std::int32_t getButtonFrame(std::int32_t button) override { return mask(live_mask_, button); }
    std::int32_t getButtonRaw(std::int32_t button) override { return mask(live_mask_, button); }
    int updates = 0;

private:
    static constexpr std::int32_t kSlots = 16;
    // Slots 0-11 the buttons, 12-15 the directions 100-103.
    static std::int32_t code(std::int32_t slot) { return slot < 12 ? slot : slot - 12 + 100; }
    static std::int32_t slotOf(std::int32_t button) {
        if (button >= 0 && button < 12) return button;
        if (button >= 100 && button <= 103) return button - 100 + 12;
        return -1;
    }
    static std::int32_t shift(std::int32_t mask, bool down) { return ((mask << 1) | (down ? 1 : 0)) & 0xFFFF; }
    static std::int32_t mask(const std::int32_t* masks, std::int32_t button) {
        const std::int32_t slot = slotOf(button);
        return slot < 0 ? 0 : masks[slot];
    }
    std::set<std::int32_t> held_;
    std::set<std::int32_t> live_;
    bool liveApart_ = false;
    std::int32_t play_[kSlots] = {};
    std::int32_t live_mask_[kSlots] = {};
};

class MenuTest : public ObjectTest {
protected:
    MenuTest();
    ~MenuTest() override;

    // Parses `body` inside an "exbulletml" root and links it.
    BulletML_Node_Manager& load(const std::string& body);
    // Parses a whole script document (the text of a script file).
    BulletML_Node_Manager& loadDocument(const std::string& text);
    static NameHandle wide(const char16_t* text) { return internWideName(text); }
    // A plain object whose main runtime starts at the "action" labelled
    // `label`, named with the label as the game reset names its top objects.
    BulletObject* spawn(const char16_t* label, float x = 320.0f, float y = 240.0f);
    // A player object at (x, y) with the field of the whole screen.
    BulletObject* makePlayer(float x = 320.0f, float y = 240.0f);
    // One frame: the held buttons, the player step, the object step.
    void step(std::initializer_list<std::int32_t> held = {});
    void steps(int n, std::initializer_list<std::int32_t> held = {}) {
        for (int i = 0; i < n; ++i) step(held);
    }
    float var(const char* name) { return game().getVar(internName(name)); }
    void setVar(const char* name, float value) { game().setVar(internName(name), value); }
    SelectableObjectManager& menu() { return *manager().getSelectableManager(); }
    SelectableObjectManager& pauseMenu() { return *manager().getPauseSelectableManager(); }

    std::unique_ptr<ScriptedButtons> input;

private:
    std::unique_ptr<BoostContentHandler> content_;
};
