#include "RealFramePeer.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gfx/GfxDevice.h"

namespace realframes {
namespace {

// Direct3D's numbers as OpenGL's; 0 for one the peer does not draw.
GLenum blendFactor(std::uint32_t blend) {
    static constexpr GLenum kFactors[] = {0,
                                          GL_ZERO,
                                          GL_ONE,
                                          GL_SRC_COLOR,
                                          GL_ONE_MINUS_SRC_COLOR,
                                          GL_SRC_ALPHA,
                                          GL_ONE_MINUS_SRC_ALPHA,
                                          GL_DST_ALPHA,
                                          GL_ONE_MINUS_DST_ALPHA,
                                          GL_DST_COLOR,
                                          GL_ONE_MINUS_DST_COLOR,
                                          GL_SRC_ALPHA_SATURATE};
    return blend < std::size(kFactors) ? kFactors[blend] : 0;
}
GLenum blendEquation(std::uint32_t op) {
    static constexpr GLenum kEquations[] = {0, GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
    return op < std::size(kEquations) ? kEquations[op] : 0;
}
GLenum compareFunction(std::uint32_t func) {
    static constexpr GLenum kFunctions[] = {0,        GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                            GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return func < std::size(kFunctions) ? kFunctions[func] : 0;
}
GLenum wrapMode(std::uint32_t address) {
    static constexpr GLenum kModes[] = {0, GL_REPEAT, GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_BORDER};
    return address < std::size(kModes) ? kModes[address] : 0;
}
GLenum primitiveMode(D3DPRIMITIVETYPE type) {
    static constexpr GLenum kModes[] = {0,         GL_POINTS,         GL_LINES,       GL_LINE_STRIP,
                                        GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
    return std::uint32_t(type) < std::size(kModes) ? kModes[type] : 0;
}
void argbFloats(D3DCOLOR c, float out[4]) {
    out[0] = float((c >> 16) & 0xFF) / 255.0f;
    out[1] = float((c >> 8) & 0xFF) / 255.0f;
    out[2] = float(c & 0xFF) / 255.0f;
    out[3] = float(c >> 24) / 255.0f;
}
float bitsFloat(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
bool opaqueFormat(D3DFORMAT format) { return format == D3DFMT_X8R8G8B8; }

// A texture-stage argument as a shader expression; empty for one the peer
// does not draw (the specular colour, other sources or modifiers).
std::string argumentText(std::uint32_t arg) {
    static const char* const kSources[] = {"diffuse", "diffuse", "texel", "factor"};
    if ((arg & 15) >= std::size(kSources) || (arg & ~std::uint32_t(15 | 16 | 32))) return std::string();
    std::string text = kSources[arg & 15];
    if (arg & 16) text = "(vec4(1.0) - " + text + ")";
    if (arg & 32) text = "vec4(" + text + ".a)";
    return text;
}
// A texture-stage operation on its arguments; empty for one the peer does not draw.
std::string operationText(std::uint32_t op, const std::string& a, const std::string& b) {
    switch (op) {
    case D3DTOP_SELECTARG1: return a;
    case D3DTOP_SELECTARG2: return b;
    case D3DTOP_MODULATE: return a + " * " + b;
    case D3DTOP_MODULATE2X: return a + " * " + b + " * 2.0";
    case D3DTOP_MODULATE4X: return a + " * " + b + " * 4.0";
    case D3DTOP_ADD: return a + " + " + b;
    case D3DTOP_ADDSIGNED: return a + " + " + b + " - vec4(0.5)";
    case D3DTOP_SUBTRACT: return a + " - " + b;
    default: return std::string();
    }
}
bool readsTexture(std::uint32_t op, std::uint32_t arg1, std::uint32_t arg2) {
    return (op != D3DTOP_SELECTARG2 && (arg1 & 15) == D3DTA_TEXTURE) ||
           (op != D3DTOP_SELECTARG1 && (arg2 & 15) == D3DTA_TEXTURE);
}
const char* comparisonText(std::uint32_t func) {
    static const char* const kTexts[] = {nullptr, "false", "<", "==", "<=", ">", "!=", ">=", "true"};
    return func < std::size(kTexts) ? kTexts[func] : nullptr;
}

GLuint compileShader(GLenum kind, const std::string& source) {
    const GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

}  // namespace

PlainGlPeer::~PlainGlPeer() {
    if (!context_) return;
    SDL_GL_MakeCurrent(window_, context_);
    for (PreparedFrame& frame : frames_) {
        glDeleteTextures(GLsizei(frame.textures.size()), frame.textures.data());
        glDeleteRenderbuffers(GLsizei(frame.renderbuffers.size()), frame.renderbuffers.data());
        glDeleteFramebuffers(GLsizei(frame.framebuffers.size()), frame.framebuffers.data());
    }
    for (auto& [key, program] : programs_) glDeleteProgram(program.id);
    for (auto& [key, sampler] : samplers_) glDeleteSamplers(1, &sampler);
    glDeleteBuffers(1, &buffer_);
    glDeleteVertexArrays(1, &vao_);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
}

std::vector<std::string> PlainGlPeer::build(const std::vector<Frame>& frames) {
    window_ = SDL_GL_GetCurrentWindow();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    context_ = window_ ? SDL_GL_CreateContext(window_) : nullptr;
    if (!context_) return std::vector<std::string>(frames.size(), std::string("no context of its own"));
    SDL_GL_MakeCurrent(window_, context_);
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glDisable(GL_DITHER);
    std::vector<std::string> errors;
    for (const Frame& frame : frames) {
        frames_.emplace_back();
        framebufferOf_.clear();
        depthOf_.assign(frame.depths.size(), 0);
        errors.push_back(prepare(frame, frames_.back()));
    }
    return errors;
}

GLuint PlainGlPeer::sampler(GLenum wrapS, GLenum wrapT, bool mipmapped) {
    const std::uint64_t key = (std::uint64_t(wrapS) << 33) | (std::uint64_t(wrapT) << 1) | (mipmapped ? 1 : 0);
    GLuint& sampler = samplers_[key];
    if (!sampler) {
        glGenSamplers(1, &sampler);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GLint(wrapS));
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GLint(wrapT));
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    }
    return sampler;
}

GLuint PlainGlPeer::framebuffer(const Frame& frame, PreparedFrame& prepared, int target, int depth,
                                std::string& error) {
    GLuint& made = framebufferOf_[{target, depth}];
    if (made) return made;
    glGenFramebuffers(1, &made);
    prepared.framebuffers.push_back(made);
    glBindFramebuffer(GL_FRAMEBUFFER, made);
    const GLuint colour = target < 0 ? prepared.textures.back() : prepared.textures[std::size_t(target)];
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    if (depth >= 0) {
        GLuint& buffer = depthOf_[std::size_t(depth)];
        const DepthCopy& copy = frame.depths[std::size_t(depth)];
        const bool stencil = copy.format == D3DFMT_D24S8;
        if (!buffer) {
            glGenRenderbuffers(1, &buffer);
            prepared.renderbuffers.push_back(buffer);
            glBindRenderbuffer(GL_RENDERBUFFER, buffer);
            const GLenum format = copy.format == D3DFMT_D16 ? GL_DEPTH_COMPONENT16
                                  : stencil                 ? GL_DEPTH24_STENCIL8
                                                            : GL_DEPTH_COMPONENT24;
            glRenderbufferStorage(GL_RENDERBUFFER, format, GLsizei(copy.width), GLsizei(copy.height));
        }
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, buffer);
    }
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) error = "an incomplete framebuffer";
    return made;
}

std::string PlainGlPeer::prepare(const Frame& frame, PreparedFrame& prepared) {
    // The frame's textures, then the back buffer's colour last.
    for (const TextureCopy& copy : frame.textures) {
        if (copy.format != D3DFMT_A8R8G8B8 && copy.format != D3DFMT_X8R8G8B8)
            return "a texture format other than A8R8G8B8 and X8R8G8B8";
        GLuint texture = 0;
        glGenTextures(1, &texture);
        prepared.textures.push_back(texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(copy.levels.size()) - 1);
        if (opaqueFormat(copy.format)) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
        for (std::size_t level = 0; level < copy.levels.size(); ++level) {
            const GLsizei width = std::max(1u, copy.width >> level), height = std::max(1u, copy.height >> level);
            const std::vector<std::uint8_t>& bytes = copy.levels[level];
            if (!copy.renderTarget() && bytes.size() < std::size_t(width) * std::size_t(height) * 4)
                return "a texture level shorter than its size";
            glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGBA8, width, height, 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, copy.renderTarget() ? nullptr : bytes.data());
        }
    }
    GLuint back = 0;
    glGenTextures(1, &back);
    prepared.textures.push_back(back);
    glBindTexture(GL_TEXTURE_2D, back);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    prepared.width = GLsizei(frame.backBufferWidth);
    prepared.height = GLsizei(frame.backBufferHeight);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, prepared.width, prepared.height, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    std::string error;
    prepared.backFramebuffer = framebuffer(frame, prepared, -1, -1, error);
    if (!error.empty()) return error;

