// The Direct3D device every graphics operation draws through. Null until the
// device object has created it; every user checks before calling.
#pragma once

class GfxDevice;

extern GfxDevice* g_d3dDevice;
