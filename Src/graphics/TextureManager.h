// The single owner of all textures: a picture is loaded once under its file
// name and every later request gets the same Texture; a flag word per name
// selects textures for purging at a scene change; retired textures leave
// once a frame after Present (update, then flushRemoveQueue).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "graphics/ResourceManager.h"
#include "graphics/Texture.h"

class TextureManager : public ResourceManager<Texture> {
public:
    // The flag bit that selects a texture for purgeFlagged.
    static constexpr std::uint32_t kPurgeFlag = 2;

    TextureManager() = default;
    ~TextureManager() override;

    // Slot 25: the template's body.
    Pointer create() override { return ResourceManager<Texture>::create(); }
    // Slot 34: loadTextureEx(name, D3DX_DEFAULT, 1).
    virtual Pointer loadTexture(std::string_view name);
    // Slot 35: the texture cached under the name, else a new named texture
    // loaded from the archive. A name whose load failed stays registered and
    // cached picture-less and gives an empty pointer on every request, with
    // no second load and no second log line.
    virtual Pointer loadTextureEx(std::string_view name, std::uint32_t filter, std::uint32_t mipLevels);

    void setFlags(NameHandle name, std::uint32_t flags) { flags_[name] = flags; }
    // Reading an absent name inserts 0.
    std::uint32_t getFlags(NameHandle name) { return flags_[name]; }
    // Erases from the id map, then from the name cache, every texture whose
    // flag word has the purge bit. Sprites still holding one keep it alive.
    void purgeFlagged();

    // The same operations under the names the script side uses.
    Pointer getOrLoad(std::string_view name) { return loadTexture(name); }
    void purgeMarked() { purgeFlagged(); }

private:
    std::map<NameHandle, std::uint32_t> flags_;
};
