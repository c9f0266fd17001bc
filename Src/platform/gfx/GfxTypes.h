// The vocabulary of the graphics layer: Direct3D 9's enumerations, flags and
// records with Direct3D's own names and numbers, so that the engine's calls
// and its log lines read and print exactly as they would on Direct3D.
// Only the parts the engine uses are here.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

class Window;

using D3DCOLOR = std::uint32_t;

constexpr D3DCOLOR D3DCOLOR_ARGB(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
constexpr D3DCOLOR D3DCOLOR_XRGB(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return D3DCOLOR_ARGB(0xFF, r, g, b);
}

// Render states that hold floats (fog start and end, point sizes) take the
// float's bits as their 32-bit value.
inline std::uint32_t floatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
inline float bitsFloat(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

constexpr std::uint32_t makeFourCC(char a, char b, char c, char d) {
    return std::uint32_t(std::uint8_t(a)) | (std::uint32_t(std::uint8_t(b)) << 8) |
           (std::uint32_t(std::uint8_t(c)) << 16) | (std::uint32_t(std::uint8_t(d)) << 24);
}

enum D3DFORMAT : std::uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_A8 = 28,
    D3DFMT_X4R4G4B4 = 30,
    D3DFMT_A8B8G8R8 = 32,
    D3DFMT_X8B8G8R8 = 33,
    D3DFMT_L8 = 50,
    D3DFMT_A8L8 = 51,
    D3DFMT_D16_LOCKABLE = 70,
    D3DFMT_D32 = 71,
    D3DFMT_D15S1 = 73,
    D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77,
    D3DFMT_D24X4S4 = 79,
    D3DFMT_D16 = 80,
    D3DFMT_D32F_LOCKABLE = 82,
    D3DFMT_D24FS8 = 83,
    D3DFMT_VERTEXDATA = 100,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
    D3DFMT_DXT1 = makeFourCC('D', 'X', 'T', '1'),
    D3DFMT_DXT2 = makeFourCC('D', 'X', 'T', '2'),
    D3DFMT_DXT3 = makeFourCC('D', 'X', 'T', '3'),
    D3DFMT_DXT4 = makeFourCC('D', 'X', 'T', '4'),
    D3DFMT_DXT5 = makeFourCC('D', 'X', 'T', '5'),
};

enum D3DDEVTYPE : std::uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3, D3DDEVTYPE_NULLREF = 4 };

enum D3DRESOURCETYPE : std::uint32_t {
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_VOLUME = 2,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5,
    D3DRTYPE_VERTEXBUFFER = 6,
    D3DRTYPE_INDEXBUFFER = 7,
};

enum D3DPOOL : std::uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };

enum D3DMULTISAMPLE_TYPE : std::uint32_t {
    D3DMULTISAMPLE_NONE = 0,
    D3DMULTISAMPLE_NONMASKABLE = 1,
    D3DMULTISAMPLE_2_SAMPLES = 2,
    D3DMULTISAMPLE_4_SAMPLES = 4,
    D3DMULTISAMPLE_8_SAMPLES = 8,
    D3DMULTISAMPLE_16_SAMPLES = 16,
};

enum D3DSWAPEFFECT : std::uint32_t { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };

