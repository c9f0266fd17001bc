#include "graphics/PresentFrame.h"

#include "platform/Clock.h"

HRESULT presentFrame() {
    // Until the frame counter paces frames, hold the step near 60 a second.
    Clock::instance().sleep(16);
    return S_OK;
}
