// The reader of X files (the model format of the background meshes): text,
// binary with 32- or 64-bit floats, and both MSZIP-compressed forms. Every
// mesh of the file, in file order, is collapsed into one: frame transforms
// applied, materials concatenated (attribute ids offset), one vertex per
// distinct (position, normal index) of the face corners, n-gons fanned.
// Everything else (animation, skinning, vertex colours, unknown templates)
// is skipped with its braces. Counts are checked against the bytes left
// before anything is reserved.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/HResult.h"

struct XFileMaterial {
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // r, g, b, a
    float power = 0.0f;
    float specular[3] = {0.0f, 0.0f, 0.0f};
    float emissive[3] = {0.0f, 0.0f, 0.0f};
    // The name as stored (cp932 bytes, no escapes); empty when none.
    std::string textureName;
};

struct XFileVertex {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float u = 0.0f, v = 0.0f;
};

struct XFileContent {
    std::vector<XFileVertex> vertices;
    std::vector<std::uint32_t> indices;     // three per face
    std::vector<std::uint32_t> attributes;  // one per face: the material
    std::vector<XFileMaterial> materials;
};

// The deepest nesting of frames a file may use.
inline constexpr int kXFileMaxFrameDepth = 64;

// The most a compressed file may inflate to: four times the largest file the
// mesh archive can hand the loader (its 8 MiB read buffer), far beyond any
// mesh of at most 65,535 vertices, and small enough to hold without strain.
inline constexpr std::uint32_t kMaxInflatedXFileBytes = 32u << 20;

// Why a file was refused, and where: the byte offset in the file, or in the
// inflated body for a compressed file's contents ("inflated" in the reason).
struct XFileProblem {
    std::string reason;
    std::size_t offset = 0;
};

// S_OK; D3DXERR_INVALIDDATA for a malformed file (any header, token, count,
// index or compressed block that does not hold); D3DXERR_LOADEDMESHASNODATA
// when the file holds no mesh; E_OUTOFMEMORY when its contents cannot be
// held. A refusal says why in `problem` when one is given.
HRESULT readXFile(const std::uint8_t* bytes, std::size_t size, XFileContent& out, XFileProblem* problem = nullptr);

// The MSZIP body after a compressed file's 16-byte header, inflated: the
// 16-byte header followed by the uncompressed body. False when the sizes
// disagree, the total is over kMaxInflatedXFileBytes or a block does not
// inflate; `failedAt` then holds the offset of the part refused.
bool inflateMszip(const std::uint8_t* bytes, std::size_t size, std::vector<std::uint8_t>& out,
                  std::size_t* failedAt = nullptr);
