// The one shader program that stands in for Direct3D 9's fixed-function
// pipeline: pre-transformed and transformed vertices, one directional light
// with material and ambient, vertex fog, texture stage 0's colour and alpha
// operations and the alpha test. GlDevice fills its uniforms from the
// device state before each draw.
#pragma once
#include <string>

#include "platform/gfx/GlContext.h"

// Vertex attribute slots of the program.
enum GlAttribute : GLuint {
    kAttributePosition = 0,
    kAttributeNormal = 1,
    kAttributeDiffuse = 2,
    kAttributeSpecular = 3,
    kAttributeTexCoord = 4,
};

class GlProgram {
public:
    // Compiles and links; false with the compiler's message in `error`.
    bool build(std::string& error);
    ~GlProgram();
    void use() const { glUseProgram(program_); }

    struct Uniforms {
        GLint pretransformed, targetSize, pixelShift, world, view, projection;
        GLint hasNormal, hasDiffuse, hasSpecular;
        GLint lighting, colorVertex, normalizeNormals;
        GLint diffuseSource, ambientSource, emissiveSource;
        GLint materialDiffuse, materialAmbient, materialEmissive, globalAmbient;
        GLint lightOn, lightDiffuse, lightAmbient, lightDirection;
        GLint fogMode, fogStart, fogEnd, fogDensity;
        GLint texture, texturePlain, anisotropic, hasTexture;
        GLint colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2, textureFactor;
        GLint fogOn, fogColor;
        GLint alphaTest, alphaFunc, alphaRef;
    };
    const Uniforms& uniforms() const { return uniforms_; }

private:
    GLuint program_ = 0;
    Uniforms uniforms_{};
};
