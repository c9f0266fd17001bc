#include "script/BuiltinVariableTable.h"

#include <atomic>

namespace {
// Loader threads compile while the main thread evaluates.
std::atomic<const BuiltinVariableTable*> g_table{nullptr};
}  // namespace

void setBuiltinVariableTable(const BuiltinVariableTable* table) { g_table.store(table); }

std::uint32_t builtinVariableId(std::string_view name) {
    const BuiltinVariableTable* table = g_table.load();
    return table && table->idOf ? table->idOf(name) : 0;
}

double builtinVariableValue(std::uint32_t id) {
    const BuiltinVariableTable* table = g_table.load();
    return table && table->valueOf && id != 0 ? table->valueOf(id) : 0.0;
}
