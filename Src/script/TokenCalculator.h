// The expression grammar. No blanks are skipped; each rule tries its choices
// in the order written:
//
//   expression := sum ( "-eq" sum | "-gt" sum | "-lt" sum )?
//   sum        := term ( "+" term | "-" term )*
//   term       := factor ( "%" factor | "/" factor | "*" factor )*
//   factor     := variable | number | "(" expression ")" | "-" factor
//   variable   := "$" [A-Za-z0-9_]+
//   number     := a real number (sign, digits, fraction, exponent)
//
// The "@" rule of dynamic variables stands on its own: no other rule refers
// to it, so "@" is not part of a compiled expression. Actions report to a
// CalcTokenBuilder; a parse only has to match a prefix of the text.
#pragma once
#include <boost/spirit/include/classic_core.hpp>
#include <boost/spirit/include/classic_chset.hpp>

#include "script/CalcTokenBuilder.h"

namespace calc_grammar {
namespace sc = boost::spirit::classic;

struct PushVariable {
    CalcTokenBuilder& builder;
    void operator()(const char* first, const char* last) const {
        builder.pushVariable(std::string_view(first, static_cast<size_t>(last - first)));
    }
};

struct PushDynamic {
    CalcTokenBuilder& builder;
    void operator()(const char* first, const char* last) const {
        builder.pushDynamic(std::string_view(first, static_cast<size_t>(last - first)));
    }
};

struct PushNumber {
    CalcTokenBuilder& builder;
    void operator()(double value) const { builder.pushNumber(value); }
};

struct PushOperator {
    CalcTokenBuilder& builder;
    CalcTokenType type;
    void operator()(const char*, const char*) const { builder.pushOperator(type); }
};

struct PushNegation {
    CalcTokenBuilder& builder;
    void operator()(const char*, const char*) const { builder.pushNegation(); }
};

// Parses its rule one nesting level deeper; past the builder's limit it fails
// and marks the text as too deep.
template <typename RuleT>
struct NestingGuard : sc::parser<NestingGuard<RuleT>> {
    typedef NestingGuard<RuleT> self_t;
    template <typename ScannerT>
    struct result {
        typedef typename sc::match_result<ScannerT, sc::nil_t>::type type;
    };

    NestingGuard(const RuleT& rule, CalcTokenBuilder& builder) : rule(rule), builder(builder) {}

    template <typename ScannerT>
    typename sc::parser_result<self_t, ScannerT>::type parse(const ScannerT& scan) const {
        if (builder.nesting >= CalcTokenBuilder::kMaxNesting) {
            builder.tooDeep = true;
            return scan.no_match();
        }
        ++builder.nesting;
        auto hit = rule.parse(scan);
        --builder.nesting;
        return hit;
    }

    const RuleT& rule;
    CalcTokenBuilder& builder;
};
}  // namespace calc_grammar

class TokenCalculator : public boost::spirit::classic::grammar<TokenCalculator> {
public:
    explicit TokenCalculator(CalcTokenBuilder& builder) : builder_(builder) {}

    template <typename ScannerT>
    struct definition {
        typedef boost::spirit::classic::rule<ScannerT> rule_t;
        rule_t expression, sum, term, factor, factorChoices, variable, number, dynamicVariable;

        explicit definition(const TokenCalculator& self) {
            using namespace calc_grammar;
            CalcTokenBuilder& b = self.builder_;
            sc::chset<> nameChar("A-Za-z0-9_");
            sc::chset<> alnum("A-Za-z0-9");

            expression = sum >> !((sc::str_p("-eq") >> sum)[PushOperator{b, CalcTokenType::kEqual}] |
                                  (sc::str_p("-gt") >> sum)[PushOperator{b, CalcTokenType::kGreater}] |
                                  (sc::str_p("-lt") >> sum)[PushOperator{b, CalcTokenType::kLess}]);
            sum = term >> *((sc::ch_p('+') >> term)[PushOperator{b, CalcTokenType::kAdd}] |
                            (sc::ch_p('-') >> term)[PushOperator{b, CalcTokenType::kSubtract}]);
            term = factor >> *((sc::ch_p('%') >> factor)[PushOperator{b, CalcTokenType::kRemainder}] |
                               (sc::ch_p('/') >> factor)[PushOperator{b, CalcTokenType::kDivide}] |
                               (sc::ch_p('*') >> factor)[PushOperator{b, CalcTokenType::kMultiply}]);
            factor = NestingGuard<rule_t>(factorChoices, b);
            factorChoices = variable | number | (sc::ch_p('(') >> expression >> sc::ch_p(')')) |
                            (sc::ch_p('-') >> factor)[PushNegation{b}];
            variable = (sc::ch_p('$') >> +nameChar)[PushVariable{b}];
            number = sc::real_p[PushNumber{b}];
            dynamicVariable = (sc::ch_p('@') >> +alnum)[PushDynamic{b}];
        }

        const rule_t& start() const { return expression; }
    };

private:
    CalcTokenBuilder& builder_;
};
