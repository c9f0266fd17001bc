#include "script/XMLHandler_ii_BulletML.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <unordered_map>

#include "platform/Text.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/BulletML_Node_Number_Manager.h"
#include "script/ElementId.h"
#include "script/VecParam.h"
#include "services/DebugInfo.h"

namespace {
bool isOneOf(std::int32_t id, std::initializer_list<std::int32_t> ids) {
    for (std::int32_t candidate : ids) {
        if (candidate == id) return true;
    }
    return false;
}

// Elements whose start gives them the "direction", "speed" and creation
// values that a "fire" or "create" before them captured.
constexpr std::int32_t kTakesCreationValues[] = {kBullet,     kBulletRef,     kEnemy,  kEnemyRef,  kShot,    kShotRef,
                                                 kPlayer,     kPlayerRef,     kSelectable, kSelectableRef, kObject,
                                                 kObjectRef,  kDObject,       kDObjectRef, kItem,   kItemRef,   kBomb,
                                                 kBombRef};
// Object nodes that take a captured "direction" and "speed" as soon as the
// text arrives.
constexpr std::int32_t kTakesMotionAtOnce[] = {kBullet, kEnemy,   kShot,    kPlayer, kSelectable,
                                               kCursor, kObject,  kDObject, kItem,   kBomb};
// Elements whose own text is their value, stored under their own id.
constexpr std::int32_t kHoldsOwnText[] = {kImgDirection, kEval, kEvalAdd, kSysVar, kGlobal, kDynamic};
// Elements that name a variable with their "name" attribute.
constexpr std::int32_t kNamesVariable[] = {kGlobal, kEval, kEvalAdd, kSysVar, kDynamic};

// The lists above as flags by command id, asked for every element.
enum IdFlag : std::uint8_t { kFlagCreation = 1, kFlagMotion = 2, kFlagOwnText = 4, kFlagVariable = 8 };
struct IdFlags {
    std::array<std::uint8_t, 512> byId{};
    constexpr IdFlags() {
        for (std::int32_t id : kTakesCreationValues) byId[static_cast<size_t>(id)] |= kFlagCreation;
        for (std::int32_t id : kTakesMotionAtOnce) byId[static_cast<size_t>(id)] |= kFlagMotion;
        for (std::int32_t id : kHoldsOwnText) byId[static_cast<size_t>(id)] |= kFlagOwnText;
        for (std::int32_t id : kNamesVariable) byId[static_cast<size_t>(id)] |= kFlagVariable;
    }
    bool has(std::int32_t id, IdFlag flag) const {
        return id >= 0 && static_cast<size_t>(id) < byId.size() && (byId[static_cast<size_t>(id)] & flag) != 0;
    }
};
constexpr IdFlags kIdFlags;

bool takesCreationValues(std::int32_t id) { return kIdFlags.has(id, kFlagCreation); }
bool takesMotionAtOnce(std::int32_t code) { return kIdFlags.has(code, kFlagMotion); }
bool holdsOwnText(std::int32_t id) { return kIdFlags.has(id, kFlagOwnText); }
bool namesVariable(std::int32_t id) { return kIdFlags.has(id, kFlagVariable); }

bool isIgnoredText(std::u16string_view text) {
    return text.empty() || text == u" " || text == u"\n" || text == u"\r\n" || text == u"\t";
}

constexpr std::int32_t kImgFloatIds[] = {kLeft, kRight, kTop, kBottom, kWidth, kHeight, kAlpha, kRed, kGreen, kBlue};
constexpr std::int32_t kChangeColorFloatIds[] = {kAlpha, kRed, kGreen, kBlue, kTerm};
}  // namespace

namespace {
// The attributes every element is asked for, pooled once.
struct AttributeNames {
    NameHandle type = internWideName(u"type");
    NameHandle label = internWideName(u"label");
    NameHandle l = internWideName(u"l");
    NameHandle name = internWideName(u"name");
    NameHandle n = internWideName(u"n");
};
const AttributeNames& attributeNames() {
    static const AttributeNames names;
    return names;
}
}  // namespace

