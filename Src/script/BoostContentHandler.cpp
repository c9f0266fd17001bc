#include "script/BoostContentHandler.h"

#include <string_view>

#include "script/XMLHandler_ii_BulletML.h"
#include "script/XMLHandler_ii_GML.h"

using namespace std::literals;

BoostContentHandler::BoostContentHandler()
    : handler_(std::make_unique<XMLHandler_ii_BulletML>()),
      kind_(kScriptHandler) {}

BoostContentHandler::~BoostContentHandler() = default;

XMLHandler_ii* BoostContentHandler::getHandler() { return handler_.get(); }

int BoostContentHandler::startElement(const TagRecord& tag, const XmlAttributeMap& attributes) {
    // Compared exactly, case and all.
    if (tag.name == u"gml"sv && kind_ != kConfigurationHandler) {
        handler_.reset();
        handler_ = std::make_unique<XMLHandler_ii_GML>();
        kind_ = kConfigurationHandler;
    }
    if (tag.name == u"exbulletml"sv && kind_ != kScriptHandler) {
        handler_.reset();
        handler_ = std::make_unique<XMLHandler_ii_BulletML>();
        kind_ = kScriptHandler;
    }
    for (const auto& [attributeName, value] : attributes) handler_->setAttribute(attributeName, value);
    handler_->startElement(tag);
    return 0;
}

int BoostContentHandler::endElement(const TagRecord& tag) {
    handler_->endElement(tag);
    return 0;
}

int BoostContentHandler::characters(std::u16string_view text) {
    handler_->characters(text);
    return 0;
}