    // Vertices first, each draw's on a 16-byte boundary, then the indices.
    std::size_t vertexBytes = 0, indexBytes = 0;
    for (const Step& step : frame.steps) {
        vertexBytes += (step.call.vertices.size() + 15) / 16 * 16;
        indexBytes += step.call.indices.size() * 4;
    }
    prepared.block.resize(vertexBytes + indexBytes);
    std::size_t vertexAt = 0, indexAt = vertexBytes;
    for (const Step& step : frame.steps) {
        Item item;
        const int target = step.target;
        const TextureCopy* targetCopy = target >= 0 ? &frame.textures[std::size_t(target)] : nullptr;
        item.framebuffer = framebuffer(frame, prepared, target, step.depth, error);
        if (!error.empty()) return error;
        item.opaqueTarget = opaqueFormat(targetCopy ? targetCopy->format : frame.backBufferFormat);
        item.targetWidth = float(targetCopy ? targetCopy->width : frame.backBufferWidth);
        item.targetHeight = float(targetCopy ? targetCopy->height : frame.backBufferHeight);
        const D3DVIEWPORT9& v = step.state.viewport;
        item.viewport[0] = GLint(v.X);
        item.viewport[1] = GLint(v.Y);
        item.viewport[2] = GLint(v.Width);
        item.viewport[3] = GLint(v.Height);
        if (step.call.clear) {
            item.clear = true;
            if (step.call.flags & D3DCLEAR_TARGET) item.bits |= GL_COLOR_BUFFER_BIT;
            if (step.call.flags & D3DCLEAR_ZBUFFER) item.bits |= GL_DEPTH_BUFFER_BIT;
            if (step.call.flags & D3DCLEAR_STENCIL) return "a stencil clear";
            argbFloats(step.call.color, item.colour);
            // colour[] is r, g, b, a.
            if (item.opaqueTarget) item.colour[3] = 1.0f;
            item.depth = double(std::clamp(step.call.z, 0.0f, 1.0f));
            forEachClearRect(std::uint32_t(step.call.rects.size()), step.call.rects.empty() ? nullptr : step.call.rects.data(), v,
                             [&item](const D3DRECT& r) {
                                 item.rects.insert(item.rects.end(), {r.x1, r.y1, r.x2 - r.x1, r.y2 - r.y1});
                             });
            prepared.items.push_back(std::move(item));
            continue;
        }
        if (std::string why = prepareDraw(frame, step, prepared, item); !why.empty()) return why;
        std::memcpy(prepared.block.data() + vertexAt, step.call.vertices.data(), step.call.vertices.size());
        item.vertexOffset = vertexAt;
        vertexAt += (step.call.vertices.size() + 15) / 16 * 16;
        if (!step.call.indices.empty()) {
            const std::size_t kept = step.call.vertices.size() / step.call.stride;
            for (std::uint32_t index : step.call.indices)
                if (index >= kept) return "an index past the draw's vertices";
            std::memcpy(prepared.block.data() + indexAt, step.call.indices.data(), step.call.indices.size() * 4);
            item.indexed = true;
            item.indexOffset = indexAt;
            indexAt += step.call.indices.size() * 4;
        }
        prepared.items.push_back(std::move(item));
    }
    return std::string();
}

std::string PlainGlPeer::prepareDraw(const Frame& frame, const Step& step, PreparedFrame& prepared, Item& item) {
    const DeviceState& s = step.state;
    const auto& rs = s.renderStates;
    const auto& stage = s.stageStates[0];
    const VertexLayout layout = vertexLayout(s.fvf);
    if (layout.stride == 0 || step.call.stride < layout.stride) return "a vertex format without a whole vertex";
    if (layout.specularOffset >= 0) return "specular vertex colours";
    item.stride = step.call.stride;
    item.positionSize = layout.pretransformed ? 4 : 3;
    item.normalOffset = layout.normalOffset;
    item.diffuseOffset = layout.diffuseOffset;
    item.texCoordOffset = layout.texCoordCount ? layout.texCoordOffset : -1;
    item.mode = primitiveMode(step.call.type);
    item.count = GLsizei(vertexCountOf(step.call.type, step.call.primitiveCount));
    if (!item.mode) return "a primitive type";
    if (rs[D3DRS_FILLMODE] != D3DFILL_SOLID) return "a fill mode other than solid";
    if (rs[D3DRS_STENCILENABLE] && step.depth >= 0 && frame.depths[std::size_t(step.depth)].format == D3DFMT_D24S8)
        return "the stencil test";
    if ((rs[D3DRS_COLORWRITEENABLE] & 7) != 7) return "a colour write mask";

    item.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
    if (item.blend) {
        std::uint32_t source = rs[D3DRS_SRCBLEND], destination = rs[D3DRS_DESTBLEND];
        // 12 and 13: both factors from the source's alpha.
        if (source == 12) {
            source = D3DBLEND_SRCALPHA;
            destination = D3DBLEND_INVSRCALPHA;
        } else if (source == 13) {
            source = D3DBLEND_INVSRCALPHA;
            destination = D3DBLEND_SRCALPHA;
        }
        item.source = blendFactor(source);
        item.destination = blendFactor(destination);
        item.equation = blendEquation(rs[D3DRS_BLENDOP]);
        if (!item.source || !item.destination || !item.equation) return "a blend mode";
    }
    item.depthTest = step.depth >= 0 && rs[D3DRS_ZENABLE] != 0;
    item.depthWrite = item.depthTest && rs[D3DRS_ZWRITEENABLE] != 0;
    item.depthFunc = compareFunction(rs[D3DRS_ZFUNC]);
    if (item.depthTest && !item.depthFunc) return "a depth function";
    item.cull = rs[D3DRS_CULLMODE] == D3DCULL_CW || rs[D3DRS_CULLMODE] == D3DCULL_CCW;
    // The rows are stored top first, so the winding on screen turns round.
    item.front = rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_CW : GL_CCW;
    if (layout.pretransformed) {
        item.viewport[0] = item.viewport[1] = 0;
        item.viewport[2] = GLint(item.targetWidth);
        item.viewport[3] = GLint(item.targetHeight);
    } else {
        item.depthRange[0] = double(s.viewport.MinZ);
        item.depthRange[1] = double(s.viewport.MaxZ);
    }

    // The vertex stage: pre-transformed, or transformed with light and fog.
    const bool lighting = !layout.pretransformed && rs[D3DRS_LIGHTING];
    const D3DLIGHT9& light = s.lights[0];
    const D3DVECTOR& d = light.Direction;
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const bool lightOn = lighting && s.lightSet[0] && s.lightEnabled[0] && light.Type == D3DLIGHT_DIRECTIONAL &&
                         length > 0.0f;
    if (lighting && rs[D3DRS_COLORVERTEX]) {
        for (D3DRENDERSTATETYPE source :
             {D3DRS_DIFFUSEMATERIALSOURCE, D3DRS_AMBIENTMATERIALSOURCE, D3DRS_EMISSIVEMATERIALSOURCE})
            if (rs[source] == 1 && layout.diffuseOffset >= 0) return "vertex colours as the material";
    }
    std::uint32_t fog = 0;
    if (rs[D3DRS_FOGENABLE] && !layout.pretransformed)
        fog = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE] : rs[D3DRS_FOGVERTEXMODE];
    if (fog != D3DFOG_NONE && fog != D3DFOG_LINEAR) return "exponential fog";
    const bool normalize = lighting && layout.normalOffset >= 0 && rs[D3DRS_NORMALIZENORMALS];

