#include "platform/gfx/GlProgram.h"

#include <memory>
#include <vector>
// Last: counts the OpenGL calls below.
#include "platform/gfx/GlCounted.h"

namespace {

const char* const kVertexShader = R"(layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aDiffuse;
layout(location = 3) in vec4 aSpecular;
layout(location = 4) in vec2 aTexCoord;

const bool uPretransformed = PRETRANSFORMED;
uniform vec2 uTargetSize;   // render target size, for pre-transformed vertices
uniform vec2 uPixelShift;   // 1 / viewport width and height
uniform mat4 uWorld, uView, uProjection;
const bool uHasNormal = HAS_NORMAL, uHasDiffuse = HAS_DIFFUSE, uHasSpecular = HAS_SPECULAR;
const bool uLighting = LIGHTING, uColorVertex = COLOR_VERTEX, uNormalizeNormals = NORMALIZE_NORMALS;
const int uDiffuseSource = DIFFUSE_SOURCE, uAmbientSource = AMBIENT_SOURCE, uEmissiveSource = EMISSIVE_SOURCE;
uniform vec4 uMaterialDiffuse, uMaterialAmbient, uMaterialEmissive;
uniform vec4 uGlobalAmbient;
const bool uLightOn = LIGHT_ON;
uniform vec4 uLightDiffuse, uLightAmbient;
uniform vec3 uLightDirection;
const int uFogMode = FOG_MODE;
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

const char* const kFragmentShader = R"(in vec4 vDiffuse;
in vec4 vSpecular;
in vec2 vTexCoord;
in float vFog;

uniform sampler2D uTexture;
const bool uHasTexture = HAS_TEXTURE;
const int uColorOp = COLOR_OP, uColorArg1 = COLOR_ARG1, uColorArg2 = COLOR_ARG2;
const int uAlphaOp = ALPHA_OP, uAlphaArg1 = ALPHA_ARG1, uAlphaArg2 = ALPHA_ARG2;
uniform vec4 uTextureFactor;
const bool uFogOn = FOG_ON;
uniform vec3 uFogColor;
const bool uAlphaTest = ALPHA_TEST;
const int uAlphaFunc = ALPHA_FUNC;
uniform int uAlphaRef;

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

void main() {
    // Only a program with a bound texture reads it (the device passes a stage
    // reading an absent texture over).
    vec4 texel = uHasTexture ? texture(uTexture, vTexCoord) : vDiffuse;
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

GLuint compile(GLenum kind, const std::string& defines, const char* body, std::string& error) {
    GLuint shader = glCreateShader(kind);
    const char* parts[3] = {"#version 330 core\n", defines.c_str(), body};
    glShaderSource(shader, 3, parts, nullptr);
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

// The key's states as the constants the shaders are written against.
std::string definesOf(const GlProgramKey& k) {
    std::string text;
    auto flag = [&](const char* name, bool on) { text += std::string("#define ") + name + (on ? " true\n" : " false\n"); };
    auto number = [&](const char* name, int value) {
        text += std::string("#define ") + name + " " + std::to_string(value) + "\n";
    };
    flag("PRETRANSFORMED", k.pretransformed);
    flag("HAS_NORMAL", k.hasNormal);
    flag("HAS_DIFFUSE", k.hasDiffuse);
    flag("HAS_SPECULAR", k.hasSpecular);
    flag("LIGHTING", k.lighting);
    flag("COLOR_VERTEX", k.colorVertex);
    flag("NORMALIZE_NORMALS", k.normalizeNormals);
    flag("LIGHT_ON", k.lightOn);
    number("DIFFUSE_SOURCE", k.diffuseSource);
    number("AMBIENT_SOURCE", k.ambientSource);
    number("EMISSIVE_SOURCE", k.emissiveSource);
    number("FOG_MODE", k.fogMode);
    flag("FOG_ON", k.fogMode != 0);
    flag("HAS_TEXTURE", k.hasTexture);
    number("COLOR_OP", k.colorOp);
    number("COLOR_ARG1", k.colorArg1);
    number("COLOR_ARG2", k.colorArg2);
    number("ALPHA_OP", k.alphaOp);
    number("ALPHA_ARG1", k.alphaArg1);
    number("ALPHA_ARG2", k.alphaArg2);
    flag("ALPHA_TEST", k.alphaFunc != 0);
    number("ALPHA_FUNC", k.alphaFunc);
    return text;
}

}  // namespace

std::uint64_t GlProgramKey::packed() const {
    std::uint64_t bits = 0;
    auto put = [&bits](std::uint64_t value, int width) { bits = (bits << width) | (value & ((1u << width) - 1)); };
    put(pretransformed, 1);
    put(hasNormal, 1);
    put(hasDiffuse, 1);
    put(hasSpecular, 1);
    put(lighting, 1);
    put(colorVertex, 1);
    put(normalizeNormals, 1);
    put(lightOn, 1);
    put(diffuseSource, 2);
    put(ambientSource, 2);
    put(emissiveSource, 2);
    put(fogMode, 2);
    put(hasTexture, 1);
    put(colorOp, 5);
    put(colorArg1, 6);
    put(colorArg2, 6);
    put(alphaOp, 5);
    put(alphaArg1, 6);
    put(alphaArg2, 6);
    put(alphaFunc, 4);
    return bits;
}

bool GlProgram::build(const GlProgramKey& key, std::string& error) {
    const std::string defines = definesOf(key);
    GLuint vertex = compile(GL_VERTEX_SHADER, defines, kVertexShader, error);
    if (!vertex) return false;
    GLuint fragment = compile(GL_FRAGMENT_SHADER, defines, kFragmentShader, error);
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
    // Uniforms a variant does not use are -1 and never sent.
    auto at = [&](const char* name) { return glGetUniformLocation(program_, name); };
    Uniforms& u = uniforms_;
    u.targetSize = at("uTargetSize");
    u.pixelShift = at("uPixelShift");
    u.world = at("uWorld");
    u.view = at("uView");
    u.projection = at("uProjection");
    u.materialDiffuse = at("uMaterialDiffuse");
    u.materialAmbient = at("uMaterialAmbient");
    u.materialEmissive = at("uMaterialEmissive");
    u.globalAmbient = at("uGlobalAmbient");
    u.lightDiffuse = at("uLightDiffuse");
    u.lightAmbient = at("uLightAmbient");
    u.lightDirection = at("uLightDirection");
    u.fogStart = at("uFogStart");
    u.fogEnd = at("uFogEnd");
    u.fogDensity = at("uFogDensity");
    u.fogColor = at("uFogColor");
    u.textureFactor = at("uTextureFactor");
    u.alphaRef = at("uAlphaRef");
    // uTexture keeps its initial value 0: the texture is read through unit 0.
    return true;
}

GlProgram::~GlProgram() {
    if (program_) glDeleteProgram(program_);
}

GlProgram* GlPrograms::find(const GlProgramKey& key, std::string& error) {
    const std::uint64_t packed = key.packed();
    if (packed == lastKey_ && last_) return last_;
    auto found = programs_.find(packed);
    if (found == programs_.end()) {
        auto program = std::make_unique<GlProgram>();
        if (!program->build(key, error)) return nullptr;
        found = programs_.emplace(packed, std::move(program)).first;
    }
    lastKey_ = packed;
    last_ = found->second.get();
    return last_;
}
