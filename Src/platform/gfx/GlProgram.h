// The shader programs that stand in for Direct3D 9's fixed-function
// pipeline: pre-transformed and transformed vertices, one directional light
// with material and ambient, vertex fog, texture stage 0's colour and alpha
// operations and the alpha test. One program per combination of the states
// that change the program (GlProgramKey), compiled on first use and kept:
// those states are constants in the shader text, so no pixel branches on
// them. The values that vary freely (transforms, colours, fog distances,
// the alpha reference) are uniforms, which GlDevice sends by group.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/gfx/GlContext.h"

// Vertex attribute slots of the programs.
enum GlAttribute : GLuint {
    kAttributePosition = 0,
    kAttributeNormal = 1,
    kAttributeDiffuse = 2,
    kAttributeSpecular = 3,
    kAttributeTexCoord = 4,
};

// The states a program is built for. GlDevice fills it with unused parts
// zero, so that draws whose pixels cannot differ share one program.
struct GlProgramKey {
    bool pretransformed = false, hasNormal = false, hasDiffuse = false, hasSpecular = false;
    bool lighting = false, colorVertex = false, normalizeNormals = false, lightOn = false;
    std::uint8_t diffuseSource = 0, ambientSource = 0, emissiveSource = 0;  // D3DMCS_*
    std::uint8_t fogMode = 0;                                               // D3DFOG_*, 0 none
    bool hasTexture = false;
    std::uint8_t colorOp = 0, colorArg1 = 0, colorArg2 = 0, alphaOp = 0, alphaArg1 = 0, alphaArg2 = 0;
    std::uint8_t alphaFunc = 0;  // D3DCMP_*, 0 without the alpha test
    std::uint64_t packed() const;
};

// The uniform groups: each is sent when a state of its group changed since
// the program last received it.
enum GlUniformGroup { kGroupTransform, kGroupLighting, kGroupFog, kGroupFactor, kGroupCount };

class GlProgram {
public:
    // Compiles and links; false with the compiler's message in `error`.
    bool build(const GlProgramKey& key, std::string& error);
    ~GlProgram();
    GLuint id() const { return program_; }

    struct Uniforms {
        GLint targetSize, pixelShift, world, view, projection;
        GLint materialDiffuse, materialAmbient, materialEmissive, globalAmbient;
        GLint lightDiffuse, lightAmbient, lightDirection;
        GLint fogStart, fogEnd, fogDensity, fogColor;
        GLint textureFactor, alphaRef;
    };
    const Uniforms& uniforms() const { return uniforms_; }
    // The version of each group this program holds (0: none yet).
    std::uint64_t sent[kGroupCount] = {};

private:
    GLuint program_ = 0;
    Uniforms uniforms_{};
};

// The programs built so far, by key.
class GlPrograms {
public:
    // The program of the key, built now when new; null with the reason.
    GlProgram* find(const GlProgramKey& key, std::string& error);
    void clear() {
        programs_.clear();
        last_ = nullptr;
    }

private:
    std::unordered_map<std::uint64_t, std::unique_ptr<GlProgram>> programs_;
    std::uint64_t lastKey_ = 0;
    GlProgram* last_ = nullptr;
};
