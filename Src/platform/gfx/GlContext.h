// The OpenGL 3.3 core context on the main window's SDL window, shared by the
// OpenGL adapter and its devices. Including this header brings in the core
// OpenGL declarations.
#pragma once
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <memory>
#include <string>

struct SDL_Window;

class GlContext {
public:
    // Creates a 3.3 core context on the window and makes it current; null
    // with the reason in `error` when the window or the context is missing.
    static std::shared_ptr<GlContext> create(SDL_Window* window, std::string& error);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // Makes the context current on the window it draws into.
    void makeCurrent(SDL_Window* window);
    SDL_Window* window() const { return window_; }

    const std::string& renderer() const { return renderer_; }
    const std::string& version() const { return version_; }
    const std::string& vendor() const { return vendor_; }
    int majorVersion() const { return major_; }
    int minorVersion() const { return minor_; }
    bool hasExtension(const char* name) const;
    // A renderer that draws on the CPU (Mesa's llvmpipe, softpipe and swrast).
    bool isSoftware() const { return namesSoftware(renderer_); }
    static bool namesSoftware(const std::string& renderer);
    // The most anisotropic filtering the driver offers; 1 without the extension.
    float maxAnisotropy() const { return maxAnisotropy_; }

private:
    GlContext() = default;
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    std::string renderer_, version_, vendor_;
    int major_ = 0, minor_ = 0;
    float maxAnisotropy_ = 1.0f;
};
