// The OpenGL state the backend last set, so that a draw sends only what
// differs: bindings (program, vertex array, buffers, texture and sampler of
// unit 0) and the fixed-function states the device state turns into. Every
// OpenGL call of the backend that changes one of these goes through here;
// invalidate() forgets it all (a new device on a context an earlier one used).
// Main thread only.
#pragma once
#include <array>
#include <cstdint>

#include "platform/gfx/GlContext.h"

class GlStateCache {
public:
    GlStateCache() { invalidate(); }
    void invalidate();

    void useProgram(GLuint program);
    void bindVertexArray(GLuint vao);
    // GL_ARRAY_BUFFER, GL_ELEMENT_ARRAY_BUFFER (of the one vertex array) or
    // GL_COPY_WRITE_BUFFER.
    void bindBuffer(GLenum target, GLuint buffer);
    // Unit 0 is the only one the backend samples; uploads bind there too.
    void bindTexture(GLuint texture);
    void bindSampler(GLuint sampler);
    // The OpenGL object is gone: a binding naming it is no longer true.
    void bufferDeleted(GLuint buffer);
    void textureDeleted(GLuint texture);

    void enable(GLenum capability, bool on);
    void blendFunc(GLenum source, GLenum destination);
    void blendEquation(GLenum equation);
    void depthFunc(GLenum func);
    void depthMask(bool write);
    void stencilFunc(GLenum func, GLint reference, GLuint mask);
    void stencilOp(GLenum fail, GLenum depthFail, GLenum pass);
    void stencilMask(GLuint mask);
    void cullFace(GLenum front);
    void polygonMode(GLenum mode);
    void colorMask(bool red, bool green, bool blue, bool alpha);
    void viewport(GLint x, GLint y, GLsizei width, GLsizei height);
    void depthRange(double nearZ, double farZ);
    void scissor(GLint x, GLint y, GLsizei width, GLsizei height);
    void unpackRowLength(GLint pixels);

private:
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    GLuint program_, vao_, arrayBuffer_, elementBuffer_, copyBuffer_, texture_, sampler_;
    bool textureUnitZero_;
    // GL_BLEND, GL_DEPTH_TEST, GL_STENCIL_TEST, GL_CULL_FACE, GL_SCISSOR_TEST:
    // 0 off, 1 on, kUnknown not known.
    std::array<std::uint32_t, 5> enabled_;
    std::uint32_t blendSource_, blendDestination_, blendEquation_, depthFunc_, depthMask_;
    std::uint32_t stencilFunc_, stencilMask_, stencilWriteMask_;
    GLint stencilReference_;
    std::uint32_t stencilFail_, stencilDepthFail_, stencilPass_, frontFace_, polygonMode_, colorMask_;
    std::array<GLint, 4> viewport_, scissor_;
    double depthNear_, depthFar_;
    GLint unpackRowLength_;
};
