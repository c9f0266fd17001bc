#include "script/XMLHandler_ii.h"

#include "platform/Text.h"
#include "script/BoostXML.h"

XMLHandler_ii::~XMLHandler_ii() = default;

BulletML_Node_Manager* XMLHandler_ii::getDocument() { return nullptr; }

void XMLHandler_ii::setCurrentName(std::u16string_view name) {
    currentName_ = text::asciiLower(name);
    currentPooledName_ = internWideName(currentName_);
}

void XMLHandler_ii::startElement(const TagRecord& tag) { setCurrentName(tag.name); }

void XMLHandler_ii::endElement(const TagRecord&) { clearAttributes(); }

void XMLHandler_ii::setAttribute(std::u16string_view name, std::u16string_view value) {
    attributes_[internWideName(name)] = std::u16string(value);
}

const std::u16string& XMLHandler_ii::getAttribute(std::u16string_view name) const {
    auto it = attributes_.find(internWideName(name));
    return it != attributes_.end() ? it->second : empty_;
}

const std::u16string& XMLHandler_ii::getPooledAttribute(NameHandle pooledName) const {
    auto it = attributes_.find(pooledName);
    return it != attributes_.end() ? it->second : empty_;
}

void XMLHandler_ii::clearAttributes() { attributes_.clear(); }

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
