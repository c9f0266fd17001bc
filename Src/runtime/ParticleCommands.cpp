// The particle commands: "setupparticle" (texture, quad size, box, velocity,
// orientation for the particles to come) and "createparticle" (one particle
// at a world position, only while the 3-D background is drawn). Without the
// particle manager they do nothing. Both answer 0.
#include <string>

#include "graphics/ParticleManager.h"
#include "graphics/TextureManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

float floatChild(R& runtime, std::int32_t id) { return static_cast<float>(runtime.evalChild(id)); }
}  // namespace

namespace handlers {

std::int32_t execSetupParticle(R& runtime, std::int32_t) {
    ParticleManager* particles = g_particleManager;
    if (!particles) return R::kGoOn;
    // Evaluated in this order: the values may draw random numbers a replay
    // must repeat.
    float v[3], max[3], min[3];
    for (int i = 0; i < 3; ++i) v[i] = floatChild(runtime, kWorldVx + i);
    for (int i = 0; i < 3; ++i) max[i] = floatChild(runtime, kWorldMaxX + i);
    for (int i = 0; i < 3; ++i) min[i] = floatChild(runtime, kWorldMinX + i);
    const float width = floatChild(runtime, kWidth);
    const float height = floatChild(runtime, kHeight);
    const std::int32_t flag = truncateToInt32(runtime.evalChild(kFlag));
    BulletML_Node* node = runtime.getCurrentNode();
    TextureManager::Pointer texture =
        g_textureManager ? g_textureManager->getOrLoad(nameText(node->getNameHandle())) : nullptr;
    particles->setTexture(texture, width, height);
    particles->setWorldMax(max[0], max[1], max[2]);
    particles->setWorldMin(min[0], min[1], min[2]);
    particles->setVelocity(v[0], v[1], v[2]);
    particles->setFlag(flag);
    return R::kGoOn;
}

std::int32_t execCreateParticle(R& runtime, std::int32_t) {
    ParticleManager* particles = g_particleManager;
    if (!particles || !g_systemInfo || g_systemInfo->getDrawBg() == 0) return R::kGoOn;
    const float x = floatChild(runtime, kWorldX);
    const float y = floatChild(runtime, kWorldY);
    const float z = floatChild(runtime, kWorldZ);
    particles->emit(x, y, z);
    return R::kGoOn;
}

}  // namespace handlers
