// The adapter: Direct3D 9's IDirect3D9 reduced to what the engine asks of it
// (identifier, capabilities, display modes, format checks, device creation),
// with Direct3D's arguments and results.
//
// The survey answers are synthetic and the same on every backend and machine
// (AdapterSurvey), so device creation and the scripts' capability queries
// behave alike everywhere; only the identifier names the real renderer.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/HResult.h"
#include "platform/gfx/AdapterSurvey.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxResource.h"
#include "platform/gfx/GfxTypes.h"

class GfxAdapter : public GfxObject {
public:
    virtual HRESULT getAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags,
                                         D3DADAPTER_IDENTIFIER9* identifier) = 0;
    virtual HRESULT getDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    virtual std::uint32_t getAdapterModeCount(std::uint32_t adapter, D3DFORMAT format) = 0;
    virtual HRESULT enumAdapterModes(std::uint32_t adapter, D3DFORMAT format, std::uint32_t mode,
                                     D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT getAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT checkDeviceType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                    D3DFORMAT backBufferFormat, std::int32_t windowed) = 0;
    virtual HRESULT checkDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                      std::uint32_t usage, D3DRESOURCETYPE resourceType,
                                      D3DFORMAT checkFormat) = 0;
    virtual HRESULT checkDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    // qualityLevels may be null.
    virtual HRESULT checkDeviceMultiSampleType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                               std::int32_t windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                               std::uint32_t* qualityLevels) = 0;
    // focusWindow may be null when the parameters name the window.
    virtual HRESULT createDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow,
                                 std::uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                 GfxDevice** device) = 0;

    // Direct3DCreate9: the adapter of the installed backend, or null when it
    // cannot run (the OpenGL backend without an OpenGL 3.3 context on the
    // main window). The real program uses OpenGL; tests install their own.
    static GfxAdapter* create(std::uint32_t sdkVersion);
    using Factory = std::function<GfxAdapter*()>;
    // Installs a backend for the whole process; an empty factory restores
    // OpenGL.
    static void setFactory(Factory factory);
};

// The adapter part both backends share: every survey question is answered
// from the synthetic survey.
class SurveyedAdapter : public GfxAdapter {
public:
    explicit SurveyedAdapter(AdapterSurvey survey) : survey_(std::move(survey)) {}

    HRESULT getDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    std::uint32_t getAdapterModeCount(std::uint32_t adapter, D3DFORMAT format) override;
    HRESULT enumAdapterModes(std::uint32_t adapter, D3DFORMAT format, std::uint32_t mode,
                             D3DDISPLAYMODE* displayMode) override;
    HRESULT getAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* displayMode) override;
    HRESULT checkDeviceType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                            D3DFORMAT backBufferFormat, std::int32_t windowed) override;
    HRESULT checkDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, std::uint32_t usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT checkDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT checkDeviceMultiSampleType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                       std::int32_t windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                       std::uint32_t* qualityLevels) override;

    const AdapterSurvey& survey() const { return survey_; }


    // Checks the creation arguments against the survey: D3D_OK when a device
    // of these parameters can exist, else D3DERR_INVALIDCALL or
    // D3DERR_NOTAVAILABLE as Direct3D answers.
    HRESULT validateCreation(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow, std::uint32_t behaviorFlags,
                             const D3DPRESENT_PARAMETERS* parameters) const;

protected:
    AdapterSurvey survey_;
};
