// The real-frame benchmark's reference: a plain OpenGL 3.3 program written
// for the benchmark, drawing a kept frame's triangles on a context of its
// own. Everything a frame needs is prepared once: its textures (linear
// filtering, mipmapped where they have levels), one framebuffer per target
// and depth pair, one shader per state the frame uses, and the frame's
// vertices and indices in one block. A frame is then one buffer upload and,
// per draw, the few OpenGL states that differ from the draw before, the
// uniforms and the draw call.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "RealFrameCapture.h"
#include "platform/gfx/GlContext.h"

struct SDL_Window;

namespace realframes {

class PlainGlPeer {
public:
    PlainGlPeer() = default;
    PlainGlPeer(const PlainGlPeer&) = delete;
    PlainGlPeer& operator=(const PlainGlPeer&) = delete;
    ~PlainGlPeer();

    // Prepares every frame on a new context of the current window; per frame,
    // why the peer cannot draw it (a state or format it does not know), or
    // empty.
    std::vector<std::string> build(const std::vector<Frame>& frames);
    void drawFrame(std::size_t which);
    // The back buffer of the last drawn frame, rows top first, B G R A bytes.
    void readBack(std::size_t which, std::vector<std::uint32_t>& out);

    // One program's uniform locations.
    struct Uniforms {
        GLint targetSize = -1, pixelShift = -1, world = -1, view = -1, projection = -1;
        GLint materialDiffuse = -1, materialAmbient = -1, materialEmissive = -1, lightDiffuse = -1,
              lightDirection = -1;
        GLint fogStart = -1, fogEnd = -1, fogColour = -1, factor = -1, alphaRef = -1;
    };

private:
    struct Program {
        GLuint id = 0;
        Uniforms uniforms;
    };
    // One clear or draw with everything it sends.
    struct Item {
        bool clear = false;
        GLuint framebuffer = 0;
        bool opaqueTarget = false;
        float targetWidth = 0, targetHeight = 0;
        GLint viewport[4] = {};
        double depthRange[2] = {0.0, 1.0};
        // A clear.
        std::vector<GLint> rects;  // x, y, width, height each
        GLbitfield bits = 0;
        float colour[4] = {};
        double depth = 1.0;
        // A draw.
        const Program* program = nullptr;
        bool blend = false;
        GLenum source = GL_ONE, destination = GL_ZERO, equation = GL_FUNC_ADD;
        bool depthTest = false, depthWrite = false;
        GLenum depthFunc = GL_LEQUAL;
        bool cull = false;
        GLenum front = GL_CCW;
        GLuint texture = 0, sampler = 0;
        GLenum mode = GL_TRIANGLES;
        GLsizei count = 0;
        std::size_t vertexOffset = 0, indexOffset = 0;  // bytes into the frame's block
        bool indexed = false;
        std::uint32_t stride = 0;
        std::int32_t positionSize = 3, normalOffset = -1, diffuseOffset = -1, texCoordOffset = -1;
        float pixelShift[2] = {};
        float world[16] = {}, view[16] = {}, projection[16] = {};
        float materialDiffuse[4] = {}, materialAmbient[3] = {}, materialEmissive[3] = {}, lightDiffuse[3] = {},
              lightDirection[3] = {};
        float fogStart = 0, fogEnd = 0, fogColour[3] = {}, factor[4] = {};
        GLint alphaRef = 0;
    };
    struct PreparedFrame {
        std::vector<Item> items;
        std::vector<std::uint8_t> block;  // vertices, then indices
        std::vector<GLuint> textures, renderbuffers, framebuffers;
        GLuint backFramebuffer = 0;
        GLsizei width = 0, height = 0;
    };

    std::string prepare(const Frame& frame, PreparedFrame& out);
    std::string prepareDraw(const Frame& frame, const Step& step, PreparedFrame& prepared, Item& item);
    const Program* program(const std::string& key, const std::string& vertex, const std::string& fragment);
    GLuint sampler(GLenum wrapS, GLenum wrapT, bool mipmapped);
    GLuint framebuffer(const Frame& frame, PreparedFrame& prepared, int target, int depth, std::string& error);

    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    GLuint vao_ = 0, buffer_ = 0;
    std::vector<PreparedFrame> frames_;
    std::map<std::string, Program> programs_;
    std::map<std::uint64_t, GLuint> samplers_;
    std::map<std::pair<int, int>, GLuint> framebufferOf_;
    std::vector<GLuint> depthOf_;  // per depth index of the frame being prepared
};

}  // namespace realframes