enum D3DPRIMITIVETYPE : std::uint32_t {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum D3DTRANSFORMSTATETYPE : std::uint32_t {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_TEXTURE0 = 16,
    D3DTS_WORLD = 256,
};

enum D3DLIGHTTYPE : std::uint32_t { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 };

enum D3DRENDERSTATETYPE : std::uint32_t {
    D3DRS_ZENABLE = 7,
    D3DRS_FILLMODE = 8,
    D3DRS_SHADEMODE = 9,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_LASTPIXEL = 16,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_DITHERENABLE = 26,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_FOGENABLE = 28,
    D3DRS_SPECULARENABLE = 29,
    D3DRS_FOGCOLOR = 34,
    D3DRS_FOGTABLEMODE = 35,
    D3DRS_FOGSTART = 36,
    D3DRS_FOGEND = 37,
    D3DRS_FOGDENSITY = 38,
    D3DRS_RANGEFOGENABLE = 48,
    D3DRS_STENCILENABLE = 52,
    D3DRS_STENCILFAIL = 53,
    D3DRS_STENCILZFAIL = 54,
    D3DRS_STENCILPASS = 55,
    D3DRS_STENCILFUNC = 56,
    D3DRS_STENCILREF = 57,
    D3DRS_STENCILMASK = 58,
    D3DRS_STENCILWRITEMASK = 59,
    D3DRS_TEXTUREFACTOR = 60,
    D3DRS_WRAP0 = 128,
    D3DRS_CLIPPING = 136,
    D3DRS_LIGHTING = 137,
    D3DRS_AMBIENT = 139,
    D3DRS_FOGVERTEXMODE = 140,
    D3DRS_COLORVERTEX = 141,
    D3DRS_LOCALVIEWER = 142,
    D3DRS_NORMALIZENORMALS = 143,
    D3DRS_DIFFUSEMATERIALSOURCE = 145,
    D3DRS_SPECULARMATERIALSOURCE = 146,
    D3DRS_AMBIENTMATERIALSOURCE = 147,
    D3DRS_EMISSIVEMATERIALSOURCE = 148,
    D3DRS_VERTEXBLEND = 151,
    D3DRS_CLIPPLANEENABLE = 152,
    D3DRS_POINTSIZE = 154,
    D3DRS_POINTSIZE_MIN = 155,
    D3DRS_POINTSPRITEENABLE = 156,
    D3DRS_MULTISAMPLEANTIALIAS = 161,
    D3DRS_MULTISAMPLEMASK = 162,
    D3DRS_POINTSIZE_MAX = 166,
    D3DRS_COLORWRITEENABLE = 168,
    D3DRS_BLENDOP = 171,
    D3DRS_SCISSORTESTENABLE = 174,
    D3DRS_SLOPESCALEDEPTHBIAS = 175,
    D3DRS_ANTIALIASEDLINEENABLE = 176,
    D3DRS_DEPTHBIAS = 195,
    D3DRS_SEPARATEALPHABLENDENABLE = 206,
    D3DRS_SRCBLENDALPHA = 207,
    D3DRS_DESTBLENDALPHA = 208,
    D3DRS_BLENDOPALPHA = 209,
};
// Render states are numbered below this bound.
constexpr std::uint32_t kRenderStateCount = 256;

enum D3DTEXTURESTAGESTATETYPE : std::uint32_t {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_BUMPENVMAT00 = 7,
    D3DTSS_BUMPENVMAT01 = 8,
    D3DTSS_BUMPENVMAT10 = 9,
    D3DTSS_BUMPENVMAT11 = 10,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_BUMPENVLSCALE = 22,
    D3DTSS_BUMPENVLOFFSET = 23,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24,
    D3DTSS_COLORARG0 = 26,
    D3DTSS_ALPHAARG0 = 27,
    D3DTSS_RESULTARG = 28,
    D3DTSS_CONSTANT = 32,
};
constexpr std::uint32_t kTextureStageStateCount = 33;
constexpr std::uint32_t kTextureStageCount = 8;

enum D3DSAMPLERSTATETYPE : std::uint32_t {
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_ADDRESSW = 3,
    D3DSAMP_BORDERCOLOR = 4,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
    D3DSAMP_MIPFILTER = 7,
    D3DSAMP_MIPMAPLODBIAS = 8,
    D3DSAMP_MAXMIPLEVEL = 9,
    D3DSAMP_MAXANISOTROPY = 10,
    D3DSAMP_SRGBTEXTURE = 11,
    D3DSAMP_ELEMENTINDEX = 12,
    D3DSAMP_DMAPOFFSET = 13,
};
constexpr std::uint32_t kSamplerStateCount = 14;
constexpr std::uint32_t kSamplerCount = 16;

// Values of the render, texture-stage and sampler states.
enum D3DZBUFFERTYPE : std::uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1, D3DZB_USEW = 2 };
enum D3DFILLMODE : std::uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE : std::uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum D3DCULL : std::uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DCMPFUNC : std::uint32_t {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};
enum D3DBLEND : std::uint32_t {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
};
enum D3DBLENDOP : std::uint32_t {
    D3DBLENDOP_ADD = 1,
    D3DBLENDOP_SUBTRACT = 2,
    D3DBLENDOP_REVSUBTRACT = 3,
    D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5,
};
enum D3DFOGMODE : std::uint32_t { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };
enum D3DMATERIALCOLORSOURCE : std::uint32_t { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };
enum D3DTEXTUREOP : std::uint32_t {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7,
    D3DTOP_ADDSIGNED = 8,
    D3DTOP_SUBTRACT = 10,
    D3DTOP_BUMPENVMAP = 22,
    D3DTOP_BUMPENVMAPLUMINANCE = 23,
};
// Texture-stage arguments.
constexpr std::uint32_t D3DTA_SELECTMASK = 0x0F;
constexpr std::uint32_t D3DTA_DIFFUSE = 0x00;
constexpr std::uint32_t D3DTA_CURRENT = 0x01;
constexpr std::uint32_t D3DTA_TEXTURE = 0x02;
constexpr std::uint32_t D3DTA_TFACTOR = 0x03;
constexpr std::uint32_t D3DTA_SPECULAR = 0x04;
constexpr std::uint32_t D3DTA_COMPLEMENT = 0x10;
constexpr std::uint32_t D3DTA_ALPHAREPLICATE = 0x20;

