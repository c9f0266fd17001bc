// The graphics suites' fixture: a temporary game folder with its debug log, a
// test window as the main window, the recording device as the graphics
// backend and box glyphs as the font backend. The device object it makes is
// the process's g_d3dObject for the test's life.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/D3DObject.h"
#include "input/DInputObject.h"
#include "platform/Glyph.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "support/TestSupport.h"

class GfxTest : public ::testing::Test {
protected:
    GfxTest() {
        Window::setInstance(&window);
        window.create("t", 0, 0, 640, 480, nullptr);
        GlyphSystem::setInstance(&glyphs);
        // The frame draws only with an input manager.
        g_dinputObject = &input;
    }
    ~GfxTest() override {
        destroy();
        delete g_systemInfo;
        g_systemInfo = nullptr;
        GlyphSystem::setInstance(nullptr);
        Window::setInstance(nullptr);
        g_dinputObject = nullptr;
    }

    // The device object after the start-up survey.
    D3DObject& surveyed() {
        destroy();
        object = std::make_unique<D3DObject>();
        g_d3dObject = object.get();
        EXPECT_EQ(object->initDirect3D(), S_OK);
        return *object;
    }
    // The device object with a device of the given settings, its states as
    // start-up leaves them.
    D3DObject& created(std::uint32_t width = 640, std::uint32_t height = 480, std::uint32_t windowed = 1,
                       std::uint32_t use16Bit = 0, std::uint32_t vsync = 1) {
        D3DObject& d3d = surveyed();
        EXPECT_EQ(d3d.initDevice(width, height, 60, windowed, 0, use16Bit, vsync), S_OK);
        d3d.setVirtualScreenSize(640, 480);
        return d3d;
    }
    void destroy() {
        object.reset();
        g_d3dObject = nullptr;
    }
    RecordingDevice& device() { return *gfx.device(); }
    // The recorded calls since the last clearCalls.
    std::vector<std::string> calls() const { return gfx.callTexts(); }

    LoggedTest log;
    TestWindow window;
    RecordingBackend gfx;
    BoxGlyphSystem glyphs;
    DInputObject input;
    std::unique_ptr<D3DObject> object;
};

// Compares a text with the golden file tests/fixtures/graphics/<name>; with
// VORLY_UPDATE_GOLDENS set in the environment, writes the file instead.
void expectGolden(const std::string& name, const std::string& text);

// Adapters the survey tests describe, each a copy of the standard one with
// its modes, formats and capabilities narrowed.
// A typical board: X8R8G8B8 modes 640 x 480 at 60 and 75 Hz, 800 x 600 at 60
// Hz and a 1024 x 700 mode of no listed size; R5G6B5 640 x 480 at 60 Hz; two
// 32-bit pairs and the R5G6B5 pair; depth D16 and D24S8.
AdapterSurvey typicalAdapter();
// The same board whose display modes all refresh at 75 Hz.
AdapterSurvey adapterWithout60Hz();
// One X8R8G8B8 pair, one 640 x 480 mode at 60 Hz, depth D16.
AdapterSurvey minimalAdapter();