namespace {
// Dense slots for the keys of held-back state, made once for the process:
// every element name, "position" and the empty name (slot 0, the key of ids
// without a name).
class CaptureKeys {
public:
    static const CaptureKeys& instance() {
        static const CaptureKeys* keys = new CaptureKeys();
        return *keys;
    }
    size_t slotOf(std::int32_t id) const {
        if (id < 0 || static_cast<size_t>(id) >= slotsById_.size()) return 0;
        return slotsById_[static_cast<size_t>(id)];
    }
    size_t positionSlot() const { return positionSlot_; }
    size_t count() const { return count_; }

private:
    CaptureKeys() {
        const ElementIdTable& ids = ElementIdTable::instance();
        std::unordered_map<NameHandle, size_t> slotByName{{NamePool::instance().emptyName(), 0}};
        auto slotOfHandle = [&](NameHandle name) {
            auto [at, added] = slotByName.emplace(name, slotByName.size());
            return at->second;
        };
        positionSlot_ = slotOfHandle(internName("position"));
        std::int32_t largest = 0;
        for (const ElementName& entry : elementNameTable()) largest = std::max(largest, entry.id);
        slotsById_.assign(static_cast<size_t>(largest) + 1, 0);
        for (std::int32_t id = 0; id <= largest; ++id) {
            slotsById_[static_cast<size_t>(id)] = id == kChangePosition || id == kSetPosition
                                                      ? positionSlot_
                                                      : slotOfHandle(ids.elementNameHandle(id));
        }
        count_ = slotByName.size();
    }
    std::vector<size_t> slotsById_;
    size_t positionSlot_ = 0;
    size_t count_ = 0;
};
}  // namespace

XMLHandler_ii_BulletML::XMLHandler_ii_BulletML(BulletML_Node_Allocator* allocator)
    : ids_(ElementIdTable::instance()),
      document_(std::make_unique<BulletML_Node_Manager>(allocator)),
      keys_(CaptureKeys::instance().count()),
      capturedTexts_(CaptureKeys::instance().count()),
      repeatKey_(CaptureKeys::instance().slotOf(kRepeat)),
      positionKey_(CaptureKeys::instance().positionSlot()),
      repeatCountKey_(CaptureKeys::instance().slotOf(kRepeatCount)),
      paramKey_(CaptureKeys::instance().slotOf(kStructParam)),
      fileKey_(CaptureKeys::instance().slotOf(kFile)) {}

XMLHandler_ii_BulletML::~XMLHandler_ii_BulletML() = default;

BulletML_Node_Manager* XMLHandler_ii_BulletML::getDocument() { return document_.get(); }

BulletML_Node* XMLHandler_ii_BulletML::nodeBeingFilled() const { return document_->getCursor(); }

size_t XMLHandler_ii_BulletML::keySlot(std::int32_t id) const { return CaptureKeys::instance().slotOf(id); }

int XMLHandler_ii_BulletML::captureState(size_t slot) const {
    return keys_[slot].captureGeneration == generation_ ? keys_[slot].capture : kIdle;
}

void XMLHandler_ii_BulletML::setCaptureState(size_t slot, int state) {
    keys_[slot].captureGeneration = generation_;
    keys_[slot].capture = state;
}

void XMLHandler_ii_BulletML::forgetCaptureStates() {
    if (++generation_ == 0) {
        // After 2^32 commands: restart the generations.
        for (KeyState& key : keys_) key.captureGeneration = 0;
        generation_ = 1;
    }
}

BulletML_Node_Number* XMLHandler_ii_BulletML::number(std::string_view text) {
    if (BulletML_Node_Number* const* known = numbersByText_.find(text)) return *known;
    const NameHandle name = internName(text);
    BulletML_Node_Number* record;
    if (name < numberCache_.size() && numberCache_[name]) {
        record = numberCache_[name];
    } else {
        record = BulletML_Node_Number_Manager::instance().get(text);
        if (name >= numberCache_.size()) numberCache_.resize(static_cast<size_t>(name) + 1, nullptr);
        numberCache_[name] = record;
    }
    numbersByText_.insert(text, record);
    return record;
}