enum D3DTEXTUREADDRESS : std::uint32_t {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
    D3DTADDRESS_MIRRORONCE = 5,
};
enum D3DTEXTUREFILTERTYPE : std::uint32_t {
    D3DTEXF_NONE = 0,
    D3DTEXF_POINT = 1,
    D3DTEXF_LINEAR = 2,
    D3DTEXF_ANISOTROPIC = 3,
};

// Colour-write mask bits of D3DRS_COLORWRITEENABLE.
constexpr std::uint32_t D3DCOLORWRITEENABLE_RED = 1;
constexpr std::uint32_t D3DCOLORWRITEENABLE_GREEN = 2;
constexpr std::uint32_t D3DCOLORWRITEENABLE_BLUE = 4;
constexpr std::uint32_t D3DCOLORWRITEENABLE_ALPHA = 8;

// Flexible vertex formats.
constexpr std::uint32_t D3DFVF_XYZ = 0x002;
constexpr std::uint32_t D3DFVF_XYZRHW = 0x004;
constexpr std::uint32_t D3DFVF_POSITION_MASK = 0x400E;
constexpr std::uint32_t D3DFVF_NORMAL = 0x010;
constexpr std::uint32_t D3DFVF_PSIZE = 0x020;
constexpr std::uint32_t D3DFVF_DIFFUSE = 0x040;
constexpr std::uint32_t D3DFVF_SPECULAR = 0x080;
constexpr std::uint32_t D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr std::uint32_t D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr std::uint32_t D3DFVF_TEX0 = 0x000;
constexpr std::uint32_t D3DFVF_TEX1 = 0x100;
constexpr std::uint32_t D3DFVF_TEX2 = 0x200;

// Resource usages.
constexpr std::uint32_t D3DUSAGE_RENDERTARGET = 0x00000001;
constexpr std::uint32_t D3DUSAGE_DEPTHSTENCIL = 0x00000002;
constexpr std::uint32_t D3DUSAGE_WRITEONLY = 0x00000008;
constexpr std::uint32_t D3DUSAGE_SOFTWAREPROCESSING = 0x00000010;
constexpr std::uint32_t D3DUSAGE_DYNAMIC = 0x00000200;
constexpr std::uint32_t D3DUSAGE_AUTOGENMIPMAP = 0x00000400;

