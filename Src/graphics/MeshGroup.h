// The vertices and indices of the mesh subsets that share one texture in one
// pass, gathered every frame so that the pass draws them with one call. The
// arrays grow by doubling and keep their room from frame to frame.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/Mesh.h"

class Texture;

class MeshGroup {
public:
    explicit MeshGroup(std::shared_ptr<Texture> texture);
    virtual ~MeshGroup() = default;

    // Counts and vertex base back to 0; the arrays and the texture stay.
    void clear();
    // n vertices and the k indices that use them (a contiguous range of the
    // mesh's vertices); the indices land on the vertices just copied. An
    // append without vertices or indices changes nothing.
    void append(const MeshVertex* vertices, const std::uint16_t* indices, std::uint32_t n, std::uint32_t k);

    const MeshVertex* vertices() const { return vertices_.data(); }
    // Indices relative to the group's first vertex (32-bit: a group may
    // gather more than 65,535, and is then left out of the pass).
    std::uint32_t* indices() { return indices_.data(); }
    std::uint32_t getVertexCount() const { return vertexCount_; }
    std::uint32_t getIndexCount() const { return indexCount_; }
    std::uint32_t getVertexBase() const { return vertexBase_; }
    const std::shared_ptr<Texture>& getTexture() const { return texture_; }

    std::int32_t effectFlag = 0;
    std::int32_t shadowFlag = 0;
    std::int32_t alphaTestFlag = 0;

private:
    std::vector<MeshVertex> vertices_;
    std::vector<std::uint32_t> indices_;
    std::uint32_t vertexCount_ = 0;
    std::uint32_t indexCount_ = 0;
    std::uint32_t vertexBase_ = 0;
    std::shared_ptr<Texture> texture_;
};
