// Receives the XML reader's events and hands them to the active document
// handler: the script handler (kind 1) unless an element named "gml" switched
// to the configuration handler (kind 0); an element named "exbulletml"
// switches back. Either switch happens at any depth and replaces the active
// handler, with whatever it had built.
#pragma once
#include <memory>
#include <string_view>

#include "script/BoostXML.h"

class XMLHandler_ii;

class BoostContentHandler {
public:
    enum HandlerKind { kConfigurationHandler = 0, kScriptHandler = 1 };

    BoostContentHandler();
    BoostContentHandler(const BoostContentHandler&) = delete;
    BoostContentHandler& operator=(const BoostContentHandler&) = delete;
    virtual ~BoostContentHandler();

    virtual XMLHandler_ii* getHandler();
    // Switches handler when the tag asks for it, then gives the handler each
    // attribute in map order and the start of the element.
    virtual int startElement(const TagRecord& tag, const XmlAttributeMap& attributes);
    virtual int endElement(const TagRecord& tag);
    virtual int characters(std::u16string_view text);

    HandlerKind getKind() const { return kind_; }

private:
    std::unique_ptr<XMLHandler_ii> handler_;
    HandlerKind kind_;
};