void XMLHandler_ii_BulletML::setType(std::int32_t id, std::u16string_view value) {
    std::int32_t type = ids_.lookupTypeValue(value);
    keys_[keySlot(id)].type = type;
    nodeBeingFilled()->setChildType(id, type);
}

void XMLHandler_ii_BulletML::flush(std::int32_t childId) {
    const size_t key = keySlot(childId);
    if (captureState(key) == kCaptured) {
        BulletML_Node* node = nodeBeingFilled();
        node->setChild(childId, number(capturedTexts_[key]));
        node->setChildType(childId, keys_[key].type);
    }
    setCaptureState(key, kIdle);
    keys_[key].type = kTypeNone;
}

namespace {
// Equal units, four at a time: tag names are short, a library call would cost
// more than the compare.
bool sameUnits(const char16_t* a, const char16_t* b, size_t length) {
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        std::uint64_t left;
        std::uint64_t right;
        std::memcpy(&left, a + i, sizeof left);
        std::memcpy(&right, b + i, sizeof right);
        if (left != right) return false;
    }
    for (; i < length; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}
}  // namespace

XMLHandler_ii_BulletML::TagCacheEntry* XMLHandler_ii_BulletML::cachedTag(std::u16string_view written,
                                                                        TagCacheEntry*& spare) {
    spare = nullptr;
    const size_t length = written.size();
    if (length == 0 || length > TagCacheEntry::kMaxLength) return nullptr;
    // Hashed by the first and the last four units and the length.
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    if (length >= 4) {
        std::memcpy(&head, written.data(), sizeof head);
        std::memcpy(&tail, written.data() + length - 4, sizeof tail);
    } else {
        for (char16_t unit : written) head = head << 16 | unit;
        tail = head;
    }
    std::uint64_t hash = head * 0x9E3779B97F4A7C15ull ^ tail * 0xC2B2AE3D27D4EB4Full ^ length;
    hash ^= hash >> 32;
    hash ^= hash >> 17;
    TagCacheEntry* set = &tagCache_[2 * (hash % kTagCacheSets)];
    for (int way = 0; way < 2; ++way) {
        if (set[way].length == length && sameUnits(set[way].written, written.data(), length)) return &set[way];
    }
    spare = set[0].length ? &set[1] : &set[0];
    return nullptr;
}

void XMLHandler_ii_BulletML::fillTag(TagCacheEntry* entry, std::u16string_view written, std::u16string_view lowered,
                                     std::int32_t id, NameHandle wideName) {
    if (!entry) return;
    std::memcpy(entry->written, written.data(), written.size() * sizeof(char16_t));
    entry->length = written.size();
    entry->lowered.assign(lowered);
    entry->id = id;
    entry->wideName = wideName;
}

