// The built-in script variables: 243 names ("_pldx" .. "_allgameflag") bound
// to fixed ids 1..243 once, as the first act of the program (and of every tool
// and test that runs scripts), before any loader thread exists. The
// expression compiler asks for ids; evaluation asks
// ExBulletML_Runtime::getSysVarValue for values.
#pragma once
#include <cstdint>
#include <string_view>

#include "services/NamePool.h"

constexpr std::uint32_t kSysVarCount = 243;

// Fills the registry and installs the script's built-in variable hook.
// Calling it again changes nothing.
void registerSysVars();
// The id of a name (interned in the name pool), 0 when it is not built in.
std::uint32_t getSysVarId(std::string_view name);
// The value of a registered name handle; 0.0 for any other handle.
double getSysVarValueByVar(NameHandle handle);
// The name of an id (tests and tools); empty outside 1..243.
std::string_view sysVarName(std::uint32_t id);
