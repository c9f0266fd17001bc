#include "graphics/FormatD3D.h"

FormatD3D::FormatD3D()
    : pairs{{
          {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, "BackBuffer = A8R8G8B8  Display = X8R8G8B8  "},
          {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, "BackBuffer = X8R8G8B8  Display = X8R8G8B8  "},
          {D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5, "BackBuffer = A1R5G5B5  Display = X1R5G5B5  "},
          {D3DFMT_X1R5G5B5, D3DFMT_X1R5G5B5, "BackBuffer = X1R5G5B5  Display = X1R5G5B5  "},
          {D3DFMT_R5G6B5, D3DFMT_R5G6B5, "BackBuffer = R5G6B5    Display = R5G6B5    "},
      }},
      depths{{
          {D3DFMT_D16, "ZBuffer = D3DFMT_D16           "},
          {D3DFMT_D16_LOCKABLE, "ZBuffer = D3DFMT_D16_LOCKABLE  "},
          {D3DFMT_D32, "ZBuffer = D3DFMT_D32           "},
          {D3DFMT_D24X4S4, "ZBuffer = D3DFMT_D24X4S4       "},
          {D3DFMT_D15S1, "ZBuffer = D3DFMT_D15S1         "},
          {D3DFMT_D24X8, "ZBuffer = D3DFMT_D24X8         "},
          {D3DFMT_D24S8, "ZBuffer = D3DFMT_D24S8         "},
          {D3DFMT_D24FS8, "ZBuffer = D3DFMT_D24FS8        "},
      }},
      sizes{{
          {320, 240, "DisplaySize =  320 x  240  "},
          {640, 480, "DisplaySize =  640 x  480  "},
          {800, 600, "DisplaySize =  800 x  600  "},
          {1024, 768, "DisplaySize = 1024 x  768  "},
          {1280, 960, "DisplaySize = 1280 x  960  "},
          {1600, 1200, "DisplaySize = 1600 x 1200  "},
      }} {}