    std::string vertex = "#version 330 core\n"
                         "layout(location = 0) in vec4 position;\n"
                         "layout(location = 1) in vec3 normal;\n"
                         "layout(location = 2) in vec4 colour;\n"
                         "layout(location = 4) in vec2 texCoord;\n"
                         "uniform vec2 targetSize, pixelShift;\n"
                         "uniform mat4 world, view, projection;\n"
                         "uniform vec4 materialDiffuse;\n"
                         "uniform vec3 materialAmbient, materialEmissive, lightDiffuse, lightDirection;\n"
                         "uniform float fogStart, fogEnd;\n"
                         "out vec4 diffuse;\nout vec2 uv;\nout float fog;\n"
                         "void main() {\n"
                         "    uv = texCoord;\n    fog = 1.0;\n";
    if (layout.pretransformed) {
        vertex += "    float w = position.w > 0.0 ? 1.0 / position.w : 1.0;\n"
                  "    vec2 ndc = (position.xy + 0.5) * 2.0 / targetSize - 1.0;\n"
                  "    gl_Position = vec4(ndc * w, (position.z * 2.0 - 1.0) * w, w);\n";
    } else {
        vertex += "    vec4 eye = view * (world * vec4(position.xyz, 1.0));\n"
                  "    vec4 clip = projection * eye;\n"
                  "    gl_Position = vec4(clip.x + clip.w * pixelShift.x, -clip.y + clip.w * pixelShift.y,\n"
                  "                       2.0 * clip.z - clip.w, clip.w);\n";
        if (fog == D3DFOG_LINEAR)
            vertex += "    float depth = abs(eye.w != 0.0 ? eye.z / eye.w : eye.z);\n"
                      "    fog = clamp(fogEnd != fogStart ? (fogEnd - depth) / (fogEnd - fogStart)\n"
                      "                                   : (depth < fogEnd ? 1.0 : 0.0), 0.0, 1.0);\n";
    }
    if (lighting) {
        // Emissive and ambient parts come summed from the CPU.
        vertex += "    vec3 lit = materialEmissive;\n";
        if (lightOn && layout.normalOffset >= 0) {
            vertex += "    vec3 n = (world * vec4(normal, 0.0)).xyz;\n";
            if (normalize) vertex += "    if (dot(n, n) > 0.0) n = normalize(n);\n";
            vertex += "    lit += materialDiffuse.rgb * lightDiffuse * max(dot(n, -lightDirection), 0.0);\n";
        }
        vertex += "    diffuse = vec4(clamp(lit, 0.0, 1.0), clamp(materialDiffuse.a, 0.0, 1.0));\n";
    } else {
        vertex += layout.diffuseOffset >= 0 ? "    diffuse = colour;\n" : "    diffuse = vec4(1.0);\n";
    }
    vertex += "}\n";

