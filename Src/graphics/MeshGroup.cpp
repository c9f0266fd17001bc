#include "graphics/MeshGroup.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kInitialCapacity = 128;
}  // namespace

MeshGroup::MeshGroup(std::shared_ptr<Texture> texture)
    : vertices_(kInitialCapacity), indices_(kInitialCapacity), texture_(std::move(texture)) {}

void MeshGroup::clear() {
    vertexCount_ = 0;
    indexCount_ = 0;
    vertexBase_ = 0;
}

void MeshGroup::append(const MeshVertex* vertices, const std::uint16_t* indices, std::uint32_t n, std::uint32_t k) {
    // Nothing to add: an empty range would make the smallest index 65,535
    // and the largest 0, and move the base backwards.
    if (n == 0 || k == 0) return;
    if (std::size_t(vertexCount_) + n > vertices_.size()) vertices_.resize(2 * (std::size_t(vertexCount_) + n));
    if (std::size_t(indexCount_) + k > indices_.size()) indices_.resize(2 * (std::size_t(indexCount_) + k));
    std::memcpy(vertices_.data() + vertexCount_, vertices, std::size_t(n) * sizeof(MeshVertex));
    std::uint32_t smallest = 65535, largest = 0;
    for (std::uint32_t i = 0; i < k; ++i) {
        smallest = std::min<std::uint32_t>(smallest, indices[i]);
        largest = std::max<std::uint32_t>(largest, indices[i]);
    }
    for (std::uint32_t i = 0; i < k; ++i) indices_[indexCount_ + i] = vertexBase_ - smallest + indices[i];
    vertexCount_ += n;
    vertexBase_ += largest - smallest + 1;
    indexCount_ += k;
}
