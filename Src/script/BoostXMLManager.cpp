#include "script/BoostXMLManager.h"

#include "platform/Text.h"
#include "script/BoostXML.h"
#include "script/XMLHandler_ii.h"
#include "script/XMLManagerManager.h"
#include "services/DebugInfo.h"

BoostXMLManager::BoostXMLManager(XMLManagerManager& owner) : VirtualXMLManager(owner) { startWorker(); }

BoostXMLManager::~BoostXMLManager() { stopWorker(); }

XMLHandler_ii* BoostXMLManager::getHandler() { return contentHandler_.getHandler(); }

void BoostXMLManager::resetDocument() {
    if (XMLHandler_ii* handler = getHandler()) handler->reset();
}

HRESULT BoostXMLManager::loadFile(std::u16string_view name, int useOther) {
    VirtualXMLManager* receiver = useOther ? owner().getOther() : owner().getCurrent();
    return loadInto(name, *receiver);
}

// The worker and the game reset load into the loader whose queue held the
// name: the other loader while the worker runs, the current one at the reset.
HRESULT BoostXMLManager::loadOwn(std::u16string_view name) { return loadInto(name, *this); }

HRESULT BoostXMLManager::loadInto(std::u16string_view name, VirtualXMLManager& receiver) {
    std::shared_ptr<const std::u16string> text = owner().getScriptText(name);
    BoostContentHandler* handler = receiver.getContentHandler();
    if (!text || !handler) {
        logFailure("BoostXML", 256, E_FAIL);
        return E_FAIL;
    }
    parseXml(*text, *handler, text::narrow(name));
    return S_OK;
}
