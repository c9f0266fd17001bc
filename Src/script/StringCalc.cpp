// Spirit's match results hold a boost::optional that GCC reports as maybe
// used uninitialized when inlined under the sanitizers; it is not.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "script/StringCalc.h"

#include <memory>
#include <mutex>
#include <string>

#include "platform/Text.h"
#include "script/BulletML_Node_Number.h"
#include "script/CalcTokenList.h"
#include "script/TokenCalculator.h"
#include "services/DebugInfo.h"
#include "services/FatalExit.h"

namespace {
// One grammar for the process. Scripts are compiled on the loader threads
// and the main thread, so parses take turns.
struct Calculator {
    std::mutex lock;
    CalcTokenBuilder builder;
    TokenCalculator grammar{builder};
};

Calculator& calculator() {
    static Calculator* instance = new Calculator();
    return *instance;
}

// Made before any thread starts: every Spirit grammar of the process takes its
// object id from one unguarded supply, which the XML reader's grammars use on
// the loader threads.
[[maybe_unused]] Calculator& g_madeAtStartUp = calculator();

[[noreturn]] void reportInvalidExpression(std::string_view text) {
    logLine("");
    logLine(kAsterisks53);
    logLine("不正な式が見つかりました " + text::cp932ToUtf8(text));
    logLine("");
    fatalExit();
}
}  // namespace

std::vector<CalcToken> StringCalc::parse(std::string_view text) {
    namespace sc = boost::spirit::classic;
    Calculator& calc = calculator();
    std::lock_guard<std::mutex> lock(calc.lock);
    calc.builder.clear();
    const char* first = text.data();
    sc::parse_info<const char*> info = sc::parse(first, first + text.size(), calc.grammar);
    if (calc.builder.tooDeep) {
        calc.builder.clear();
        return {};
    }
    // Only a text that leaves no token is an error. A text that fails as a
    // whole after a complete operand, such as an unclosed "(1+2", is read as
    // the last operand it completed, which is the root of what it left.
    if (!info.hit) return calc.builder.takeLastOperand();
    if (!info.full) {
        // A choice that failed after the matched prefix may have left tokens
        // behind; reading the prefix alone gives exactly its tokens. The
        // prefix ends where the parse stopped: the match length undercounts a
        // number with a trailing dot ("1.+2" matches 3 of its 4 characters).
        calc.builder.clear();
        sc::parse(first, info.stop, calc.grammar);
    }
    return calc.builder.take();
}

void StringCalc::compile(BulletML_Node_Number& number, std::string_view text) {
    std::vector<CalcToken> tokens = parse(text);
    if (tokens.empty()) reportInvalidExpression(text);
    number.setCompiled(std::make_unique<CalcTokenList>(std::move(tokens)));
}
