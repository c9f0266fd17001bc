#include "platform/gfx/GlStateCache.h"
// Last: counts the OpenGL calls below.
#include "platform/gfx/GlCounted.h"

namespace {
int capabilityIndex(GLenum capability) {
    switch (capability) {
    case GL_BLEND: return 0;
    case GL_DEPTH_TEST: return 1;
    case GL_STENCIL_TEST: return 2;
    case GL_CULL_FACE: return 3;
    default: return 4;  // GL_SCISSOR_TEST
    }
}
}  // namespace

void GlStateCache::invalidate() {
    program_ = vao_ = arrayBuffer_ = elementBuffer_ = copyBuffer_ = texture_ = sampler_ = kUnknown;
    textureUnitZero_ = false;
    enabled_.fill(kUnknown);
    blendSource_ = blendDestination_ = blendEquation_ = depthFunc_ = depthMask_ = kUnknown;
    stencilFunc_ = stencilMask_ = stencilWriteMask_ = kUnknown;
    stencilReference_ = -1;
    stencilFail_ = stencilDepthFail_ = stencilPass_ = frontFace_ = polygonMode_ = colorMask_ = kUnknown;
    viewport_.fill(-1);
    scissor_.fill(-1);
    depthNear_ = depthFar_ = -1.0;
    unpackRowLength_ = -1;
}

void GlStateCache::useProgram(GLuint program) {
    if (program_ == program) return;
    program_ = program;
    glUseProgram(program);
}

void GlStateCache::bindVertexArray(GLuint vao) {
    if (vao_ == vao) return;
    vao_ = vao;
    // The element buffer binding belongs to the vertex array.
    elementBuffer_ = kUnknown;
    glBindVertexArray(vao);
}

void GlStateCache::bindBuffer(GLenum target, GLuint buffer) {
    GLuint& bound = target == GL_ARRAY_BUFFER ? arrayBuffer_ : target == GL_ELEMENT_ARRAY_BUFFER ? elementBuffer_
                                                                                              : copyBuffer_;
    if (bound == buffer) return;
    bound = buffer;
    glBindBuffer(target, buffer);
}

void GlStateCache::bindTexture(GLuint texture) {
    if (!textureUnitZero_) {
        glActiveTexture(GL_TEXTURE0);
        textureUnitZero_ = true;
    }
    if (texture_ == texture) return;
    texture_ = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
}

void GlStateCache::bindSampler(GLuint sampler) {
    if (sampler_ == sampler) return;
    sampler_ = sampler;
    glBindSampler(0, sampler);
}

void GlStateCache::bufferDeleted(GLuint buffer) {
    // Deleting a bound buffer unbinds it, from the vertex array too.
    if (arrayBuffer_ == buffer) arrayBuffer_ = 0;
    if (elementBuffer_ == buffer) elementBuffer_ = 0;
    if (copyBuffer_ == buffer) copyBuffer_ = 0;
}

void GlStateCache::textureDeleted(GLuint texture) {
    if (texture_ == texture) texture_ = 0;
}

void GlStateCache::enable(GLenum capability, bool on) {
    std::uint32_t& state = enabled_[std::size_t(capabilityIndex(capability))];
    if (state == std::uint32_t(on)) return;
    state = on;
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

void GlStateCache::blendFunc(GLenum source, GLenum destination) {
    if (blendSource_ == source && blendDestination_ == destination) return;
    blendSource_ = source;
    blendDestination_ = destination;
    glBlendFunc(source, destination);
}

void GlStateCache::blendEquation(GLenum equation) {
    if (blendEquation_ == equation) return;
    blendEquation_ = equation;
    glBlendEquation(equation);
}

void GlStateCache::depthFunc(GLenum func) {
    if (depthFunc_ == func) return;
    depthFunc_ = func;
    glDepthFunc(func);
}

void GlStateCache::depthMask(bool write) {
    if (depthMask_ == std::uint32_t(write)) return;
    depthMask_ = write;
    glDepthMask(write ? GL_TRUE : GL_FALSE);
}

void GlStateCache::stencilFunc(GLenum func, GLint reference, GLuint mask) {
    if (stencilFunc_ == func && stencilReference_ == reference && stencilMask_ == mask) return;
    stencilFunc_ = func;
    stencilReference_ = reference;
    stencilMask_ = mask;
    glStencilFunc(func, reference, mask);
}

void GlStateCache::stencilOp(GLenum fail, GLenum depthFail, GLenum pass) {
    if (stencilFail_ == fail && stencilDepthFail_ == depthFail && stencilPass_ == pass) return;
    stencilFail_ = fail;
    stencilDepthFail_ = depthFail;
    stencilPass_ = pass;
    glStencilOp(fail, depthFail, pass);
}

void GlStateCache::stencilMask(GLuint mask) {
    if (stencilWriteMask_ == mask) return;
    stencilWriteMask_ = mask;
    glStencilMask(mask);
}

void GlStateCache::cullFace(GLenum front) {
    // The back face is always the one culled; the winding picks it.
    if (frontFace_ == front) return;
    if (frontFace_ == kUnknown) glCullFace(GL_BACK);
    frontFace_ = front;
    glFrontFace(front);
}

void GlStateCache::polygonMode(GLenum mode) {
    if (polygonMode_ == mode) return;
    polygonMode_ = mode;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
}

void GlStateCache::colorMask(bool red, bool green, bool blue, bool alpha) {
    const std::uint32_t mask = std::uint32_t(red) | std::uint32_t(green) << 1 | std::uint32_t(blue) << 2 |
                               std::uint32_t(alpha) << 3;
    if (colorMask_ == mask) return;
    colorMask_ = mask;
    glColorMask(red, green, blue, alpha);
}

void GlStateCache::viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    const std::array<GLint, 4> wanted{x, y, width, height};
    if (viewport_ == wanted) return;
    viewport_ = wanted;
    glViewport(x, y, width, height);
}

void GlStateCache::depthRange(double nearZ, double farZ) {
    if (depthNear_ == nearZ && depthFar_ == farZ) return;
    depthNear_ = nearZ;
    depthFar_ = farZ;
    glDepthRange(nearZ, farZ);
}

void GlStateCache::scissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    const std::array<GLint, 4> wanted{x, y, width, height};
    if (scissor_ == wanted) return;
    scissor_ = wanted;
    glScissor(x, y, width, height);
}

void GlStateCache::unpackRowLength(GLint pixels) {
    if (unpackRowLength_ == pixels) return;
    unpackRowLength_ = pixels;
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels);
}
