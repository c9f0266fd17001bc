// The image commands of the running object: its image sprite ("img"), the
// sprite's size, colour, texel rectangle, angle and draw level, and the
// images whose texture the program draws into ("imgstring", "createsurface",
// "createdupimg") with the text commands that write into them. Every handler
// answers 0 except "waitdrawstring", which holds the script (2) while glyphs
// are still to be drawn. A missing object, image, texture or manager leaves
// everything as it was.
#include <algorithm>
#include <string>

#include "graphics/D3DObject.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "objects/BulletObject.h"
#include "objects/PlayerStep.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/ImageMargins.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

float floatChild(R& runtime, std::int32_t id) { return static_cast<float>(runtime.evalChild(id)); }
std::int32_t intChild(R& runtime, std::int32_t id) { return truncateToInt32(runtime.evalChild(id)); }

float toDeviceX(float x) { return g_d3dObject ? g_d3dObject->toDeviceX(x) : x; }
float toDeviceY(float y) { return g_d3dObject ? g_d3dObject->toDeviceY(y) : y; }

// The sprite blend group a command's type asks for.
std::uint8_t blendOfType(std::int32_t type) {
    switch (type) {
        case kTypeAdd: return 2;
        case kTypeMaskAdd: return 5;
        case kTypeNoAlpha: return 6;
        case kTypeAdd2: return 7;
        default: return 3;
    }
}

// The running object's image, or null.
Sprite* currentImage() {
    BulletObject* object = runtimeCurrentObject();
    return object ? object->getImage() : nullptr;
}

// The texture the running object's image draws into, or null.
Texture* currentImageTexture() {
    Sprite* image = currentImage();
    return image ? image->getTexture().get() : nullptr;
}

// The smallest of the sizes not below `size`, else 2048. NaN gives 2048.
std::uint32_t textureSide(float size, std::uint32_t smallest) {
    for (std::uint32_t side = smallest; side <= 1024; side *= 2)
        if (static_cast<float>(side) >= size) return side;
    return 2048;
}

// The three commands that give the running object an image of its own
// texture: a text image, a plain surface, or the outline of the parent's
// text ("createdupimg").
enum class OwnImage { Text, Surface, Duplicate };

void giveOwnImage(R& runtime, OwnImage kind) {
    BulletObject* object = runtimeCurrentObject();
    TextureManager* textures = g_textureManager;
    SpriteManagerManager* sprites = g_spriteManagerManager;
    if (!object || !textures || !sprites) return;
    // Without a parent there is nothing to outline: checked before anything
    // is made, so no texture or sprite manager is left behind unused.
    BulletObject* parent = kind == OwnImage::Duplicate ? object->getParent() : nullptr;
    if (kind == OwnImage::Duplicate && !parent) return;

    const float width = floatChild(runtime, kWidth);
    const float height = floatChild(runtime, kHeight);
    const float deviceWidth = toDeviceX(width);
    const float deviceHeight = toDeviceY(height);
    const std::uint32_t smallest = kind == OwnImage::Surface ? 64 : 16;
    const std::uint32_t textureWidth = textureSide(deviceWidth, smallest);
    const std::uint32_t textureHeight = textureSide(deviceHeight, smallest);

    TextureManager::Pointer texture = textures->create();
    texture->createEmpty(textureWidth, textureHeight, D3DFMT_A8R8G8B8);
    if (kind != OwnImage::Surface) {
        texture->setTextBoxSize(textureWidth, textureHeight);
        texture->setFontSize(24);
        texture->setTextOffset(0, 0);
    }
    if (kind == OwnImage::Duplicate) {
        Sprite* parentImage = parent->getImage();
        texture->setSourceTexture(parentImage ? parentImage->getTexture() : nullptr);
        texture->setName("shadow");
    }
    if (object->getKind() == object_kind::kPause) texture->setUpdateLock(1);

    SpriteManagerManager::Pointer manager = sprites->create();
    if (kind != OwnImage::Surface) manager->setTextOwner(1);
    manager->setTexture(texture);
    Sprite* sprite = manager->createSprite(0.0f, 0.0f, deviceWidth, deviceHeight, 0.0f, 0.0f,
                                           deviceWidth / static_cast<float>(textureWidth),
                                           deviceHeight / static_cast<float>(textureHeight));
    if (!sprite) return;
    sprite->setTexture(texture);
    sprite->setLayer(kind == OwnImage::Duplicate ? 30 : 31);
    sprite->setX(0.0f);
    sprite->setY(0.0f);
    if (kind == OwnImage::Duplicate)
        sprite->setColor(255.0f, 0.0f, 0.0f, 255.0f);
    else
        sprite->setColor(255.0f, 255.0f, 255.0f, 255.0f);
    // Taking the image sets its layer to the object's draw level.
    object->setImage(sprite);
    applyImageMargins(*object, width, height, ReflectMargins::AsVanish);
    object->setState(0);
    object->setActive(1);
}

