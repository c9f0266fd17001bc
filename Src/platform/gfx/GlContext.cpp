#include "platform/gfx/GlContext.h"

#include <SDL2/SDL.h>

#include <algorithm>

std::shared_ptr<GlContext> GlContext::create(SDL_Window* window, std::string& error) {
    if (!window) {
        error = "no window to draw into";
        return nullptr;
    }
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
        error = "the window was created without OpenGL";
        return nullptr;
    }
    // The OpenGL library stays loaded for the life of the process (SDL
    // would otherwise unload and reload the driver with every window):
    // one extra reference, taken once.
    static const bool libraryHeld = SDL_GL_LoadLibrary(nullptr) == 0;
    (void)libraryHeld;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_FORWARD_COMPATIBLE_FLAG);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        error = std::string("no OpenGL 3.3 core context: ") + SDL_GetError();
        return nullptr;
    }
    std::shared_ptr<GlContext> made(new GlContext);
    made->window_ = window;
    made->context_ = context;
    SDL_GL_MakeCurrent(window, context);
    auto text = [](GLenum name) {
        const GLubyte* value = glGetString(name);
        return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
    };
    made->renderer_ = text(GL_RENDERER);
    made->version_ = text(GL_VERSION);
    made->vendor_ = text(GL_VENDOR);
    glGetIntegerv(GL_MAJOR_VERSION, &made->major_);
    glGetIntegerv(GL_MINOR_VERSION, &made->minor_);
    if (made->major_ < 3 || (made->major_ == 3 && made->minor_ < 3)) {
        error = "OpenGL " + made->version_ + " is older than 3.3";
        return nullptr;
    }
    if (made->hasExtension("GL_EXT_texture_filter_anisotropic") ||
        made->hasExtension("GL_ARB_texture_filter_anisotropic")) {
        glGetFloatv(0x84FF /* GL_MAX_TEXTURE_MAX_ANISOTROPY */, &made->maxAnisotropy_);
        made->maxAnisotropy_ = std::max(1.0f, made->maxAnisotropy_);
    }
    return made;
}

GlContext::~GlContext() {
    if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
}

void GlContext::makeCurrent(SDL_Window* window) {
    if (SDL_GL_GetCurrentContext() != context_ || SDL_GL_GetCurrentWindow() != window)
        SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(context_));
}

bool GlContext::hasExtension(const char* name) const {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const GLubyte* extension = glGetStringi(GL_EXTENSIONS, GLuint(i));
        if (extension && std::string(reinterpret_cast<const char*>(extension)) == name) return true;
    }
    return false;
}

bool GlContext::namesSoftware(const std::string& renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software"})
        if (renderer.find(name) != std::string::npos) return true;
    return false;
}
