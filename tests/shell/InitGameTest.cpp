// The game initialisation's render targets: the effect target only for the
// system types that use it with the 3-D background drawn, and what its failure
// leaves behind.
#include <gtest/gtest.h>

#include "graphics/D3DObject.h"
#include "platform/Glyph.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/InitGame.h"
#include "shell/ReleaseAll.h"
#include "support/TestSupport.h"

TEST(InitGameTargets, EffectTargetOnlyForSystemTypesTwoAndFourWithTheBackground) {
    struct Case {
        std::uint32_t systemType;
        std::uint32_t drawBg;
        bool effectTried;
    } cases[] = {
        {2, 1, true}, {4, 1, true}, {2, 0, false}, {4, 0, false}, {0, 1, false}, {1, 1, false}, {3, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "system type " << c.systemType << " drawBg " << c.drawBg);
        LoggedTest test;
        TestWindow window;
        Window::setInstance(&window);
        BoxGlyphSystem glyphs;
        GlyphSystem::setInstance(&glyphs);
        RecordingBackend gfx;
        g_systemInfo = new SystemInfo();
        g_systemInfo->setSystemType(c.systemType);
        g_systemInfo->setDrawBg(c.drawBg);
        ASSERT_TRUE(window.create("t", 0, 0, 640, 480, nullptr));
        ASSERT_EQ(createDirect3DObject(), S_OK);

        // The effect target cannot be made on this device: start-up goes on
        // without it, and says so once.
        EXPECT_EQ(InitGame(640, 480, false, 1, 1), S_OK);
        EXPECT_EQ(test.logContains("エフェクト用レンダリングターゲットを無効にします"), c.effectTried);
        EXPECT_EQ(g_systemInfo->isEffectTargetEnabled(), c.effectTried ? 0u : 1u);
        ASSERT_NE(g_d3dObject->getRenderTarget(0), nullptr);
        EXPECT_EQ(g_d3dObject->getRenderTarget(0)->getMode(), RenderTarget::kModeBackBuffer);
        EXPECT_NE(g_frameCounter, nullptr);
        EXPECT_NE(g_textureManager, nullptr);

        releaseAll();
        EXPECT_EQ(g_textureManager, nullptr);
        GlyphSystem::setInstance(nullptr);
        Window::setInstance(nullptr);
    }
}
