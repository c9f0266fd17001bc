#include "graphics/TextureManager.h"

#include "platform/Text.h"
#include "services/DebugInfo.h"

TextureManager::~TextureManager() { flags_.clear(); }

TextureManager::Pointer TextureManager::loadTexture(std::string_view name) {
    return loadTextureEx(name, D3DX_DEFAULT, 1);
}

TextureManager::Pointer TextureManager::loadTextureEx(std::string_view name, std::uint32_t filter,
                                                      std::uint32_t mipLevels) {
    if (Pointer cached = findCachedByName(name)) {
        // A picture-less texture is the mark of a failed load.
        return cached->getD3DTexture() ? cached : nullptr;
    }
    Pointer texture = createNamed(internName(name));
    const HRESULT hr = texture->load(name, filter, mipLevels);
    if (FAILED(hr)) {
        logFailure("TextureManager", 36, hr);
        return nullptr;
    }
    return texture;
}

void TextureManager::purgeFlagged() {
    for (auto it = resources_.begin(); it != resources_.end();) {
        if (it->second && (getFlags(it->second->getName()) & kPurgeFlag)) {
            it = resources_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = nameCache_.begin(); it != nameCache_.end();) {
        if (it->second && (getFlags(it->second->getName()) & kPurgeFlag)) {
            it = nameCache_.erase(it);
        } else {
            ++it;
        }
    }
}
