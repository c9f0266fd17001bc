// A game folder with a log, the scripted input backend installed, and the
// game records, configuration and replay manager the input manager consults.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "input/DInputObject.h"
#include "input/ReplayManager.h"
#include "platform/Input.h"
#include "records/GameInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "support/TestSupport.h"

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        Input::setInstance(&input);
        g_systemInfo = new SystemInfo();
        g_gameInfo = new GameInfo();
        g_replayManager = new ReplayManager();
    }
    void TearDown() override {
        manager.reset();
        delete g_replayManager;
        g_replayManager = nullptr;
        delete g_gameInfo;
        g_gameInfo = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
        Input::setInstance(nullptr);
    }

    // The manager as start-up creates it.
    DInputObject& start() {
        manager = std::make_unique<DInputObject>();
        manager->init();
        return *manager;
    }
    void setPaused(bool paused) {
        g_gameInfo->requestPauseState(paused ? 1 : 0);
        g_gameInfo->applyPauseToggle();
    }
    void writeData(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        log.root().writeFile("data/" + name, bytes);
    }
    std::string readData(const std::string& name) const { return log.root().readFile("data/" + name); }

    LoggedTest log;
    ScriptedInput input;
    std::unique_ptr<DInputObject> manager;
};