// " 1 2 3" for 123, " - 5" for -5: a blank before every character of the
// decimal form.
std::string spacedDigits(std::int32_t number) {
    const std::string digits = std::to_string(number);
    std::string spaced;
    spaced.reserve(digits.size() * 2);
    for (char c : digits) {
        spaced += ' ';
        spaced += c;
    }
    return spaced;
}

std::uint32_t clampedChannel(R& runtime, std::int32_t id) {
    return static_cast<std::uint32_t>(std::clamp(intChild(runtime, id), 0, 255));
}
}  // namespace

namespace handlers {

std::int32_t execImg(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    SpriteManagerManager* sprites = g_spriteManagerManager;
    if (!object || !sprites) return R::kGoOn;
    BulletML_Node* node = runtime.getCurrentNode();
    float left, right, top, bottom, width, height;
    std::int32_t alpha, red, green, blue;
    if (node->hasFloatArray()) {
        float values[BulletML_Node::kFloatCount];
        node->getFloatArray(values);
        left = values[0], right = values[1], top = values[2], bottom = values[3];
        width = values[4], height = values[5];
        alpha = truncateToInt32(values[6]), red = truncateToInt32(values[7]);
        green = truncateToInt32(values[8]), blue = truncateToInt32(values[9]);
    } else {
        left = floatChild(runtime, kLeft), right = floatChild(runtime, kRight);
        top = floatChild(runtime, kTop), bottom = floatChild(runtime, kBottom);
        width = floatChild(runtime, kWidth), height = floatChild(runtime, kHeight);
        alpha = intChild(runtime, kAlpha), red = intChild(runtime, kRed);
        green = intChild(runtime, kGreen), blue = intChild(runtime, kBlue);
    }
    const std::uint8_t blend = blendOfType(node->getChildType(kImg));
    Sprite* sprite = sprites->createSpriteByTexture(toDeviceX(width), toDeviceY(height), left, top, right, bottom,
                                                    nameText(node->getNameHandle()));
    // An empty sprite pool: the object keeps its image.
    if (!sprite) return R::kGoOn;
    sprite->setBlend(blend);
    sprite->setColor(static_cast<float>(alpha), static_cast<float>(red), static_cast<float>(green),
                     static_cast<float>(blue));
    object->setImage(sprite);
    applyImageMargins(*object, width, height, ReflectMargins::ByOption);
    object->setActive(1);
    return R::kGoOn;
}

std::int32_t execImgDirection(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    const std::int32_t mode = runtime.getCurrentNode()->getChildType(kImgDirection);
    float value = static_cast<float>(runtime.evalChild(kImgDirection));
    if (mode == kTypeSync || mode == kTypeSyncEdge) {
        value += 180.0f;
        const float side = std::max(object->getWidth(), object->getHeight());
        applyMarginTable(*object, side, side, ReflectMargins::ByOption);
    }
    object->setImageDirection(mode, value);
    return R::kGoOn;
}

std::int32_t execSetImgSize(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    Sprite* image = object ? object->getImage() : nullptr;
    if (!image) return R::kGoOn;
    const float width = floatChild(runtime, kWidth);
    const float height = floatChild(runtime, kHeight);
    if (runtime.getCurrentNode()->getChildType(kSetImgSize) == kTypeRelative) {
        image->addWidth(width);
        image->addHeight(height);
    } else {
        image->setWidth(width);
        image->setHeight(height);
    }
    object->updateSizeFromImage();
    applyImageMargins(*object, image->getWidth(), image->getHeight(), ReflectMargins::AsVanish);
    return R::kGoOn;
}

std::int32_t execChangeImgSize(R& runtime, std::int32_t) {
    Sprite* image = currentImage();
    if (!image) return R::kGoOn;
    const float width = floatChild(runtime, kWidth), height = floatChild(runtime, kHeight);
    image->changeSize(width, height, intChild(runtime, kTerm));
    return R::kGoOn;
}

std::int32_t execChangeColor(R& runtime, std::int32_t) {
    Sprite* image = currentImage();
    if (!image) return R::kGoOn;
    BulletML_Node* node = runtime.getCurrentNode();
    std::int32_t alpha, red, green, blue, term;
    if (node->hasFloatArray()) {
        float values[BulletML_Node::kFloatCount];
        node->getFloatArray(values);
        alpha = truncateToInt32(values[0]), red = truncateToInt32(values[1]);
        green = truncateToInt32(values[2]), blue = truncateToInt32(values[3]);
        term = truncateToInt32(values[4]);
    } else {
        alpha = intChild(runtime, kAlpha), red = intChild(runtime, kRed);
        green = intChild(runtime, kGreen), blue = intChild(runtime, kBlue);
        term = intChild(runtime, kTerm);
    }
    image->changeColor(static_cast<float>(alpha), static_cast<float>(red), static_cast<float>(green),
                       static_cast<float>(blue), term);
    return R::kGoOn;
}

std::int32_t execSetImgUv(R& runtime, std::int32_t) {
    Sprite* image = currentImage();
    if (!image) return R::kGoOn;
    const float left = floatChild(runtime, kLeft), top = floatChild(runtime, kTop);
    const float right = floatChild(runtime, kRight), bottom = floatChild(runtime, kBottom);
    image->setUV(left, top, right, bottom);
    return R::kGoOn;
}

std::int32_t execRotateImg(R& runtime, std::int32_t) {
    BulletObject* object = runtimeCurrentObject();
    if (!object) return R::kGoOn;
    const float direction = floatChild(runtime, kDirection);
    object->rotateImage(direction, intChild(runtime, kTerm));
    return R::kGoOn;
}

std::int32_t execSetDrawLevel(R& runtime, std::int32_t) {
    if (BulletObject* object = runtimeCurrentObject()) object->setDrawLevel(intChild(runtime, kNum));
    return R::kGoOn;
}

std::int32_t execPreloadImg(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    const std::string file = nameText(node->getNameHandle()) +
                             (node->getChildType(kFile) == kTypeBmp ? ".bmp" : ".dds");
    TextureManager::Pointer texture = g_textureManager ? g_textureManager->getOrLoad(file) : nullptr;
    if (!texture) logLine(failureLine("ExBulletML_Runtime_Img", 1585, file));
    return R::kGoOn;
}

std::int32_t execImgString(R& runtime, std::int32_t) {
    giveOwnImage(runtime, OwnImage::Text);
    return R::kGoOn;
}

std::int32_t execCreateSurface(R& runtime, std::int32_t) {
    giveOwnImage(runtime, OwnImage::Surface);
    return R::kGoOn;
}

std::int32_t execCreateDupImg(R& runtime, std::int32_t) {
    giveOwnImage(runtime, OwnImage::Duplicate);
    return R::kGoOn;
}

std::int32_t execImgStringRef(R& runtime, std::int32_t) {
    BulletML_Node* node = runtime.getCurrentNode();
    if (!node->hasChildren()) {
        // The loader's link, else a lookup in the loaded script (which ends
        // the program on a missing label unless lookups are quiet).
        BulletML_Node* target = node->getRefTarget();
        BulletML_Node_Manager* document = R::getDocument();
        if (!target && document) target = document->findLabel(kImgString, node->getLabel());
        if (!target) return R::kGoOn;
        node->addChild(target);
    }
    if (!node->getCurrentChild()) return R::kGoOn;
    // Without a fresh parameter vector the labelled image is not entered.
    return runtime.enterRef(node) ? R::kGoOn : R::kLeave;
}

std::int32_t execSetString(R& runtime, std::int32_t) {
    if (Texture* texture = currentImageTexture()) texture->setString(runtime.getCurrentNode()->getText());
    return R::kGoOn;
}

std::int32_t execAddString(R& runtime, std::int32_t) {
    if (Texture* texture = currentImageTexture()) texture->addString(runtime.getCurrentNode()->getText());
    return R::kGoOn;
}

std::int32_t execSetStringNum(R& runtime, std::int32_t) {
    if (Texture* texture = currentImageTexture()) texture->setString(spacedDigits(intChild(runtime, kNum)));
    return R::kGoOn;
}

std::int32_t execAddStringNum(R& runtime, std::int32_t) {
    if (Texture* texture = currentImageTexture()) texture->addString(spacedDigits(intChild(runtime, kNum)));
    return R::kGoOn;
}

std::int32_t execSetFontSize(R& runtime, std::int32_t) {
    Texture* texture = currentImageTexture();
    if (!texture) return R::kGoOn;
    const std::int32_t size = intChild(runtime, kHeight);
    texture->setFontSize(size == 0 ? 24 : size);
    return R::kGoOn;
}

std::int32_t execSetFontColor(R& runtime, std::int32_t) {
    Texture* texture = currentImageTexture();
    if (!texture) return R::kGoOn;
    // Each channel kept within 0..255, so that none spills into the next.
    const std::uint32_t red = clampedChannel(runtime, kRed);
    const std::uint32_t green = clampedChannel(runtime, kGreen);
    const std::uint32_t blue = clampedChannel(runtime, kBlue);
    texture->setFontColor(red * 65536 + green * 256 + blue);
    return R::kGoOn;
}

std::int32_t execSetStringWait(R& runtime, std::int32_t) {
    if (Texture* texture = currentImageTexture())
        texture->setStringWait(static_cast<std::uint32_t>(intChild(runtime, kTerm)));
    return R::kGoOn;
}

std::int32_t execLoadSurface(R& runtime, std::int32_t) {
    if (Texture* texture = currentImageTexture())
        texture->loadSurface(nameText(runtime.getCurrentNode()->getNameHandle()));
    return R::kGoOn;
}

std::int32_t execClearSurface(R&, std::int32_t) {
    if (Texture* texture = currentImageTexture()) texture->clearSurface();
    return R::kGoOn;
}

std::int32_t execWaitDrawString(R&, std::int32_t) {
    Texture* texture = currentImageTexture();
    if (!texture || texture->getPendingGlyphs() <= 0) return R::kGoOn;
    const bool pressed = (queryInputForMode(0) & 3) == 1;
    const bool skipping = g_gameInfo && g_gameInfo->isSkipPressed() != 0;
    if (pressed || skipping) texture->finishString();
    return R::kYield;
}

}  // namespace handlers
