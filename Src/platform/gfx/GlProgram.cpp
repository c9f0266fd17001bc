#include "platform/gfx/GlProgram.h"

#include <vector>
// Last: counts the OpenGL calls below.
#include "platform/gfx/GlCounted.h"

namespace {

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aDiffuse;
layout(location = 3) in vec4 aSpecular;
layout(location = 4) in vec2 aTexCoord;

uniform bool uPretransformed;
uniform vec2 uTargetSize;   // render target size, for pre-transformed vertices
uniform vec2 uPixelShift;   // 1 / viewport width and height
uniform mat4 uWorld, uView, uProjection;
uniform bool uHasNormal, uHasDiffuse, uHasSpecular;
uniform bool uLighting, uColorVertex, uNormalizeNormals;
uniform int uDiffuseSource, uAmbientSource, uEmissiveSource;
uniform vec4 uMaterialDiffuse, uMaterialAmbient, uMaterialEmissive;
uniform vec4 uGlobalAmbient;
uniform bool uLightOn;
uniform vec4 uLightDiffuse, uLightAmbient;
uniform vec3 uLightDirection;
uniform int uFogMode;
uniform float uFogStart, uFogEnd, uFogDensity;

out vec4 vDiffuse;
out vec4 vSpecular;
out vec2 vTexCoord;
out float vFog;

vec4 materialSource(int which, vec4 material, vec4 diffuse, vec4 specular) {
    if (uColorVertex) {
        if (which == 1 && uHasDiffuse) return diffuse;
        if (which == 2 && uHasSpecular) return specular;
    }
    return material;
}

float fogFactor(float depth) {
    float f = 1.0;
    if (uFogMode == 3) {
        f = uFogEnd != uFogStart ? (uFogEnd - depth) / (uFogEnd - uFogStart) : (depth < uFogEnd ? 1.0 : 0.0);
    } else if (uFogMode == 1) {
        f = exp(-depth * uFogDensity);
    } else if (uFogMode == 2) {
        float d = depth * uFogDensity;
        f = exp(-d * d);
    }
    return clamp(f, 0.0, 1.0);
}

void main() {
    vec4 diffuse = uHasDiffuse ? aDiffuse : vec4(1.0);
    // A colour the vertex lacks reads white, as Direct3D's stage arguments do.
    vec4 specular = uHasSpecular ? aSpecular : vec4(1.0);
    vTexCoord = aTexCoord;
    vFog = 1.0;
    if (uPretransformed) {
        // Screen pixels with Direct3D 9's pixel centres on whole numbers;
        // OpenGL's lie half a pixel further. The target's rows are stored
        // top first, so y needs no flip here.
        float w = aPosition.w > 0.0 ? 1.0 / aPosition.w : 1.0;
        vec2 ndc = (aPosition.xy + 0.5) * 2.0 / uTargetSize - 1.0;
        gl_Position = vec4(ndc * w, (aPosition.z * 2.0 - 1.0) * w, w);
        vDiffuse = diffuse;
        vSpecular = specular;
        return;
    }
    // Row-vector matrices arrive transposed, so M * v computes v * M.
    vec4 worldPosition = uWorld * vec4(aPosition.xyz, 1.0);
    vec4 eye = uView * worldPosition;
    vec4 clip = uProjection * eye;
    // Direct3D's clip space: y up with rows stored top first, depth 0..w,
    // pixel centres half a pixel from OpenGL's.
    gl_Position = vec4(clip.x + clip.w * uPixelShift.x, -clip.y + clip.w * uPixelShift.y,
                       2.0 * clip.z - clip.w, clip.w);
    if (uLighting) {
        vec4 md = materialSource(uDiffuseSource, uMaterialDiffuse, diffuse, specular);
        vec4 ma = materialSource(uAmbientSource, uMaterialAmbient, diffuse, specular);
        vec4 me = materialSource(uEmissiveSource, uMaterialEmissive, diffuse, specular);
        vec3 color = me.rgb + ma.rgb * uGlobalAmbient.rgb;
        if (uLightOn) {
            color += ma.rgb * uLightAmbient.rgb;
            if (uHasNormal) {
                vec3 n = (uWorld * vec4(aNormal, 0.0)).xyz;
                if (uNormalizeNormals && dot(n, n) > 0.0) n = normalize(n);
                color += md.rgb * uLightDiffuse.rgb * max(dot(n, -uLightDirection), 0.0);
            }
        }
        vDiffuse = vec4(clamp(color, 0.0, 1.0), clamp(md.a, 0.0, 1.0));
        vSpecular = vec4(0.0);
    } else {
        vDiffuse = diffuse;
        vSpecular = specular;
    }
    // The distance is the camera-space depth without its sign, so a vertex
    // behind the camera is fogged by its distance too (it still shades the
    // part of its triangle in view). The shadow matrix makes w other than 1,
    // so the point is divided out first.
    if (uFogMode != 0) vFog = fogFactor(abs(eye.w != 0.0 ? eye.z / eye.w : eye.z));
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec4 vDiffuse;
in vec4 vSpecular;
in vec2 vTexCoord;
in float vFog;

uniform sampler2D uTexture;       // the sampler with the stage's anisotropy
uniform sampler2D uTexturePlain;  // the same texture without it
uniform bool uHasTexture;
uniform bool uAnisotropic;
uniform int uColorOp, uColorArg1, uColorArg2, uAlphaOp, uAlphaArg1, uAlphaArg2;
uniform vec4 uTextureFactor;
uniform bool uFogOn;
uniform vec3 uFogColor;
uniform bool uAlphaTest;
uniform int uAlphaFunc, uAlphaRef;

out vec4 fragColor;

vec4 argument(int arg, vec4 texel) {
    int select = arg & 15;
    vec4 v = vDiffuse;  // D3DTA_DIFFUSE, and D3DTA_CURRENT at stage 0
    if (select == 2) v = texel;
    else if (select == 3) v = uTextureFactor;
    else if (select == 4) v = vSpecular;
    if ((arg & 16) != 0) v = vec4(1.0) - v;
    if ((arg & 32) != 0) v = vec4(v.a);
    return v;
}

vec4 operate(int op, vec4 a1, vec4 a2) {
    if (op == 3) return a2;
    if (op == 4) return a1 * a2;
    if (op == 5) return a1 * a2 * 2.0;
    if (op == 6) return a1 * a2 * 4.0;
    if (op == 7) return a1 + a2;
    if (op == 8) return a1 + a2 - vec4(0.5);
    if (op == 10) return a1 - a2;
    return a1;  // D3DTOP_SELECTARG1 and the operations not emulated
}

bool passes(int func, int value, int reference) {
    if (func == 1) return false;
    if (func == 2) return value < reference;
    if (func == 3) return value == reference;
    if (func == 4) return value <= reference;
    if (func == 5) return value > reference;
    if (func == 6) return value != reference;
    if (func == 7) return value >= reference;
    return true;
}

// Anisotropic filtering only where the texture is minified: at one texel per
// pixel or magnified it reads as the linear filter does, as on Direct3D
// hardware (some OpenGL drivers blur even there).
vec4 sampleTexture() {
    vec2 dx = dFdx(vTexCoord), dy = dFdy(vTexCoord);
    if (uAnisotropic) {
        vec2 size = vec2(textureSize(uTexture, 0));
        vec2 tx = dx * size, ty = dy * size;
        if (max(dot(tx, tx), dot(ty, ty)) > 1.0001) return textureGrad(uTexture, vTexCoord, dx, dy);
    }
    return textureGrad(uTexturePlain, vTexCoord, dx, dy);
}

void main() {
    // A stage reading a texture while none is bound reads the diffuse colour.
    vec4 texel = uHasTexture ? sampleTexture() : vDiffuse;
    vec4 color = vDiffuse;
    if (uColorOp != 1) {
        color.rgb = clamp(operate(uColorOp, argument(uColorArg1, texel), argument(uColorArg2, texel)).rgb, 0.0, 1.0);
        if (uAlphaOp != 1)
            color.a = clamp(operate(uAlphaOp, argument(uAlphaArg1, texel), argument(uAlphaArg2, texel)).a, 0.0, 1.0);
    }
    if (uFogOn) color.rgb = mix(uFogColor, color.rgb, vFog);
    if (uAlphaTest && !passes(uAlphaFunc, int(color.a * 255.0 + 0.5), uAlphaRef)) discard;
    fragColor = color;
}
)";

GLuint compile(GLenum kind, const char* source, std::string& error) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> log(std::size_t(length) + 1);
        glGetShaderInfoLog(shader, length, nullptr, log.data());
        error = std::string(kind == GL_VERTEX_SHADER ? "vertex" : "fragment") + " shader: " + log.data();
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

bool GlProgram::build(std::string& error) {
    GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader, error);
    if (!vertex) return false;
    GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentShader, error);
    if (!fragment) {
        glDeleteShader(vertex);
        return false;
    }
    program_ = glCreateProgram();
    glAttachShader(program_, vertex);
    glAttachShader(program_, fragment);
    glLinkProgram(program_);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(program_, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> log(std::size_t(length) + 1);
        glGetProgramInfoLog(program_, length, nullptr, log.data());
        error = std::string("link: ") + log.data();
        return false;
    }
    auto at = [&](const char* name) { return glGetUniformLocation(program_, name); };
    Uniforms& u = uniforms_;
    u.pretransformed = at("uPretransformed");
    u.targetSize = at("uTargetSize");
    u.pixelShift = at("uPixelShift");
    u.world = at("uWorld");
    u.view = at("uView");
    u.projection = at("uProjection");
    u.hasNormal = at("uHasNormal");
    u.hasDiffuse = at("uHasDiffuse");
    u.hasSpecular = at("uHasSpecular");
    u.lighting = at("uLighting");
    u.colorVertex = at("uColorVertex");
    u.normalizeNormals = at("uNormalizeNormals");
    u.diffuseSource = at("uDiffuseSource");
    u.ambientSource = at("uAmbientSource");
    u.emissiveSource = at("uEmissiveSource");
    u.materialDiffuse = at("uMaterialDiffuse");
    u.materialAmbient = at("uMaterialAmbient");
    u.materialEmissive = at("uMaterialEmissive");
    u.globalAmbient = at("uGlobalAmbient");
    u.lightOn = at("uLightOn");
    u.lightDiffuse = at("uLightDiffuse");
    u.lightAmbient = at("uLightAmbient");
    u.lightDirection = at("uLightDirection");
    u.fogMode = at("uFogMode");
    u.fogStart = at("uFogStart");
    u.fogEnd = at("uFogEnd");
    u.fogDensity = at("uFogDensity");
    u.texture = at("uTexture");
    u.texturePlain = at("uTexturePlain");
    u.anisotropic = at("uAnisotropic");
    u.hasTexture = at("uHasTexture");
    u.colorOp = at("uColorOp");
    u.colorArg1 = at("uColorArg1");
    u.colorArg2 = at("uColorArg2");
    u.alphaOp = at("uAlphaOp");
    u.alphaArg1 = at("uAlphaArg1");
    u.alphaArg2 = at("uAlphaArg2");
    u.textureFactor = at("uTextureFactor");
    u.fogOn = at("uFogOn");
    u.fogColor = at("uFogColor");
    u.alphaTest = at("uAlphaTest");
    u.alphaFunc = at("uAlphaFunc");
    u.alphaRef = at("uAlphaRef");
    glUseProgram(program_);
    glUniform1i(u.texture, 0);
    glUniform1i(u.texturePlain, 1);
    return true;
}

GlProgram::~GlProgram() {
    if (program_) glDeleteProgram(program_);
}
