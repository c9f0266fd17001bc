#include "script/XMLHandler_ii.h"

#include "platform/Text.h"
#include "script/BoostXML.h"

XMLHandler_ii::~XMLHandler_ii() = default;

BulletML_Node_Manager* XMLHandler_ii::getDocument() { return nullptr; }

void XMLHandler_ii::setCurrentName(std::u16string_view name) {
    // Lowered in place: the name's storage is kept from tag to tag.
    currentName_.assign(name);
    for (char16_t& unit : currentName_) unit = static_cast<char16_t>(text::asciiLower(unit));
    currentPooledName_ = internWideName(currentName_);
}

void XMLHandler_ii::setLoweredCurrentName(std::u16string_view lowered, NameHandle pooled) {
    currentName_.assign(lowered);
    currentPooledName_ = pooled;
}

void XMLHandler_ii::startElement(const TagRecord& tag) { setCurrentName(tag.name); }

void XMLHandler_ii::endElement(const TagRecord&) { clearAttributes(); }

void XMLHandler_ii::setAttribute(std::u16string_view name, std::u16string_view value) {
    NameHandle pooled;
    if (const NameHandle* known = pooledAttributeNames_.find(name)) {
        pooled = *known;
    } else {
        pooled = internWideName(name);
        pooledAttributeNames_.insert(name, pooled);
    }
    for (size_t i = 0; i < attributeCount_; ++i) {
        if (attributes_[i].first == pooled) {
            attributes_[i].second.assign(value);
            return;
        }
    }
    if (attributeCount_ == attributes_.size()) attributes_.emplace_back();
    attributes_[attributeCount_].first = pooled;
    attributes_[attributeCount_].second.assign(value);
    ++attributeCount_;
}

const std::u16string& XMLHandler_ii::getAttribute(std::u16string_view name) const {
    return getPooledAttribute(internWideName(name));
}

const std::u16string& XMLHandler_ii::getPooledAttribute(NameHandle pooledName) const {
    // A tag has a few attributes at most: a linear search is the quickest.
    for (size_t i = 0; i < attributeCount_; ++i) {
        if (attributes_[i].first == pooledName) return attributes_[i].second;
    }
    return empty_;
}

void XMLHandler_ii::clearAttributes() { attributeCount_ = 0; }

void XMLHandler_ii::characters(std::u16string_view) {}

bool XMLHandler_ii::isElement(NameHandle wideName) const { return currentPooledName_ == wideName; }

bool XMLHandler_ii::isElementNamed(std::u16string_view name) const { return equalsNoCase(name, currentName_); }

bool XMLHandler_ii::equalsNoCase(std::u16string_view a, std::u16string_view b) const {
    return text::equalsIgnoreAsciiCase(a, b);
}

bool XMLHandler_ii::equalsNoCase(std::string_view a, std::string_view b) const {
    return text::equalsIgnoreAsciiCase(a, b);
}

bool XMLHandler_ii::compareNoCase(std::string_view a, std::string_view b) const {
    return a.size() <= b.size() && text::equalsIgnoreAsciiCase(a, b.substr(0, a.size()));
}

std::u16string XMLHandler_ii::toWide(std::string_view narrow) const { return text::widen(narrow); }

std::string XMLHandler_ii::toNarrow(std::u16string_view wide) const { return text::narrow(wide); }

void XMLHandler_ii::reset() {}
