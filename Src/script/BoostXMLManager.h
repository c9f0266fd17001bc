// The script loader built on the XML reader: its content handler (and with it
// the active document handler and its document) receives the events of every
// file loaded into it.
#pragma once
#include "script/BoostContentHandler.h"
#include "script/VirtualXMLManager.h"

class BoostXMLManager : public VirtualXMLManager {
public:
    // Starts the loader's worker thread.
    explicit BoostXMLManager(XMLManagerManager& owner);
    // Joins the worker before the content handler goes.
    ~BoostXMLManager() override;

    // Fetches the file's text through the owner's script text cache and
    // parses it into the owner's current (`useOther` 0) or other loader.
    // E_FAIL, with its log line, when there is no text.
    HRESULT loadFile(std::u16string_view name, int useOther) override;
    BoostContentHandler* getContentHandler() override { return &contentHandler_; }
    XMLHandler_ii* getHandler() override;
    void resetDocument() override;

protected:
    HRESULT loadOwn(std::u16string_view name) override;

private:
    HRESULT loadInto(std::u16string_view name, VirtualXMLManager& receiver);

    BoostContentHandler contentHandler_;
};
