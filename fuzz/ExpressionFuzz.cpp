// Expression text -> compile -> evaluate, with parameters, object variables
// and the game records' global and dynamic variables to read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzSupport.h"
#include "records/GameInfo.h"
#include "script/BulletML_Node_Number.h"
#include "script/VecParam.h"
#include "services/Managers.h"
#include "services/NamePool.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::gameFolder();
    static GameInfo* records = [] {
        g_gameInfo = new GameInfo();
        g_gameInfo->setGlobalVar(internName("g"), 3.0f);
        static BulletML_Node_Number six;
        six.setText("2*3");
        g_gameInfo->setDynamicVar(internName("d"), &six);
        return g_gameInfo;
    }();
    (void)records;
    VecParam parameters{};
    for (int i = 0; i < VecParam::kCapacity; ++i) parameters.values[i] = static_cast<float>(i) - 3.5f;
    parameters.count = VecParam::kCapacity;
    ObjectVariableMap objectVariables;
    objectVariables[internName("hp")] = 7.5f;
    fuzz::asWorker([&] {
        BulletML_Node_Number number;
        number.setText(std::string_view(reinterpret_cast<const char*>(data), size));
        number.evaluate(&parameters, &objectVariables);
        number.evaluate(nullptr, nullptr);
    });
    return 0;
}