void XMLHandler_ii_BulletML::startElement(const TagRecord& tag) {
    std::int32_t id;
    TagCacheEntry* spare = nullptr;
    TagCacheEntry* cached = cachedTag(tag.name, spare);
    if (cached && cached->wideName != 0) {
        setLoweredCurrentName(cached->lowered, cached->wideName);
        id = cached->id;
    } else {
        XMLHandler_ii::startElement(tag);
        id = ids_.lookupTag(currentName());
        if (id != -1) fillTag(cached ? cached : spare, tag.name, currentName(), id, currentPooledName());
    }
    currentId_ = id;
    insideElement_ = true;

    // Only command and object elements make nodes and set codes: a tag "none"
    // (512) is a parameter child like the others and leaves the enclosing
    // command's code alone.
    if (isCommandId(id)) {
        document_->addNode()->setCode(id);
        if (id == kWait || id == kSkipWait) {
            setCaptureState(repeatKey_, kWaitingForText);
        } else if (holdsOwnText(id) || id == kChangePosition || id == kSetPosition) {
            setCaptureState(keySlot(id), kWaitingForText);
        }
    }
    BulletML_Node* node = nodeBeingFilled();

    if (takesCreationValues(id)) {
        for (std::int32_t child : {kDirection, kSpeed, kCx, kCy, kInv, kVital, kQuick, kX, kY, kChild}) flush(child);
    } else if (id == kGroup) {
        flush(kQuick);
        flush(kNum);
    }

    if (id == kStructTimes) {
        setCaptureState(repeatKey_, kWaitingForText);
    } else if (id == kStructParam) {
        setCaptureState(paramKey_, kWaitingForText);
    } else if (isParameterChildId(id)) {
        setCaptureState(keySlot(id), kWaitingForText);
        // A child without a "type" attribute has none: a type given to an
        // earlier element of the same name must not carry over.
        keys_[keySlot(id)].type = kTypeNone;
    }

    const AttributeNames& attributes = attributeNames();
    if (const std::u16string& type = getPooledAttribute(attributes.type); !type.empty()) setType(id, type);

    const std::u16string* label = &getPooledAttribute(attributes.label);
    if (label->empty()) label = &getPooledAttribute(attributes.l);
    if (!label->empty()) {
        NameHandle pooled = internWideName(*label);
        node->setLabel(pooled);
        // The labelled node itself is entered (for a label on a parameter
        // child, the enclosing command that took it).
        document_->registerLabel(pooled, node);
    }

    if (namesVariable(id)) {
        const std::u16string* name = &getPooledAttribute(attributes.name);
        if (name->empty()) name = &getPooledAttribute(attributes.n);
        node->setVariable(internName(toNarrow(*name)));
    }
    clearAttributes();
}

void XMLHandler_ii_BulletML::captureText(std::int32_t id, std::string_view text) {
    const size_t key = keySlot(id);
    capturedTexts_[key].assign(text);
    setCaptureState(key, kCaptured);
}

void XMLHandler_ii_BulletML::takeFileName(BulletML_Node* node, const std::string& text) {
    const std::int32_t code = node->getCode();
    if (!isOneOf(code, {kImg, kTrack, kTrackRef, kExeFile, kExeFileAsync, kPreloadImg, kPreloadMesh, kPreloadTrack,
                        kMesh, kSetupParticle, kPlaySoundDirect, kSoundTrack, kLoadSurface, kSetMeshTexture})) {
        return;
    }
    const std::int32_t type = keys_[fileKey_].type;
    node->setChildType(kFile, type);
    std::string fileName = text;
    if (isOneOf(code, {kImg, kSetupParticle, kLoadSurface, kSetMeshTexture})) {
        fileName += type == kTypeBmp ? ".bmp" : ".dds";
    } else if (isOneOf(code, {kTrack, kPlaySoundDirect, kSoundTrack})) {
        fileName += ".wav.raw";
    } else if (isOneOf(code, {kMesh, kPreloadMesh})) {
        fileName += ".x";
    }
    node->setFileName(internName(fileName));
}

void XMLHandler_ii_BulletML::characters(std::u16string_view wide) {
    if (isIgnoredText(wide)) return;
    // Text after an end tag belongs to no element that takes text (the
    // indentation after an empty parameter child, for one).
    if (!insideElement_) return;
    const std::int32_t id = currentId_;
    // Only the elements below take text (the indentation inside a command
    // such as "action" is dropped here, before it is narrowed).
    if (!isParameterChildId(id) && !(isCommandId(id) && holdsOwnText(id)) && id != kStructParam && id != kWait &&
        id != kStructTimes && id != kSkipWait) {
        return;
    }
    text::narrow(wide, narrowText_);
    const std::string& text = narrowText_;
    BulletML_Node* node = nodeBeingFilled();

    if (id == kDirection || id == kSpeed) {
        if (captureState(keySlot(id)) == kWaitingForText) captureText(id, text);
        if (takesMotionAtOnce(node->getCode())) {
            flush(kDirection);
            flush(kSpeed);
        }
    } else if (isCommandId(id) && holdsOwnText(id)) {
        captureText(id, text);
        node->setChild(id, number(text));
    } else if (isParameterChildId(id) && id != kFile && id != kCommand && id != kString) {
        captureText(id, text);
        node->setChild(id, number(text));
    } else if (id == kFile) {
        if (captureState(fileKey_) == kWaitingForText) {
            captureText(id, text);
            takeFileName(node, text);
        }
    } else if (id == kCommand) {
        if (isOneOf(node->getCode(), {kSystem, kNetwork})) node->setText(text);
    } else if (id == kString) {
        if (isOneOf(node->getCode(), {kImgString, kSetString, kAddString, kDebugStr})) node->setText(text);
    } else if (id == kStructParam) {
        if (captureState(paramKey_) == kWaitingForText) captureText(id, text);
    } else if (id == kWait || id == kStructTimes || id == kSkipWait) {
        if (captureState(repeatKey_) == kWaitingForText) {
            capturedTexts_[repeatCountKey_] = text;
            setCaptureState(repeatKey_, kCaptured);
        }
    }
}