    // The pixel stage: texture stage 0, fog and the alpha test.
    std::uint32_t colourOp = stage[D3DTSS_COLOROP], colourArg1 = stage[D3DTSS_COLORARG1],
                  colourArg2 = stage[D3DTSS_COLORARG2];
    std::uint32_t alphaOp = stage[D3DTSS_ALPHAOP], alphaArg1 = stage[D3DTSS_ALPHAARG1],
                  alphaArg2 = stage[D3DTSS_ALPHAARG2];
    const bool bound = step.texture >= 0;
    const bool colourReads = colourOp != D3DTOP_DISABLE && readsTexture(colourOp, colourArg1, colourArg2);
    const bool alphaReads = colourOp != D3DTOP_DISABLE && alphaOp != D3DTOP_DISABLE &&
                            readsTexture(alphaOp, alphaArg1, alphaArg2);
    // A stage reading an absent texture is passed over: the diffuse colour.
    if (!bound && colourReads) {
        colourOp = D3DTOP_SELECTARG1;
        colourArg1 = D3DTA_DIFFUSE;
    }
    if (!bound && alphaReads) {
        alphaOp = D3DTOP_SELECTARG1;
        alphaArg1 = D3DTA_DIFFUSE;
    }
    const bool sampled = bound && (colourReads || alphaReads);
    std::string fragment = "#version 330 core\n"
                           "uniform sampler2D image;\nuniform vec4 factor;\nuniform vec3 fogColour;\n"
                           "uniform int alphaRef;\n"
                           "in vec4 diffuse;\nin vec2 uv;\nin float fog;\nout vec4 result;\n"
                           "void main() {\n";
    fragment += sampled ? "    vec4 texel = texture(image, uv);\n" : "    vec4 texel = diffuse;\n";
    fragment += "    vec4 c = diffuse;\n";
    if (colourOp != D3DTOP_DISABLE) {
        const std::string a = argumentText(colourArg1), b = argumentText(colourArg2);
        const std::string op = operationText(colourOp, a.empty() ? "diffuse" : a, b.empty() ? "diffuse" : b);
        if (op.empty() || (colourOp != D3DTOP_SELECTARG2 && a.empty()) || (colourOp != D3DTOP_SELECTARG1 && b.empty()))
            return "a colour operation or argument";
        fragment += "    c.rgb = clamp((" + op + ").rgb, 0.0, 1.0);\n";
        if (alphaOp != D3DTOP_DISABLE) {
            const std::string aa = argumentText(alphaArg1), ab = argumentText(alphaArg2);
            const std::string aop = operationText(alphaOp, aa.empty() ? "diffuse" : aa, ab.empty() ? "diffuse" : ab);
            if (aop.empty() || (alphaOp != D3DTOP_SELECTARG2 && aa.empty()) ||
                (alphaOp != D3DTOP_SELECTARG1 && ab.empty()))
                return "an alpha operation or argument";
            fragment += "    c.a = clamp((" + aop + ").a, 0.0, 1.0);\n";
        }
    }
    if (fog == D3DFOG_LINEAR) fragment += "    c.rgb = mix(fogColour, c.rgb, fog);\n";
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS) {
        const char* test = comparisonText(rs[D3DRS_ALPHAFUNC]);
        if (!test) return "an alpha function";
        if (rs[D3DRS_ALPHAFUNC] == D3DCMP_NEVER)
            fragment += "    discard;\n";
        else
            fragment += std::string("    if (!(int(c.a * 255.0 + 0.5) ") + test + " alphaRef)) discard;\n";
    }
    fragment += "    result = c;\n}\n";
    item.program = program(vertex + fragment, vertex, fragment);
    if (!item.program) return "a shader that does not build";

    if (sampled) {
        const TextureCopy& copy = frame.textures[std::size_t(step.texture)];
        const GLenum wrapS = wrapMode(s.samplerStates[0][D3DSAMP_ADDRESSU]),
                     wrapT = wrapMode(s.samplerStates[0][D3DSAMP_ADDRESSV]);
        if (!wrapS || !wrapT) return "a texture address mode";
        item.texture = prepared.textures[std::size_t(step.texture)];
        item.sampler = sampler(wrapS, wrapT, copy.levels.size() > 1);
    }

    // The uniforms' values.
    item.pixelShift[0] = 1.0f / float(s.viewport.Width);
    item.pixelShift[1] = 1.0f / float(s.viewport.Height);
    std::memcpy(item.world, &s.world._11, sizeof item.world);
    std::memcpy(item.view, &s.view._11, sizeof item.view);
    std::memcpy(item.projection, &s.projection._11, sizeof item.projection);
    const D3DMATERIAL9& m = s.material;
    float ambient[4];
    argbFloats(rs[D3DRS_AMBIENT], ambient);
    item.materialDiffuse[0] = m.Diffuse.r;
    item.materialDiffuse[1] = m.Diffuse.g;
    item.materialDiffuse[2] = m.Diffuse.b;
    item.materialDiffuse[3] = m.Diffuse.a;
    const float materialAmbient[3] = {m.Ambient.r, m.Ambient.g, m.Ambient.b};
    const float lightAmbient[3] = {light.Ambient.r, light.Ambient.g, light.Ambient.b};
    const float emissive[3] = {m.Emissive.r, m.Emissive.g, m.Emissive.b};
    for (int i = 0; i < 3; ++i) {
        item.materialEmissive[i] = emissive[i] + materialAmbient[i] * ambient[i];
        if (lightOn) item.materialEmissive[i] += materialAmbient[i] * lightAmbient[i];
    }
    item.lightDiffuse[0] = light.Diffuse.r;
    item.lightDiffuse[1] = light.Diffuse.g;
    item.lightDiffuse[2] = light.Diffuse.b;
    if (length > 0.0f) {
        item.lightDirection[0] = d.x / length;
        item.lightDirection[1] = d.y / length;
        item.lightDirection[2] = d.z / length;
    }
    item.fogStart = bitsFloat(rs[D3DRS_FOGSTART]);
    item.fogEnd = bitsFloat(rs[D3DRS_FOGEND]);
    float fogColour[4];
    argbFloats(rs[D3DRS_FOGCOLOR], fogColour);
    std::memcpy(item.fogColour, fogColour, sizeof item.fogColour);
    argbFloats(rs[D3DRS_TEXTUREFACTOR], item.factor);
    item.alphaRef = GLint(rs[D3DRS_ALPHAREF] & 0xFF);
    return std::string();
}

