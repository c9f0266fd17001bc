// The script document handler: turns the events of an "exbulletml" script
// into a node tree. Command and object elements become nodes; the text of a
// parameter child ("speed", "term", ...) becomes a number of the enclosing
// command, and a few texts are held back ("captured") until the element that
// they belong to is known: the "direction" and "speed" of a "fire" or "create"
// go to the next object element, the count of "wait" and "times" becomes the
// node's "repeatcount". One handler collects every script its loader reads
// until it is reset.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/ElementId.h"
#include "script/ShortTextCache.h"
#include "script/XMLHandler_ii.h"

class BulletML_Node;
class BulletML_Node_Allocator;
class BulletML_Node_Number;
class ElementIdTable;

class XMLHandler_ii_BulletML : public XMLHandler_ii {
public:
    // Nodes come from `allocator` (the process-wide pool by default).
    explicit XMLHandler_ii_BulletML(BulletML_Node_Allocator* allocator = nullptr);
    ~XMLHandler_ii_BulletML() override;

    BulletML_Node_Manager* getDocument() override;
    void startElement(const TagRecord& tag) override;
    void endElement(const TagRecord& tag) override;
    void characters(std::u16string_view text) override;
    // Empties the handler's state and the document.
    void reset() override;
    // Stores the type value of `value` for element `id` on the node being
    // filled and under the element's key name.
    virtual void setType(std::int32_t id, std::u16string_view value);

private:
    enum CaptureState { kIdle = 0, kWaitingForText = 1, kCaptured = 2 };

    // The held-back state of one key. A key is an element's name ("position"
    // for the two position commands, the empty name for ids without one), so
    // ids of the same name share it; each key has a dense slot for the process
    // (see keySlot in the source).
    struct KeyState {
        // The capture state counts only when set in the current generation:
        // a command's end forgets every capture state at once by starting a
        // new one.
        std::uint32_t captureGeneration = 0;
        int capture = kIdle;
        std::int32_t type = kTypeNone;
    };

    // The node that values go to: the document's walk cursor, which is the
    // element's own node or, inside a parameter child, the enclosing command.
    BulletML_Node* nodeBeingFilled() const;
    // The slot of an element's held-back state.
    size_t keySlot(std::int32_t id) const;
    int captureState(size_t slot) const;
    void setCaptureState(size_t slot, int state);
    void forgetCaptureStates();
    BulletML_Node_Number* number(std::string_view text);
    // Gives a captured parameter child to the node being filled.
    void flush(std::int32_t childId);
    void captureText(std::int32_t id, std::string_view text);
    void takeFileName(BulletML_Node* node, const std::string& text);
    void storeLiteralFloats(BulletML_Node* node, const std::int32_t* ids, int count);

    const ElementIdTable& ids_;
    std::unique_ptr<BulletML_Node_Manager> document_;
    std::int32_t currentId_ = 0;
    // Between an element's start tag and the next end tag: only text there
    // belongs to the current element.
    bool insideElement_ = false;
    // By key slot: capture state and type; the captured texts.
    std::vector<KeyState> keys_;
    std::vector<std::string> capturedTexts_;
    std::uint32_t generation_ = 1;
    // The current text, narrowed; its storage is kept from text to text.
    std::string narrowText_;
    // The current end tag's name, lowered; kept likewise.
    std::u16string endName_;
    // Tag names as written, with their lowered form, its id and its pooled
    // wide name (0 until a start tag pooled it): a script's tags are mostly a
    // few names, each lowered, looked up and pooled once per handler. A name
    // the id table does not know is never kept (each one is logged). Two ways
    // per set, by a hash of the written name.
    struct TagCacheEntry {
        // Longer names are not kept.
        static constexpr size_t kMaxLength = 24;
        char16_t written[kMaxLength];
        // 0: the entry is unused.
        size_t length = 0;
        std::u16string lowered;
        std::int32_t id = 0;
        NameHandle wideName = 0;
    };
    static constexpr size_t kTagCacheSets = 128;
    // The entry of `written`, or null; `spare` is set to the entry a miss
    // fills (null for a name too long to keep).
    TagCacheEntry* cachedTag(std::u16string_view written, TagCacheEntry*& spare);
    static void fillTag(TagCacheEntry* entry, std::u16string_view written, std::u16string_view lowered,
                        std::int32_t id, NameHandle wideName);
    std::array<TagCacheEntry, 2 * kTagCacheSets> tagCache_;
    // The registry's number records by their text's pooled name, and by the
    // text itself for short texts. The registry never drops a record, so each
    // text takes its lock once per handler.
    std::vector<BulletML_Node_Number*> numberCache_;
    ShortTextCache<char, BulletML_Node_Number*> numbersByText_;
    size_t repeatKey_;
    size_t positionKey_;
    size_t repeatCountKey_;
    size_t paramKey_;
    size_t fileKey_;
};
