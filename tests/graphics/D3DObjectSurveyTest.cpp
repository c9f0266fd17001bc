// The adapter survey and device creation: the debug log of whole start-ups
// against goldens, and the survey's and creation's branches.
#include "GfxTestSupport.h"

namespace {
class D3DObjectSurvey : public GfxTest {};
class D3DObjectCreation : public GfxTest {};
}  // namespace

TEST_F(D3DObjectSurvey, TypicalAdapterWindowedStartUpLog) {
    gfx.survey = typicalAdapter();
    created();
    expectGolden("startup_typical.txt", log.logText());
    // 640 x 480 matched the first window record: A8R8G8B8 with D16.
    EXPECT_EQ(gfx.callsOf("CreateDevice"),
              std::vector<std::string>{"CreateDevice(0, 1, 0x42, 640x480 D3DFMT_A8R8G8B8 windowed 1 depth 1 "
                                       "D3DFMT_D16 refresh 0 interval 0x0)"});
    // Two refresh rates of 640 x 480 give two equal records per pair and
    // depth; the 1024 x 700 mode matches no size.
    // Per depth format: three X8R8G8B8 modes of listed sizes for each of the
    // two 32-bit pairs, one R5G6B5 mode.
    EXPECT_EQ(object->combinations(1).size(), 2u * (3u + 3u + 1u));
    EXPECT_EQ(object->getTextureMemoryUsed(), 0);
    EXPECT_GT(object->getAvailableTextureMem(), 0u);
}

TEST_F(D3DObjectSurvey, AdapterWithout60HzFallsBackToAnyRateInFullScreen) {
    gfx.survey = adapterWithout60Hz();
    created(640, 480, 0);
    expectGolden("startup_no60hz_fullscreen.txt", log.logText());
    EXPECT_EQ(object->getRefreshRate(), 0u);
    EXPECT_FALSE(object->combinations(0).empty());
    EXPECT_EQ(gfx.callsOf("CreateDevice"),
              std::vector<std::string>{"CreateDevice(0, 1, 0x42, 640x480 D3DFMT_A8R8G8B8 windowed 0 depth 1 "
                                       "D3DFMT_D16 refresh 0 interval 0x0)"});
    // The cursor hides in full screen.
    EXPECT_EQ(window.cursorCounter(), -1);
}

TEST_F(D3DObjectSurvey, DriverWithoutStreamsCreatesWithSoftwareVertexProcessing) {
    gfx.survey = minimalAdapter();
    gfx.survey.caps.MaxStreams = 0;
    created();
    expectGolden("startup_software_vertex_processing.txt", log.logText());
    EXPECT_EQ(object->getVertexProcessing(), D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    EXPECT_EQ(device().behaviorFlags(), D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE);
}

TEST_F(D3DObjectSurvey, HardwareFailureFallsBackToFullScreenThenSoftware) {
    gfx.survey = minimalAdapter();
    // Hardware vertex processing is refused.
    gfx.survey.caps.DevCaps &= ~D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    created();
    expectGolden("startup_hardware_refused.txt", log.logText());
    std::vector<std::string> creations = gfx.callsOf("CreateDevice");
    ASSERT_EQ(creations.size(), 5u);  // window twice, full screen twice, software once
    EXPECT_NE(creations[0].find("0x42, 640x480 D3DFMT_X8R8G8B8 windowed 1"), std::string::npos);
    EXPECT_NE(creations[2].find("0x42, 640x480 D3DFMT_X8R8G8B8 windowed 0"), std::string::npos);
    EXPECT_NE(creations[4].find("0x22, 640x480 D3DFMT_X8R8G8B8 windowed 1"), std::string::npos);
    EXPECT_EQ(object->isWindowed(), 1u);
}

TEST_F(D3DObjectSurvey, CapabilityFlagsAndTextureFormats) {
    struct Case {
        const char* name;
        std::uint32_t rasterCaps, textureOpCaps, blendStages;
        bool dxt1;
        std::uint32_t fog, bump, compressed;
        const char* bumpLine;  // nullptr: no bump-mapping line
    } cases[] = {
        {"plain", D3DPRASTERCAPS_FOGVERTEX, 0, 1, true, 1, 0, 1, "バンプマッピングは利用不可能"},
        {"bump, 3 stages", 0, D3DTEXOPCAPS_BUMPENVMAP, 3, false, 0, 1, 0, "バンプマッピングが利用可能"},
        {"bump, 2 stages", 0, D3DTEXOPCAPS_BUMPENVMAPLUMINANCE, 2, true, 0, 0, 1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gfx.survey = minimalAdapter();
        gfx.survey.caps.RasterCaps = c.rasterCaps;
        gfx.survey.caps.TextureOpCaps = c.textureOpCaps;
        gfx.survey.caps.MaxTextureBlendStages = c.blendStages;
        if (!c.dxt1) gfx.survey.textureFormats.erase(D3DFMT_DXT1);
        const std::size_t before = log.logLines().size();
        D3DObject& d3d = surveyed();
        EXPECT_EQ(d3d.isCapabilityAvailable(D3DObject::kCapVertexFog), c.fog);
        EXPECT_EQ(d3d.isCapabilityAvailable(D3DObject::kCapBumpMapping), c.bump);
        EXPECT_EQ(d3d.isCapabilityAvailable(D3DObject::kCapDxt1), c.compressed);
        EXPECT_EQ(d3d.isCapabilityAvailable(7), 0u);  // an absent key
        EXPECT_EQ(d3d.isTextureFormatSupported(D3DFMT_DXT1), c.compressed);
        EXPECT_EQ(d3d.isTextureFormatSupported(D3DFMT_A8R8G8B8), 1u);
        EXPECT_EQ(d3d.isTextureFormatSupported(D3DFMT_R8G8B8), 0u);
        std::vector<std::string> lines = log.logLines();
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
        std::vector<std::string> bumpLines;
        for (const std::string& line : lines) {
            if (line.find("バンプマッピング") != std::string::npos) bumpLines.push_back(line);
        }
        EXPECT_EQ(bumpLines, c.bumpLine ? std::vector<std::string>{c.bumpLine} : std::vector<std::string>{});
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "最大テクスチャブレンドステージ数は " + std::to_string(c.blendStages)),
                  lines.end());
        destroy();
    }
}