const PlainGlPeer::Program* PlainGlPeer::program(const std::string& key, const std::string& vertex,
                                                 const std::string& fragment) {
    auto found = programs_.find(key);
    if (found != programs_.end()) return &found->second;
    Program made;
    made.id = glCreateProgram();
    const GLuint v = compileShader(GL_VERTEX_SHADER, vertex), f = compileShader(GL_FRAGMENT_SHADER, fragment);
    glAttachShader(made.id, v);
    glAttachShader(made.id, f);
    glLinkProgram(made.id);
    glDeleteShader(v);
    glDeleteShader(f);
    GLint linked = 0;
    glGetProgramiv(made.id, GL_LINK_STATUS, &linked);
    if (!linked) {
        glDeleteProgram(made.id);
        return nullptr;
    }
    Uniforms& u = made.uniforms;
    auto at = [&made](const char* name) { return glGetUniformLocation(made.id, name); };
    u.targetSize = at("targetSize");
    u.pixelShift = at("pixelShift");
    u.world = at("world");
    u.view = at("view");
    u.projection = at("projection");
    u.materialDiffuse = at("materialDiffuse");
    u.materialAmbient = at("materialAmbient");
    u.materialEmissive = at("materialEmissive");
    u.lightDiffuse = at("lightDiffuse");
    u.lightDirection = at("lightDirection");
    u.fogStart = at("fogStart");
    u.fogEnd = at("fogEnd");
    u.fogColour = at("fogColour");
    u.factor = at("factor");
    u.alphaRef = at("alphaRef");
    glUseProgram(made.id);
    glUniform1i(at("image"), 0);
    return &programs_.emplace(key, made).first->second;
}

