// How expressions reach the engine's built-in variables ("_score",
// "_framenum", ...): the table of names to ids that the compiler asks while it
// compiles, and the value getter that evaluation asks. The table installs
// itself at start-up; while none is installed no name is built in (id 0) and
// every id reads 0.0.
#pragma once
#include <cstdint>
#include <string_view>

struct BuiltinVariableTable {
    // The id (1..) of a built-in variable's name, 0 when the name is none.
    std::uint32_t (*idOf)(std::string_view name);
    // The current value of a built-in variable; 0.0 for an unknown id.
    double (*valueOf)(std::uint32_t id);
};

// Installs (or, with null, removes) the table. The table must outlive its use.
void setBuiltinVariableTable(const BuiltinVariableTable* table);

std::uint32_t builtinVariableId(std::string_view name);
double builtinVariableValue(std::uint32_t id);
