#include "GfxTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

void expectGolden(const std::string& name, const std::string& text) {
    const std::string path = std::string(VORLY_FIXTURES) + "/graphics/" + name;
    if (std::getenv("VORLY_UPDATE_GOLDENS")) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden " << path;
    std::stringstream golden;
    golden << in.rdbuf();
    EXPECT_EQ(text, golden.str()) << "golden " << name;
}

AdapterSurvey typicalAdapter() {
    AdapterSurvey s = AdapterSurvey::standard();
    s.identifier.Description = "Typical Board 9600";
    s.identifier.Driver = "typical.dll";
    s.identifier.DeviceName = "\\\\.\\DISPLAY1";
    s.identifier.DriverVersion = (std::int64_t{0x0006000E} << 32) | 0x000A0C4E;
    s.identifier.DeviceId = 0x4150;
    s.identifier.Revision = 2;
    s.modes = {
        {640, 480, 60, D3DFMT_X8R8G8B8},  {640, 480, 75, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_X8R8G8B8},
        {1024, 700, 60, D3DFMT_X8R8G8B8}, {640, 480, 60, D3DFMT_R5G6B5},
    };
    s.deviceTypes = {{D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8},
                     {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8},
                     {D3DFMT_R5G6B5, D3DFMT_R5G6B5}};
    s.depthFormats = {D3DFMT_D16, D3DFMT_D24S8};
    return s;
}

AdapterSurvey adapterWithout60Hz() {
    AdapterSurvey s = typicalAdapter();
    for (D3DDISPLAYMODE& mode : s.modes) mode.RefreshRate = 75;
    return s;
}

AdapterSurvey minimalAdapter() {
    AdapterSurvey s = typicalAdapter();
    // The R5G6B5 mode serves the texture-format questions, which name it as
    // the adapter format; no pair of this adapter uses it.
    s.modes = {{640, 480, 60, D3DFMT_X8R8G8B8}, {640, 480, 60, D3DFMT_R5G6B5}};
    s.deviceTypes = {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8}};
    s.depthFormats = {D3DFMT_D16};
    return s;
}