TEST_F(D3DObjectSurvey, FailuresOfTheInterfaceAndItsQueries) {
    // No Direct3D at all: a message box, two log lines, E_FAIL.
    gfx.refuseAdapter = true;
    D3DObject none;
    EXPECT_EQ(none.initDirect3D(), E_FAIL);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].second, "Direct3D 初期化エラー");
    EXPECT_EQ(window.messageBoxes[0].first,
              "Direct3D オブジェクトの作成に失敗しました\r\nDirectX9 がインストールされていない可能性があります");
    EXPECT_TRUE(log.logContains("Direct3D オブジェクトの作成に失敗しました"));
    EXPECT_TRUE(log.logContains("DirectX9 がインストールされていない可能性があります"));
    EXPECT_EQ(none.initDevice(640, 480, 60, 1, 0, 0, 1), E_FAIL);
    EXPECT_EQ(none.surveyFormats(1), E_FAIL);
    EXPECT_EQ(none.checkDeviceCaps(), E_FAIL);
    EXPECT_EQ(none.checkTextureFormat(D3DFMT_DXT1), E_FAIL);
    none.checkTextureFormats();
    EXPECT_EQ(none.isTextureFormatSupported(D3DFMT_DXT1), 0u);
    gfx.refuseAdapter = false;

    // The identifier and capability queries log and end the survey.
    gfx.survey = minimalAdapter();
    gfx.faults.failNext("GetAdapterIdentifier", D3DERR_NOTAVAILABLE);
    D3DObject noIdentifier;
    EXPECT_EQ(noIdentifier.initDirect3D(), E_FAIL);
    EXPECT_TRUE(log.logContains("D3DObject::checkDeviceCaps() GetAdapterIdentifier()"));
    EXPECT_TRUE(log.logContains("D3DERR_NOTAVAILABLE"));

    gfx.faults.failNext("GetDeviceCaps", D3DERR_INVALIDCALL);
    D3DObject noCaps;
    EXPECT_EQ(noCaps.initDirect3D(), E_FAIL);
    EXPECT_TRUE(log.logContains("GetDeviceCaps()"));
}

TEST_F(D3DObjectSurvey, FailedModeEnumerationIsLoggedAndSkipped) {
    gfx.survey = typicalAdapter();
    // The first mode of the first pair's display format fails once.
    gfx.faults.failNext("EnumAdapterModes", D3DERR_INVALIDCALL);
    D3DObject& d3d = surveyed();
    std::vector<std::string> lines = log.logLines();
    auto at = std::find(lines.begin(), lines.end(), "Direct3D アダプタの列挙失敗");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at + 1), "D3DERR_INVALIDCALL");
    EXPECT_EQ(*(at + 2), "");
    // The survey went on: the window still has its combinations.
    EXPECT_FALSE(d3d.combinations(1).empty());
}