void XMLHandler_ii_BulletML::storeLiteralFloats(BulletML_Node* node, const std::int32_t* ids, int count) {
    for (int i = 0; i < count; ++i) {
        BulletML_Node_Number* value = node->getChild(ids[i]);
        if (!value || value->getKind() != BulletML_Node_Number::kLiteral) return;
    }
    for (int i = 0; i < count; ++i) {
        node->setFloat(i, static_cast<float>(node->getChild(ids[i])->evaluate(nullptr, nullptr)));
    }
    node->setHasFloats();
}

void XMLHandler_ii_BulletML::endElement(const TagRecord& tag) {
    std::int32_t id;
    TagCacheEntry* spare = nullptr;
    if (const TagCacheEntry* cached = cachedTag(tag.name, spare)) {
        id = cached->id;
    } else {
        endName_.assign(tag.name);
        for (char16_t& unit : endName_) unit = static_cast<char16_t>(text::asciiLower(unit));
        id = ids_.lookupTag(endName_);
        if (id != -1) fillTag(spare, tag.name, endName_, id, 0);
    }
    currentId_ = id;
    insideElement_ = false;
    BulletML_Node* node = nodeBeingFilled();

    if (id == kChangeSpeed) flush(kSpeed);
    if (id == kChangeDirection || id == kRotateImg) flush(kDirection);

    const bool countCaptured = captureState(repeatKey_) == kCaptured;
    if (id == kWait || id == kSkipWait || (id == kStructTimes && countCaptured)) {
        node->setChild(kRepeatCount, number(capturedTexts_[repeatCountKey_]));
        capturedTexts_[repeatCountKey_].clear();
        setCaptureState(repeatKey_, kIdle);
    }
    if (id == kStructParam) {
        // A "param" without text of its own is empty, not the text of the
        // "param" before it.
        const bool captured = captureState(paramKey_) == kCaptured;
        // A running script holds at most 15 parameters: the 16th and later
        // are dropped, with one line naming the reference's label.
        if (node->getParamCount() < static_cast<std::uint32_t>(VecParam::kCapacity)) {
            node->addParam(number(captured ? capturedTexts_[paramKey_] : std::string()));
        } else if (node->getParamCount() == static_cast<std::uint32_t>(VecParam::kCapacity) && !node->hasTooManyParams()) {
            node->markTooManyParams();
            logLine("param が15個を超えています。16個目以降は使われません: " +
                    text::cp932ToUtf8(text::narrow(WideNamePool::instance().text(node->getLabel()))));
        }
        setCaptureState(paramKey_, kIdle);
    }
    if (BulletML_Node_Number* count = node->getChild(kRepeatCount)) node->setValue(count);

    if (id == kImg) storeLiteralFloats(node, kImgFloatIds, std::size(kImgFloatIds));
    if (id == kChangeColor) storeLiteralFloats(node, kChangeColorFloatIds, std::size(kChangeColorFloatIds));

    if (isCommandId(id)) {
        document_->up();
        forgetCaptureStates();
    }
    XMLHandler_ii::endElement(tag);
}

void XMLHandler_ii_BulletML::reset() {
    for (KeyState& key : keys_) key = KeyState();
    for (std::string& captured : capturedTexts_) captured.clear();
    generation_ = 1;
    clearAttributes();
    currentId_ = 0;
    insideElement_ = false;
    document_->reset();
}