// Lock flags.
constexpr std::uint32_t D3DLOCK_READONLY = 0x00000010;
constexpr std::uint32_t D3DLOCK_NOSYSLOCK = 0x00000800;
constexpr std::uint32_t D3DLOCK_NOOVERWRITE = 0x00001000;
constexpr std::uint32_t D3DLOCK_DISCARD = 0x00002000;

// Clear flags.
constexpr std::uint32_t D3DCLEAR_TARGET = 0x1;
constexpr std::uint32_t D3DCLEAR_ZBUFFER = 0x2;
constexpr std::uint32_t D3DCLEAR_STENCIL = 0x4;

// Device-creation behaviour flags.
constexpr std::uint32_t D3DCREATE_FPU_PRESERVE = 0x02;
constexpr std::uint32_t D3DCREATE_MULTITHREADED = 0x04;
constexpr std::uint32_t D3DCREATE_PUREDEVICE = 0x10;
constexpr std::uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr std::uint32_t D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
constexpr std::uint32_t D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

// Presentation intervals.
constexpr std::uint32_t D3DPRESENT_INTERVAL_DEFAULT = 0x00000000;
constexpr std::uint32_t D3DPRESENT_INTERVAL_ONE = 0x00000001;
constexpr std::uint32_t D3DPRESENT_INTERVAL_TWO = 0x00000002;
constexpr std::uint32_t D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000;

constexpr std::uint32_t D3DADAPTER_DEFAULT = 0;
constexpr std::uint32_t D3D_SDK_VERSION = 32;

// Capability bits.
constexpr std::uint32_t D3DDEVCAPS_EXECUTESYSTEMMEMORY = 0x00000010;
constexpr std::uint32_t D3DDEVCAPS_EXECUTEVIDEOMEMORY = 0x00000020;
constexpr std::uint32_t D3DDEVCAPS_TLVERTEXSYSTEMMEMORY = 0x00000040;
constexpr std::uint32_t D3DDEVCAPS_TLVERTEXVIDEOMEMORY = 0x00000080;
constexpr std::uint32_t D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x00000100;
constexpr std::uint32_t D3DDEVCAPS_TEXTUREVIDEOMEMORY = 0x00000200;
constexpr std::uint32_t D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x00000400;
constexpr std::uint32_t D3DDEVCAPS_CANRENDERAFTERFLIP = 0x00000800;
constexpr std::uint32_t D3DDEVCAPS_DRAWPRIMITIVES2 = 0x00002000;
constexpr std::uint32_t D3DDEVCAPS_DRAWPRIMITIVES2EX = 0x00008000;
constexpr std::uint32_t D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x00010000;
constexpr std::uint32_t D3DDEVCAPS_HWRASTERIZATION = 0x00080000;

constexpr std::uint32_t D3DPMISCCAPS_MASKZ = 0x00000002;
constexpr std::uint32_t D3DPMISCCAPS_CULLNONE = 0x00000010;
constexpr std::uint32_t D3DPMISCCAPS_CULLCW = 0x00000020;
constexpr std::uint32_t D3DPMISCCAPS_CULLCCW = 0x00000040;
constexpr std::uint32_t D3DPMISCCAPS_COLORWRITEENABLE = 0x00000080;
constexpr std::uint32_t D3DPMISCCAPS_BLENDOP = 0x00000800;

constexpr std::uint32_t D3DPRASTERCAPS_DITHER = 0x00000001;
constexpr std::uint32_t D3DPRASTERCAPS_ZTEST = 0x00000010;
constexpr std::uint32_t D3DPRASTERCAPS_FOGVERTEX = 0x00000080;
constexpr std::uint32_t D3DPRASTERCAPS_FOGTABLE = 0x00000100;
constexpr std::uint32_t D3DPRASTERCAPS_MIPMAPLODBIAS = 0x00002000;
constexpr std::uint32_t D3DPRASTERCAPS_FOGRANGE = 0x00010000;
constexpr std::uint32_t D3DPRASTERCAPS_ANISOTROPY = 0x00020000;
constexpr std::uint32_t D3DPRASTERCAPS_SCISSORTEST = 0x01000000;

