#include "runtime/AbsentManagerNotice.h"

#include <set>
#include <string>
#include <tuple>

#include "script/ElementId.h"
#include "services/DebugInfo.h"

namespace {
using Key = std::tuple<std::int32_t, const char*, const char*>;
// Main thread only: the commands run inside the frame step.
std::set<Key>& written() {
    static std::set<Key> keys;
    return keys;
}
}  // namespace

void noteAbsentManager(std::int32_t element, std::string_view text, std::string_view manager) {
    if (!written().insert(Key{element, text.data(), manager.data()}).second) return;
    std::string line(ElementIdTable::instance().elementName(element));
    line += ' ';
    line += text;
    line += " : ";
    line += manager;
    line += " がありません";
    logLine(line);
}

void forgetAbsentManagerNotes() { written().clear(); }
