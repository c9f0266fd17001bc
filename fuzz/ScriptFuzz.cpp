// Script text -> node tree: the XML reader and the script document handler,
// then the references linked as a game reset links them, then every number of
// every node (parameter children, params, own values) evaluated.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/Text.h"
#include "records/GameInfo.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/VecParam.h"
#include "script/XMLHandler_ii.h"
#include "services/Managers.h"

namespace {
void evaluateAll(const BulletML_Node_Manager& document) {
    VecParam parameters{};
    parameters.count = VecParam::kCapacity;
    ObjectVariableMap objectVariables;
    for (const BulletML_Node* node : document.nodes()) {
        for (const auto& [id, number] : node->children())
            if (number) number->evaluate(&parameters, &objectVariables);
        for (std::uint32_t i = 0; i < node->getParamCount(); ++i)
            node->evalParam(i, &parameters, &objectVariables);
        if (const BulletML_Node_Number* value = node->getValue()) value->evaluate(&parameters, &objectVariables);
        float floats[BulletML_Node::kFloatCount];
        node->getFloatArray(floats);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::gameFolder();
    // Dynamic and global variables are read from the game records.
    static GameInfo* records = [] {
        g_gameInfo = new GameInfo();
        return g_gameInfo;
    }();
    (void)records;
    fuzz::asWorker([&] {
        BoostContentHandler content;
        std::string bytes(reinterpret_cast<const char*>(data), size);
        parseXml(text::widen(bytes), content, "fuzz.xml");
        BulletML_Node_Manager* document = content.getHandler() ? content.getHandler()->getDocument() : nullptr;
        if (!document) return;  // the document switched to the configuration handler
        document->setQuietLookup(true);
        document->linkRefs();
        document->setQuietLookup(false);
        evaluateAll(*document);
    });
    return 0;
}