constexpr std::uint32_t D3DPCMPCAPS_ALL = 0xFF;
constexpr std::uint32_t D3DPBLENDCAPS_ZERO = 0x001;
constexpr std::uint32_t D3DPBLENDCAPS_ONE = 0x002;
constexpr std::uint32_t D3DPBLENDCAPS_SRCCOLOR = 0x004;
constexpr std::uint32_t D3DPBLENDCAPS_INVSRCCOLOR = 0x008;
constexpr std::uint32_t D3DPBLENDCAPS_SRCALPHA = 0x010;
constexpr std::uint32_t D3DPBLENDCAPS_INVSRCALPHA = 0x020;
constexpr std::uint32_t D3DPBLENDCAPS_DESTALPHA = 0x040;
constexpr std::uint32_t D3DPBLENDCAPS_INVDESTALPHA = 0x080;
constexpr std::uint32_t D3DPBLENDCAPS_DESTCOLOR = 0x100;
constexpr std::uint32_t D3DPBLENDCAPS_INVDESTCOLOR = 0x200;
constexpr std::uint32_t D3DPBLENDCAPS_SRCALPHASAT = 0x400;

constexpr std::uint32_t D3DPSHADECAPS_COLORGOURAUDRGB = 0x00000008;
constexpr std::uint32_t D3DPSHADECAPS_ALPHAGOURAUDBLEND = 0x00004000;
constexpr std::uint32_t D3DPSHADECAPS_FOGGOURAUD = 0x00080000;

constexpr std::uint32_t D3DPTEXTURECAPS_PERSPECTIVE = 0x00000001;
constexpr std::uint32_t D3DPTEXTURECAPS_POW2 = 0x00000002;
constexpr std::uint32_t D3DPTEXTURECAPS_ALPHA = 0x00000004;
constexpr std::uint32_t D3DPTEXTURECAPS_SQUAREONLY = 0x00000020;
constexpr std::uint32_t D3DPTEXTURECAPS_NONPOW2CONDITIONAL = 0x00000100;
constexpr std::uint32_t D3DPTEXTURECAPS_MIPMAP = 0x00004000;

constexpr std::uint32_t D3DPTFILTERCAPS_MINFPOINT = 0x00000100;
constexpr std::uint32_t D3DPTFILTERCAPS_MINFLINEAR = 0x00000200;
constexpr std::uint32_t D3DPTFILTERCAPS_MINFANISOTROPIC = 0x00000400;
constexpr std::uint32_t D3DPTFILTERCAPS_MIPFPOINT = 0x00010000;
constexpr std::uint32_t D3DPTFILTERCAPS_MIPFLINEAR = 0x00020000;
constexpr std::uint32_t D3DPTFILTERCAPS_MAGFPOINT = 0x01000000;
constexpr std::uint32_t D3DPTFILTERCAPS_MAGFLINEAR = 0x02000000;
constexpr std::uint32_t D3DPTFILTERCAPS_MAGFANISOTROPIC = 0x04000000;

constexpr std::uint32_t D3DPTADDRESSCAPS_WRAP = 0x01;
constexpr std::uint32_t D3DPTADDRESSCAPS_MIRROR = 0x02;
constexpr std::uint32_t D3DPTADDRESSCAPS_CLAMP = 0x04;
constexpr std::uint32_t D3DPTADDRESSCAPS_BORDER = 0x08;
constexpr std::uint32_t D3DPTADDRESSCAPS_INDEPENDENTUV = 0x10;
constexpr std::uint32_t D3DPTADDRESSCAPS_MIRRORONCE = 0x20;

