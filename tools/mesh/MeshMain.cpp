// vorly-mesh: X files as the engine loads them for the background scene.
//
//   vorly-mesh info FILE...   per file: counts, subsets and materials
//   vorly-mesh dump FILE      the same, then every vertex and face
//
// FILE is a loose file on disk (not an archive entry). Each is loaded by
// Mesh::loadFromMemory on the recording device, without a texture manager:
// texture names are printed, never loaded. Per file:
//
//   file FILE
//   vertices V faces F subsets S materials M
//   subset I attribute A faces FS FC vertices VS VC        (per table entry)
//   material I diffuse R G B A power P emissive R G B texture NAME
//   v I X Y Z NX NY NZ U V                                  (dump)
//   f I A B C                                               (dump)
//
// Floats print as "%.6g"; NAME is the stored cp932 name in UTF-8, as the
// debug log writes game text, or "-" when the material has none. The engine's
// log lines follow each file on standard error as debug.txt would hold them.
// Exit status: 0 when every file loaded, 1 when a file cannot be read or a
// load fails (the other files are still shown), 2 on a usage error.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/D3DDevice.h"
#include "graphics/Mesh.h"
#include "platform/Path.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "platform/Window.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/RecordingDevice.h"
#include "platform/gfx/XFileReader.h"
#include "services/DebugInfo.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: vorly-mesh info FILE...\n"
                 "       vorly-mesh dump FILE\n");
    return 2;
}

// The debug log, echoed a file at a time so each file's lines follow it.
class LogEcho {
public:
    explicit LogEcho(const TempFolder& folder) : path_(folder.path() / "debug.txt") {}
    void echoNewLines() {
        std::fflush(stdout);
        std::ifstream in(path_, std::ios::binary);
        in.seekg(offset_);
        for (std::string line; std::getline(in, line);) {
            std::fprintf(stderr, "%s\n", line.c_str());
            offset_ += std::streamoff(line.size() + 1);
        }
        std::fflush(stderr);
    }

private:
    std::filesystem::path path_;
    std::streamoff offset_ = 0;
};

bool readFile(const std::string& path, std::vector<char>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void printMesh(const Mesh& mesh, bool dump) {
    const std::vector<D3DXATTRIBUTERANGE>& table = mesh.getAttributeTable();
    const std::vector<D3DMATERIAL9>& materials = mesh.getMaterials();
    const std::vector<std::string>& names = mesh.getTextureNames();
    std::printf("vertices %u faces %u subsets %u materials %zu\n", mesh.getVertexCount(), mesh.getIndexCount() / 3,
                mesh.getSubsetCount(), materials.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const D3DXATTRIBUTERANGE& r = table[i];
        std::printf("subset %zu attribute %u faces %u %u vertices %u %u\n", i, r.AttribId, r.FaceStart, r.FaceCount,
                    r.VertexStart, r.VertexCount);
    }
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const D3DMATERIAL9& m = materials[i];
        const std::string name = i < names.size() && !names[i].empty() ? text::cp932ToUtf8(names[i]) : "-";
        std::printf("material %zu diffuse %.6g %.6g %.6g %.6g power %.6g emissive %.6g %.6g %.6g texture %s\n", i,
                    m.Diffuse.r, m.Diffuse.g, m.Diffuse.b, m.Diffuse.a, m.Power, m.Emissive.r, m.Emissive.g,
                    m.Emissive.b, name.c_str());
    }
    if (!dump) return;
    const std::vector<MeshVertex>& vertices = mesh.getVertices();
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const MeshVertex& v = vertices[i];
        std::printf("v %zu %.6g %.6g %.6g %.6g %.6g %.6g %.6g %.6g\n", i, v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v);
    }
    const std::vector<std::uint16_t>& indices = mesh.getIndices();
    for (std::size_t f = 0; f + 2 < indices.size(); f += 3)
        std::printf("f %zu %u %u %u\n", f / 3, indices[f], indices[f + 1], indices[f + 2]);
}

// One file: its lines, then the log lines its load wrote. False when it
// could not be read or loaded.
bool showFile(const std::string& path, bool dump, LogEcho& log) {
    std::printf("file %s\n", path.c_str());
    std::vector<char> bytes;
    if (!readFile(path, bytes)) {
        std::fflush(stdout);
        std::fprintf(stderr, "vorly-mesh: cannot read %s\n", path.c_str());
        return false;
    }
    Mesh mesh;
    const HRESULT hr = mesh.loadFromMemory(bytes.data(), std::uint32_t(bytes.size()));
    if (SUCCEEDED(hr)) printMesh(mesh, dump);
    log.echoNewLines();
    XFileContent content;
    XFileProblem problem;
    if (FAILED(hr) && FAILED(readXFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), content,
                                       &problem))) {
        std::fprintf(stderr, "vorly-mesh: %s: %s at offset %zu\n", path.c_str(), problem.reason.c_str(),
                     problem.offset);
    }
    return SUCCEEDED(hr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string mode = argv[1];
    const std::vector<std::string> files(argv + 2, argv + argc);
    if (!(mode == "info" || (mode == "dump" && files.size() == 1))) return usage();

    // The log goes to a folder of its own, echoed as the files are loaded.
    TempFolder logFolder("vorly-mesh");
    if (!logFolder.ok()) return 1;
    Path::setRoot(logFolder.path());
    g_debugInfo = new DebugInfo("debug.txt");
    LogEcho log(logFolder);

    // The recording device stands in for the screen: a mesh load draws
    // nothing and needs no window.
    int status = 0;
    {
        RecordingBackend backend;
        TestWindow window;
        GfxRef<GfxAdapter> adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(D3D_SDK_VERSION));
        GfxRef<GfxDevice> device;
        D3DPRESENT_PARAMETERS p;
        p.BackBufferWidth = 640;
        p.BackBufferHeight = 480;
        p.BackBufferFormat = D3DFMT_A8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = 1;
        if (!adapter || FAILED(adapter->createDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                                     &p, device.put()))) {
            std::fprintf(stderr, "vorly-mesh: no device\n");
            status = 1;
        } else {
            g_d3dDevice = device.get();
            for (const std::string& file : files)
                if (!showFile(file, mode == "dump", log)) status = 1;
            g_d3dDevice = nullptr;
        }
    }
    delete g_debugInfo;
    g_debugInfo = nullptr;
    log.echoNewLines();
    return status;
}
