// The preload's peer as the running program has it: the texture manager, the
// sprite-manager manager and the sound-object manager reached through their
// process-wide pointers.
#include "script/PreloadPeers.h"

#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "objects/DSoundObject.h"
#include "objects/DSoundObjectManager.h"
#include "services/Managers.h"
#include "sound/SoundDecoder.h"

namespace {
class ManagerPeers : public PreloadPeers {
public:
    // The texture manager takes each image's flag word; the sound-object
    // manager loads each track with one temporary sound object holding it.
    void preload(const std::vector<PreloadRequest>& requests) override {
        DSoundObject* soundHolder = nullptr;
        bool soundHolderMade = false;
        for (const PreloadRequest& request : requests) {
            switch (request.kind) {
                case PreloadRequest::kTextureFlag:
                    if (g_textureManager) g_textureManager->setFlags(request.file, request.flag);
                    break;
                case PreloadRequest::kSpriteManager:
                    // The texture loaded with its manager; what it holds stays
                    // undrawn until used.
                    if (SpriteManagerManager* sprites = g_spriteManagerManager) {
                        if (auto manager = sprites->findOrCreate(nameText(request.file))) manager->deactivateAll();
                    }
                    break;
                case PreloadRequest::kSoundTrack:
                    if (!g_dsoundObjectManager) continue;
                    if (!soundHolderMade) {
                        soundHolderMade = true;
                        soundHolder = g_dsoundObjectManager->createObject();
                    }
                    g_dsoundObjectManager->preloadSound(nameText(request.file), kSoundKindRaw, soundHolder);
                    break;
            }
        }
        // The temporary object goes at the next sweep; the tracks stay.
        if (soundHolder) soundHolder->setState(1);
    }
};
}  // namespace

PreloadPeers& PreloadPeers::managers() {
    static ManagerPeers peers;
    return peers;
}