namespace {
// The back-buffer format named in a logged CreateDevice call.
std::string createdFormat(const std::string& call) {
    std::size_t start = call.find("640x480 ") + 8;
    return call.substr(start, call.find(' ', start) - start);
}
}  // namespace

TEST_F(D3DObjectCreation, SixteenBitColourTriesOnlySixteenBitPairs) {
    gfx.survey = AdapterSurvey::standard();
    created(640, 480, 1, 1);
    std::vector<std::string> creations = gfx.callsOf("CreateDevice");
    ASSERT_EQ(creations.size(), 1u);
    EXPECT_EQ(createdFormat(creations[0]), "D3DFMT_A1R5G5B5");
    EXPECT_EQ(object->getBackBufferFormat(), D3DFMT_A1R5G5B5);

    // Every creation failing: in the window pass the three 16-bit pairs are
    // tried in order, each with its three depth formats, each twice.
    D3DObject& d3d = surveyed();
    gfx.clearCalls();
    gfx.faults.failAlways("CreateDevice", D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d.initDevice(640, 480, 60, 1, 0, 1, 1), D3DERR_NOTAVAILABLE);
    std::vector<std::string> formats;
    for (const std::string& call : gfx.callsOf("CreateDevice")) formats.push_back(createdFormat(call));
    ASSERT_GE(formats.size(), 18u);
    for (std::size_t i = 0; i < 18; ++i) {
        EXPECT_EQ(formats[i], i < 6 ? "D3DFMT_A1R5G5B5" : i < 12 ? "D3DFMT_X1R5G5B5" : "D3DFMT_R5G6B5") << i;
    }
    for (const std::string& format : formats) {
        EXPECT_TRUE(format != "D3DFMT_A8R8G8B8" && format != "D3DFMT_X8R8G8B8") << format;
    }
    gfx.faults.clear();
}

TEST_F(D3DObjectCreation, BackBufferOfNoListedSizeFailsEveryWay) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = surveyed();
    EXPECT_EQ(d3d.initDevice(700, 500, 60, 1, 0, 0, 1), E_FAIL);
    EXPECT_EQ(g_d3dDevice, nullptr);
    EXPECT_TRUE(gfx.callsOf("CreateDevice").empty());
    EXPECT_TRUE(log.logContains("ソフトウェア頂点処理で初期化を試みます。"));
    EXPECT_EQ(d3d.toggleFullScreen(), E_FAIL);
    EXPECT_EQ(d3d.resetDevice(0), E_FAIL);
}

TEST_F(D3DObjectCreation, RepeatedCreateDeviceSucceedsTheSecondTime) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = surveyed();
    gfx.faults.failNext("CreateDevice", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(d3d.initDevice(640, 480, 60, 1, 0, 0, 1), S_OK);
    std::vector<std::string> lines = log.logLines();
    auto at = std::find(lines.begin(), lines.end(), "Direct3D デバイス作成成功");
    ASSERT_NE(at, lines.end());
    // One more empty line follows the memory line after a repeated call.
    EXPECT_EQ(*(at + 1), "");
    EXPECT_EQ((at + 2)->rfind("利用可能なテクスチャメモリ (AGP 含む) は ", 0), 0u);
    EXPECT_EQ(*(at + 3), "");
    EXPECT_EQ(gfx.callsOf("CreateDevice").size(), 2u);
}

TEST_F(D3DObjectCreation, PresentIntervalFollowsVsyncAndForce60fps) {
    struct Case {
        std::uint32_t vsync, force60fps, displayRate;
        std::uint32_t interval;
        bool retrace60;
    } cases[] = {
        {1, 0, 60, D3DPRESENT_INTERVAL_DEFAULT, true},
        {1, 1, 60, D3DPRESENT_INTERVAL_IMMEDIATE, false},
        {0, 0, 60, D3DPRESENT_INTERVAL_IMMEDIATE, false},
        {0, 1, 60, D3DPRESENT_INTERVAL_IMMEDIATE, false},
        {1, 0, 144, D3DPRESENT_INTERVAL_DEFAULT, false},
    };
    gfx.survey = minimalAdapter();
    g_systemInfo = new SystemInfo();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.vsync) + " " + std::to_string(c.force60fps) + " " +
                     std::to_string(c.displayRate));
        g_systemInfo->setForce60fps(c.force60fps);
        gfx.displayRefreshRate = c.displayRate;
        created(640, 480, 1, 0, c.vsync);
        EXPECT_EQ(device().presentParameters().PresentationInterval, c.interval);
        EXPECT_EQ(object->retraceGives60Hz(), c.retrace60);
        EXPECT_EQ(object->getVsync(), c.vsync);
    }
}
