// A game folder with a "data" folder, a captured debug log and a fixed network
// adapter, plus the record fields the score file reads and writes.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Machine.h"
#include "records/LocalScoreTables.h"
#include "records/ScoreFile.h"
#include "support/TestSupport.h"

struct ScoreRecordFields {
    LocalScoreTables tables;
    std::array<std::uint32_t, 2> machineId{};
    std::array<std::uint32_t, 2> playerName{};
    std::array<std::uint32_t, 9> reachStage{};
    std::array<std::uint32_t, 8> endingBits{};
    SavedFlagMap savedFlags[3];

    ScoreRecordFields() { tables.resetForLoad(); }
    ScoreFileFields fields() {
        return ScoreFileFields{tables, machineId, playerName, reachStage, endingBits,
                               {&savedFlags[0], &savedFlags[1], &savedFlags[2]}};
    }
};

class RecordFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        machine_.address = HardwareAddress{0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
        Machine::setInstance(&machine_);
        std::filesystem::create_directories(log_.root().path() / "data");
    }
    void TearDown() override { Machine::setInstance(nullptr); }

    std::vector<std::uint8_t> readBytes(const std::string& relative) const {
        std::string text = log_.root().readFile(relative);
        return std::vector<std::uint8_t>(text.begin(), text.end());
    }
    void writeBytes(const std::string& relative, const std::vector<std::uint8_t>& bytes) const {
        log_.root().writeFile(relative, bytes);
    }

    LoggedTest log_;
    FixedMachine machine_;
};
