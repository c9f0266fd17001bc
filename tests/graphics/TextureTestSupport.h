// Texture suites' fixture: the recording device of GfxTest, a 640 x 480
// device, and a "texture" archive packed from files the test writes.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "graphics/GfxTestSupport.h"
#include "graphics/ImageFiles.h"
#include "platform/gfx/PngWriter.h"
#include "services/ArchiveManager.h"

class TextureTest : public GfxTest {
protected:
    TextureTest() { created(); }
    ~TextureTest() override {
        delete g_archiveManager;
        g_archiveManager = nullptr;
    }
    // Packs the files into the game folder's "texture" archive.
    void pack(const std::vector<std::pair<std::string, FileBytes>>& entries) {
        for (const auto& [name, bytes] : entries) log.root().writeFile("texture/" + name, bytes);
        delete g_archiveManager;
        g_archiveManager = new ArchiveManager();
        ASSERT_EQ(g_archiveManager->buildTextureArchive("texture"), S_OK);
        g_archiveManager->loadIndex("texture");
    }
    // Level 0 of a device texture as A8R8G8B8.
    static std::vector<std::uint32_t> pixels(GfxTexture* texture, std::uint32_t* width = nullptr) {
        std::vector<std::uint32_t> argb;
        std::uint32_t w = 0, h = 0;
        EXPECT_EQ(readTextureLevel(texture, 0, argb, w, h), D3D_OK);
        if (width) *width = w;
        return argb;
    }
    // The log lines written since the fixture began that follow the first
    // line containing `from`.
    std::vector<std::string> linesFrom(const std::string& from) const {
        std::vector<std::string> lines = log.logLines(), out;
        bool on = false;
        for (const std::string& line : lines) {
            if (!on && line.find(from) != std::string::npos) on = true;
            if (on) out.push_back(line);
        }
        return out;
    }
};