void PlainGlPeer::drawFrame(std::size_t which) {
    const PreparedFrame& frame = frames_[which];
    SDL_GL_MakeCurrent(window_, context_);
    glBindVertexArray(vao_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(frame.block.size()), frame.block.data(), GL_STREAM_DRAW);
    glEnable(GL_SCISSOR_TEST);
    glActiveTexture(GL_TEXTURE0);
    GLuint framebuffer = ~0u, program = ~0u, texture = ~0u, sampler = ~0u;
    for (const Item& item : frame.items) {
        if (item.framebuffer != framebuffer) {
            glBindFramebuffer(GL_FRAMEBUFFER, item.framebuffer);
            framebuffer = item.framebuffer;
        }
        if (item.clear) {
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            glDepthMask(GL_TRUE);
            glClearColor(item.colour[0], item.colour[1], item.colour[2], item.colour[3]);
            glClearDepth(item.depth);
            for (std::size_t r = 0; r + 3 < item.rects.size(); r += 4) {
                glScissor(item.rects[r], item.rects[r + 1], item.rects[r + 2], item.rects[r + 3]);
                glClear(item.bits);
            }
            continue;
        }
        glViewport(item.viewport[0], item.viewport[1], item.viewport[2], item.viewport[3]);
        glDepthRange(item.depthRange[0], item.depthRange[1]);
        glScissor(item.viewport[0], item.viewport[1], item.viewport[2], item.viewport[3]);
        if (item.blend) {
            glEnable(GL_BLEND);
            glBlendFunc(item.source, item.destination);
            glBlendEquation(item.equation);
        } else {
            glDisable(GL_BLEND);
        }
        if (item.depthTest) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(item.depthFunc);
        } else {
            glDisable(GL_DEPTH_TEST);
        }
        glDepthMask(item.depthWrite ? GL_TRUE : GL_FALSE);
        if (item.cull) {
            glEnable(GL_CULL_FACE);
            glFrontFace(item.front);
        } else {
            glDisable(GL_CULL_FACE);
        }
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, item.opaqueTarget ? GL_FALSE : GL_TRUE);
        if (item.program->id != program) {
            glUseProgram(item.program->id);
            program = item.program->id;
        }
        const Uniforms& u = item.program->uniforms;
        glUniform2f(u.targetSize, item.targetWidth, item.targetHeight);
        glUniform2f(u.pixelShift, item.pixelShift[0], item.pixelShift[1]);
        glUniformMatrix4fv(u.world, 1, GL_FALSE, item.world);
        glUniformMatrix4fv(u.view, 1, GL_FALSE, item.view);
        glUniformMatrix4fv(u.projection, 1, GL_FALSE, item.projection);
        glUniform4fv(u.materialDiffuse, 1, item.materialDiffuse);
        glUniform3fv(u.materialEmissive, 1, item.materialEmissive);
        glUniform3fv(u.lightDiffuse, 1, item.lightDiffuse);
        glUniform3fv(u.lightDirection, 1, item.lightDirection);
        glUniform1f(u.fogStart, item.fogStart);
        glUniform1f(u.fogEnd, item.fogEnd);
        glUniform3fv(u.fogColour, 1, item.fogColour);
        glUniform4f(u.factor, item.factor[0], item.factor[1], item.factor[2], item.factor[3]);
        glUniform1i(u.alphaRef, item.alphaRef);
        if (item.texture != texture) {
            glBindTexture(GL_TEXTURE_2D, item.texture);
            texture = item.texture;
        }
        if (item.sampler != sampler) {
            glBindSampler(0, item.sampler);
            sampler = item.sampler;
        }
        const auto* base = reinterpret_cast<const std::uint8_t*>(item.vertexOffset);
        const auto stride = GLsizei(item.stride);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, item.positionSize, GL_FLOAT, GL_FALSE, stride, base);
        auto attribute = [&](GLuint slot, std::int32_t offset, GLint size, GLenum type, GLboolean normalised) {
            if (offset < 0) {
                glDisableVertexAttribArray(slot);
                return;
            }
            glEnableVertexAttribArray(slot);
            glVertexAttribPointer(slot, size, type, normalised, stride, base + offset);
        };
        attribute(1, item.normalOffset, 3, GL_FLOAT, GL_FALSE);
        attribute(2, item.diffuseOffset, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);
        attribute(4, item.texCoordOffset, 2, GL_FLOAT, GL_FALSE);
        if (item.indexed)
            glDrawElements(item.mode, item.count, GL_UNSIGNED_INT, reinterpret_cast<const void*>(item.indexOffset));
        else
            glDrawArrays(item.mode, 0, item.count);
    }
    glFinish();
}

void PlainGlPeer::readBack(std::size_t which, std::vector<std::uint32_t>& out) {
    const PreparedFrame& frame = frames_[which];
    SDL_GL_MakeCurrent(window_, context_);
    glBindFramebuffer(GL_FRAMEBUFFER, frame.backFramebuffer);
    out.assign(std::size_t(frame.width) * std::size_t(frame.height), 0);
    glReadPixels(0, 0, frame.width, frame.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out.data());
}

}  // namespace realframes
