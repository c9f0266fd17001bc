// The base of the document handlers: it receives the XML reader's events for
// one document kind and keeps the current tag's name and attributes. The
// script handler (XMLHandler_ii_BulletML) and the configuration handler
// (XMLHandler_ii_GML) build on it.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/ShortTextCache.h"
#include "services/NamePool.h"

struct TagRecord;
class BulletML_Node_Manager;

class XMLHandler_ii {
public:
    XMLHandler_ii() = default;
    XMLHandler_ii(const XMLHandler_ii&) = delete;
    XMLHandler_ii& operator=(const XMLHandler_ii&) = delete;
    virtual ~XMLHandler_ii();

    // The document built so far; null for handlers that build none.
    virtual BulletML_Node_Manager* getDocument();
    // Lower-cases the tag's name (A-Z only) into the current name and pools it.
    virtual void startElement(const TagRecord& tag);
    virtual void endElement(const TagRecord& tag);
    virtual void setAttribute(std::u16string_view name, std::u16string_view value);
    // The value of an attribute of the current tag, or the empty string.
    virtual const std::u16string& getAttribute(std::u16string_view name) const;
    // The same by the attribute's pooled wide name (no interning per call).
    const std::u16string& getPooledAttribute(NameHandle pooledName) const;
    virtual void clearAttributes();
    virtual void characters(std::u16string_view text);
    // Whether the current element is the pooled wide name given.
    virtual bool isElement(NameHandle wideName) const;
    virtual bool isElementNamed(std::u16string_view name) const;
    // Equal ignoring the case of A-Z.
    virtual bool equalsNoCase(std::u16string_view a, std::u16string_view b) const;
    virtual bool equalsNoCase(std::string_view a, std::string_view b) const;
    // Whether b begins with a, ignoring the case of A-Z (true for an empty a).
    virtual bool compareNoCase(std::string_view a, std::string_view b) const;
    virtual std::u16string toWide(std::string_view narrow) const;
    virtual std::string toNarrow(std::u16string_view wide) const;
    virtual void reset();

    const std::u16string& currentName() const { return currentName_; }
    NameHandle currentPooledName() const { return currentPooledName_; }

protected:
    // Sets the current name from a tag name as written.
    void setCurrentName(std::u16string_view name);
    // Sets the current name to a name already lowered and pooled as `pooled`.
    void setLoweredCurrentName(std::u16string_view lowered, NameHandle pooled);

private:
    // The current tag's attributes by pooled name, in the order first given.
    // Entries past attributeCount_ are spare: their strings keep their storage
    // for the next tag's values.
    std::vector<std::pair<NameHandle, std::u16string>> attributes_;
    size_t attributeCount_ = 0;
    // Attribute names as written, pooled (a script uses a few).
    ShortTextCache<char16_t, NameHandle, 16> pooledAttributeNames_;
    std::u16string currentName_;
    NameHandle currentPooledName_ = 0;
    const std::u16string empty_;
};
