// The runtime manager the object manager holds as "runtimemgr_": a pooled
// (empty) name, a list and a map that stay empty, a flag and a counter.
// Nothing reads or fills it; runtimes come from the runtime pool directly.
#pragma once
#include <cstdint>
#include <list>
#include <map>

#include "services/NamePool.h"

class ExBulletML_Runtime;

class ExBulletML_RuntimeManager {
public:
    ExBulletML_RuntimeManager() = default;
    virtual ~ExBulletML_RuntimeManager() = default;

    NameHandle getName() const { return name_; }
    std::int32_t getFlag() const { return flag_; }
    std::int32_t getCounter() const { return counter_; }

private:
    NameHandle name_ = 0;
    std::list<ExBulletML_Runtime*> runtimes_;
    std::map<NameHandle, ExBulletML_Runtime*> byName_;
    std::int32_t flag_ = 1;
    std::int32_t counter_ = 0;
};
