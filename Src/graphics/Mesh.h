// One 3-D model of the background scene: an X-file mesh read from the data
// archive, its materials and per-subset textures, a CPU copy of its vertices
// (as loaded, and as drawn) and indices, and its motion in the world
// (position, velocity, acceleration, bounds, rotation, rotation speed).
// Named resources of MeshManager; the mesh commands create them.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/HResult.h"
#include "platform/gfx/D3DXMesh.h"
#include "platform/gfx/GfxTypes.h"
#include "services/ResourceObject.h"

class Texture;

using MeshVertex = D3DXMeshVertex;
static_assert(sizeof(MeshVertex) == 32 && kD3DXMeshFvf == 0x112, "mesh vertices are XYZ | NORMAL | TEX1");

class Mesh : public ResourceObject {
public:
    using Vector = std::array<float, 3>;

    Mesh() = default;
    ~Mesh() override;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Slot 2: nothing.
    void init() override {}
    // Slot 14: the model from an X file in memory; 0 or the failing code
    // (logged with its line). A failed load leaves the mesh empty and
    // consistent: no vertices, faces or subsets.
    virtual HRESULT loadFromMemory(const void* bytes, std::uint32_t size);
    // Slot 16: `target` becomes a second instance of the same model (its
    // vertices from this mesh's vertices as loaded). Returns 0.
    virtual HRESULT copyTo(Mesh& target) const;

    // Adds to the position of every current vertex.
    void offsetVertices(float dx, float dy, float dz);
    // Replaces the texture of subset `index` (compared unsigned: a negative
    // index changes nothing) when there is such a subset.
    void setTexture(const std::shared_ptr<Texture>& texture, std::int32_t index);
    // One frame: rotation (vertices rebuilt from the loaded ones when any
    // angle is not 0), velocity and acceleration, position with the bounds
    // test, the velocity added to every current vertex. Returns 0.
    std::int32_t stepBatched();
    // The velocity stop and velocity += acceleration, then position +=
    // velocity with the bounds test (state 1 when leaving the box).
    void stepMotion();

    void setPosition(float x, float y, float z) { position_ = {x, y, z}; }
    void setVelocity(float x, float y, float z) { velocity_ = {x, y, z}; }
    void setAcceleration(float x, float y, float z) { acceleration_ = {x, y, z}; }
    void setRotation(float x, float y, float z) { rotation_ = {x, y, z}; }
    void setRotationVelocity(float x, float y, float z) { rotationVelocity_ = {x, y, z}; }
    void setMaxBounds(float x, float y, float z) { upper_ = {x, y, z}; }
    void setMinBounds(float x, float y, float z) { lower_ = {x, y, z}; }
    void setMaxBound(float x, float y, float z) { setMaxBounds(x, y, z); }
    void setMinBound(float x, float y, float z) { setMinBounds(x, y, z); }
    const Vector& getPosition() const { return position_; }
    const Vector& getVelocity() const { return velocity_; }
    const Vector& getAcceleration() const { return acceleration_; }
    const Vector& getRotation() const { return rotation_; }
    const Vector& getRotationVelocity() const { return rotationVelocity_; }
    const Vector& getMaxBounds() const { return upper_; }
    const Vector& getMinBounds() const { return lower_; }

    void setFlag(std::int32_t v) { effectFlag_ = v; }
    void setParamB(std::int32_t v) { alphaTestFlag_ = v; }
    void setParamC(std::int32_t v) { shadowFlag_ = v; }
    std::int32_t getFlag() const { return effectFlag_; }
    std::int32_t getParamB() const { return alphaTestFlag_; }
    std::int32_t getParamC() const { return shadowFlag_; }
    void setFileName(NameHandle label) { label_ = label; }
    NameHandle getFileName() const { return label_; }

    const std::vector<MeshVertex>& getVertices() const { return current_; }
    const std::vector<MeshVertex>& getSourceVertices() const { return source_; }
    const std::vector<std::uint16_t>& getIndices() const { return indices_; }
    const std::vector<D3DXATTRIBUTERANGE>& getAttributeTable() const { return table_; }
    std::uint32_t getSubsetCount() const { return subsetCount_; }
    std::uint32_t getVertexCount() const { return static_cast<std::uint32_t>(current_.size()); }
    // Faces x 3, held in 32 bits (16 would wrap past 21,845 faces).
    std::uint32_t getIndexCount() const { return static_cast<std::uint32_t>(indices_.size()); }
    // The texture of each subset (empty where its material has none) and
    // the texture file names of the materials, as stored.
    const std::vector<std::shared_ptr<Texture>>& getTextures() const { return textures_; }
    const std::vector<D3DMATERIAL9>& getMaterials() const { return materials_; }
    const std::vector<std::string>& getTextureNames() const { return textureNames_; }

private:
    HRESULT fail(int line, HRESULT hr);

    Vector position_{0.0f, 0.0f, 0.0f};
    Vector velocity_{0.0f, 0.0f, 0.0f};
    Vector acceleration_{0.0f, 0.0f, 0.0f};
    Vector upper_{10.0f, 10.0f, 10.0f};
    Vector lower_{-10.0f, -10.0f, -10.0f};
    Vector rotation_{0.0f, 0.0f, 0.0f};
    Vector rotationVelocity_{0.0f, 0.0f, 0.0f};
    std::vector<std::shared_ptr<Texture>> textures_;
    ID3DXMesh* mesh_ = nullptr;
    std::vector<D3DMATERIAL9> materials_;
    std::vector<std::string> textureNames_;
    std::vector<MeshVertex> current_;
    std::vector<MeshVertex> source_;
    std::vector<std::uint16_t> indices_;
    std::vector<D3DXATTRIBUTERANGE> table_;
    std::uint32_t subsetCount_ = 0;
    std::int32_t effectFlag_ = 0;
    std::int32_t alphaTestFlag_ = 0;
    std::int32_t shadowFlag_ = 0;
    NameHandle label_ = 0;
};