constexpr std::uint32_t D3DTEXOPCAPS_DISABLE = 0x00000001;
constexpr std::uint32_t D3DTEXOPCAPS_SELECTARG1 = 0x00000002;
constexpr std::uint32_t D3DTEXOPCAPS_SELECTARG2 = 0x00000004;
constexpr std::uint32_t D3DTEXOPCAPS_MODULATE = 0x00000008;
constexpr std::uint32_t D3DTEXOPCAPS_MODULATE2X = 0x00000010;
constexpr std::uint32_t D3DTEXOPCAPS_MODULATE4X = 0x00000020;
constexpr std::uint32_t D3DTEXOPCAPS_ADD = 0x00000040;
constexpr std::uint32_t D3DTEXOPCAPS_ADDSIGNED = 0x00000080;
constexpr std::uint32_t D3DTEXOPCAPS_SUBTRACT = 0x00000200;
constexpr std::uint32_t D3DTEXOPCAPS_BUMPENVMAP = 0x00200000;
constexpr std::uint32_t D3DTEXOPCAPS_BUMPENVMAPLUMINANCE = 0x00400000;

constexpr std::uint32_t D3DVTXPCAPS_MATERIALSOURCE7 = 0x00000002;
constexpr std::uint32_t D3DVTXPCAPS_DIRECTIONALLIGHTS = 0x00000008;

constexpr std::uint32_t D3DCAPS2_DYNAMICTEXTURES = 0x20000000;

constexpr std::uint32_t D3DVS_VERSION(std::uint32_t major, std::uint32_t minor) {
    return 0xFFFE0000u | (major << 8) | minor;
}
constexpr std::uint32_t D3DPS_VERSION(std::uint32_t major, std::uint32_t minor) {
    return 0xFFFF0000u | (major << 8) | minor;
}

struct D3DCOLORVALUE {
    float r = 0, g = 0, b = 0, a = 0;
};

struct D3DVECTOR {
    float x = 0, y = 0, z = 0;
};

