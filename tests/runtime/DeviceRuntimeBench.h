// The runtime bench with a device: a test window, the recording graphics
// backend with a 640 x 480 device (virtual screen alike) as g_d3dObject, box
// glyphs for text; `run` executes a script body on a fresh object.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "RuntimeTestSupport.h"
#include "graphics/D3DObject.h"
#include "platform/Glyph.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"

class DeviceRuntimeBench : public RuntimeBench {
protected:
    DeviceRuntimeBench() {
        Window::setInstance(&window);
        window.create("t", 0, 0, 640, 480, nullptr);
        GlyphSystem::setInstance(&glyphs);
        d3d = std::make_unique<D3DObject>();
        g_d3dObject = d3d.get();
        EXPECT_EQ(d3d->initDirect3D(), S_OK);
        EXPECT_EQ(d3d->initDevice(640, 480, 60, 1, 0, 0, 1), S_OK);
        d3d->setVirtualScreenSize(640, 480);
    }
    ~DeviceRuntimeBench() override {
        d3d.reset();
        g_d3dObject = nullptr;
        GlyphSystem::setInstance(nullptr);
        Window::setInstance(nullptr);
    }

    // Runs `body` as the children of "top" (then an endless wait) on a fresh
    // object for n frames; `before` prepares the object before its first.
    BulletObject* run(const std::string& body, int n = 1, const std::function<void(BulletObject&)>& before = {},
                      const std::string& definitions = "") {
        trace_.clear();
        frame_ = 0;
        manager().clearAll();
        load(R"(<action label="top">)" + body + "<wait>-1</wait></action>" + definitions);
        BulletObject* object = spawn("top");
        traceRuntime(object->getMainRuntime());
        if (before) before(*object);
        frames(n);
        return object;
    }
    void setGlobal(const char* name, float value) { g_gameInfo->setGlobalVar(internName(name), value); }

    TestWindow window;
    RecordingBackend gfx;
    BoxGlyphSystem glyphs;
    std::unique_ptr<D3DObject> d3d;
};
