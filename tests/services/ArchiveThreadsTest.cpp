// The main thread reads textures while two loader threads read scripts, as
// the game does once the loaders work in the background. Every read must come
// back whole and unmixed; under ThreadSanitizer the run must be race-free.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "ArchiveTestSupport.h"

namespace {
using ArchiveThreads = ArchiveTest;

constexpr int kRounds = 12;
}  // namespace

TEST_F(ArchiveThreads, TextureReadsAndScriptReadsAtOnceStayWhole) {
    std::vector<std::pair<std::string, Bytes>> textures;
    std::vector<std::pair<std::string, Bytes>> scripts;
    for (std::uint32_t i = 0; i < 6; ++i) {
        textures.emplace_back("tex" + std::to_string(i) + ".bmp", runnyBytes(20000 + 7919 * i, i));
        std::string text = "<exbulletml>";
        for (std::uint32_t n = 0; n < 400 + 150 * i; ++n) text += "<wait>" + std::to_string(n * i) + "</wait>";
        scripts.emplace_back("stage" + std::to_string(i) + ".xml", bytesOf(text + "</exbulletml>"));
    }
    for (const auto& [name, bytes] : textures) writeFile("texture/" + name, bytes);
    for (const auto& [name, bytes] : scripts) writeFile("script/" + name, bytes);
    ASSERT_EQ(archive->buildTextureArchive("texture"), S_OK);
    ASSERT_EQ(archive_builder::build("script", ArchiveForm::HuffmanScrambled), S_OK);
    archive->loadIndex("texture");

    std::atomic<int> wrongReads{0};
    auto readScripts = [&](std::size_t first) {
        for (int round = 0; round < kRounds; ++round) {
            for (std::size_t k = 0; k < scripts.size(); ++k) {
                const auto& [name, bytes] = scripts[(first + k) % scripts.size()];
                // Script entries enter the map on first use, from either thread.
                std::uint32_t stored = archive->getEntrySize("script", name);
                if (archive->readDecoded("script", name, stored) != bytes) ++wrongReads;
            }
        }
    };
    WorkerThread loaderA;
    WorkerThread loaderB;
    loaderA.start([&] { readScripts(0); });
    loaderB.start([&] { readScripts(3); });
    for (int round = 0; round < kRounds; ++round) {
        for (const auto& [name, bytes] : textures) {
            std::uint32_t stored = archive->getEntrySize("texture", name);
            if (archive->readExpanded("texture", name, stored) != bytes) ++wrongReads;
        }
    }
    loaderA.join();
    loaderB.join();
    EXPECT_EQ(wrongReads.load(), 0);
    EXPECT_FALSE(logContains("FAILED"));
}