// A 4 x 4 matrix in Direct3D's row-vector layout: a point is a row vector
// multiplied on the left, _41.._43 hold the translation.
struct D3DMATRIX {
    union {
        struct {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };
};

struct D3DRECT {
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct D3DVIEWPORT9 {
    std::uint32_t X = 0, Y = 0, Width = 0, Height = 0;
    float MinZ = 0.0f, MaxZ = 1.0f;
};

struct D3DLIGHT9 {
    D3DLIGHTTYPE Type = D3DLIGHT_DIRECTIONAL;
    D3DCOLORVALUE Diffuse, Specular, Ambient;
    D3DVECTOR Position, Direction;
    float Range = 0, Falloff = 0, Attenuation0 = 0, Attenuation1 = 0, Attenuation2 = 0, Theta = 0, Phi = 0;
};

struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse, Ambient, Specular, Emissive;
    float Power = 0;
};

struct D3DDISPLAYMODE {
    std::uint32_t Width = 0, Height = 0, RefreshRate = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
};

struct D3DPRESENT_PARAMETERS {
    std::uint32_t BackBufferWidth = 0, BackBufferHeight = 0;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
    std::uint32_t BackBufferCount = 0;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    std::uint32_t MultiSampleQuality = 0;
    D3DSWAPEFFECT SwapEffect = D3DSWAPEFFECT_DISCARD;
    Window* hDeviceWindow = nullptr;
    std::int32_t Windowed = 0;
    std::int32_t EnableAutoDepthStencil = 0;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    std::uint32_t Flags = 0;
    std::uint32_t FullScreen_RefreshRateInHz = 0;
    std::uint32_t PresentationInterval = 0;
};

// The adapter's identity. Strings instead of Direct3D's fixed arrays.
struct D3DADAPTER_IDENTIFIER9 {
    std::string Driver, Description, DeviceName;
    std::int64_t DriverVersion = 0;  // high 32 bits: product and version, low 32: sub-version and build
    std::uint32_t VendorId = 0, DeviceId = 0, SubSysId = 0, Revision = 0;
    std::uint32_t WHQLLevel = 0;
};

// The capability record, in Direct3D's field order, up to the fields the
// engine reads.
struct D3DCAPS9 {
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    std::uint32_t AdapterOrdinal = 0;
    std::uint32_t Caps = 0, Caps2 = 0, Caps3 = 0;
    std::uint32_t PresentationIntervals = 0;
    std::uint32_t CursorCaps = 0;
    std::uint32_t DevCaps = 0;
    std::uint32_t PrimitiveMiscCaps = 0;
    std::uint32_t RasterCaps = 0;
    std::uint32_t ZCmpCaps = 0;
    std::uint32_t SrcBlendCaps = 0, DestBlendCaps = 0;
    std::uint32_t AlphaCmpCaps = 0;
    std::uint32_t ShadeCaps = 0;
    std::uint32_t TextureCaps = 0;
    std::uint32_t TextureFilterCaps = 0;
    std::uint32_t CubeTextureFilterCaps = 0, VolumeTextureFilterCaps = 0;
    std::uint32_t TextureAddressCaps = 0, VolumeTextureAddressCaps = 0;
    std::uint32_t LineCaps = 0;
    std::uint32_t MaxTextureWidth = 0, MaxTextureHeight = 0;
    std::uint32_t MaxVolumeExtent = 0;
    std::uint32_t MaxTextureRepeat = 0, MaxTextureAspectRatio = 0;
    std::uint32_t MaxAnisotropy = 0;
    float MaxVertexW = 0;
    float GuardBandLeft = 0, GuardBandTop = 0, GuardBandRight = 0, GuardBandBottom = 0;
    float ExtentsAdjust = 0;
    std::uint32_t StencilCaps = 0;
    std::uint32_t FVFCaps = 0;
    std::uint32_t TextureOpCaps = 0;
    std::uint32_t MaxTextureBlendStages = 0, MaxSimultaneousTextures = 0;
    std::uint32_t VertexProcessingCaps = 0;
    std::uint32_t MaxActiveLights = 0;
    std::uint32_t MaxUserClipPlanes = 0;
    std::uint32_t MaxVertexBlendMatrices = 0, MaxVertexBlendMatrixIndex = 0;
    float MaxPointSize = 0;
    std::uint32_t MaxPrimitiveCount = 0, MaxVertexIndex = 0;
    std::uint32_t MaxStreams = 0, MaxStreamStride = 0;
    std::uint32_t VertexShaderVersion = 0, MaxVertexShaderConst = 0;
    std::uint32_t PixelShaderVersion = 0;
    float PixelShader1xMaxValue = 0;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE Type = D3DRTYPE_SURFACE;
    std::uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    std::uint32_t MultiSampleQuality = 0;
    std::uint32_t Width = 0, Height = 0;
};

struct D3DVERTEXBUFFER_DESC {
    D3DFORMAT Format = D3DFMT_VERTEXDATA;
    D3DRESOURCETYPE Type = D3DRTYPE_VERTEXBUFFER;
    std::uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    std::uint32_t Size = 0;
    std::uint32_t FVF = 0;
};

struct D3DINDEXBUFFER_DESC {
    D3DFORMAT Format = D3DFMT_INDEX16;
    D3DRESOURCETYPE Type = D3DRTYPE_INDEXBUFFER;
    std::uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    std::uint32_t Size = 0;
};

struct D3DLOCKED_RECT {
    std::int32_t Pitch = 0;
    void* pBits = nullptr;
};

// The symbolic names of the states, for the recording device's log
// ("D3DRS_DESTBLEND"); a number without a name prints as its decimal value.
std::string renderStateName(std::uint32_t state);
std::string textureStageStateName(std::uint32_t state);
std::string samplerStateName(std::uint32_t state);
std::string transformStateName(std::uint32_t state);
std::string formatName(D3DFORMAT format);
