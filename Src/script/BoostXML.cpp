#include "script/BoostXML.h"

// Spirit Classic's character matches hold their value in an optional that GCC
// wrongly reports as maybe uninitialised when inlined.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <boost/spirit/include/classic_core.hpp>
#include <boost/spirit/include/classic_functor_parser.hpp>
#include <mutex>

#include "platform/Text.h"
#include "script/BoostContentHandler.h"
#include "services/DebugInfo.h"

namespace sc = boost::spirit::classic;

namespace {

using Iterator = const char16_t*;

// What one parse works on: the tag record, the working buffers and the
// text-delivered flag. Parses are serialised, so one set would do; keeping it
// per parse leaves nothing behind from an earlier document.
struct ReaderState {
    BoostContentHandler* receiver = nullptr;
    TagRecord tag;
    std::u16string nameBuffer;
    std::u16string valueBuffer;
    std::u16string textBuffer;
    // Set after a text event, cleared by every start-tag event: after a start
    // tag at most one text reaches the handler before the next start tag.
    bool textDelivered = false;
    int depth = 0;
    bool tooDeep = false;
    // End of the last item read (tag, text, comment, declaration).
    Iterator furthest = nullptr;

    void reached(Iterator end) {
        if (end > furthest) furthest = end;
    }
};

// Character classes from our own ASCII tables, never from the locale.
template <bool (*Test)(char32_t)>
struct ascii_class : sc::char_parser<ascii_class<Test>> {
    template <typename CharT>
    bool test(CharT ch) const {
        return Test(static_cast<char32_t>(ch));
    }
};
using ascii_alpha = ascii_class<text::isAsciiAlpha>;
using ascii_alnum = ascii_class<text::isAsciiAlnum>;
using ascii_space = ascii_class<text::isAsciiSpace>;

// Semantic actions. Character parsers call an action with the character,
// the others with the matched range; the actions that do not need the range
// take either.
struct ClearTag {
    ReaderState* state;
    template <typename... Args>
    void operator()(Args&&...) const {
        state->tag.clear();
    }
};

struct TakeTagName {
    ReaderState* state;
    void operator()(Iterator first, Iterator last) const {
        state->nameBuffer.assign(first, last);
        state->tag.name = state->nameBuffer;
    }
};

struct TakeAttributeName {
    ReaderState* state;
    void operator()(Iterator first, Iterator last) const { state->nameBuffer.assign(first, last); }
};

struct TakeAttributeValue {
    ReaderState* state;
    void operator()(Iterator first, Iterator last) const { state->valueBuffer.assign(first, last); }
};

struct AppendAttribute {
    ReaderState* state;
    void operator()(Iterator, Iterator) const {
        state->tag.attributes.emplace_back(state->nameBuffer, state->valueBuffer);
    }
};

struct StartTagEvent {
    ReaderState* state;
    void operator()(Iterator, Iterator last) const {
        state->reached(last);
        XmlAttributeMap attributes;
        for (const auto& [name, value] : state->tag.attributes) attributes[name] = value;
        state->textDelivered = false;
        state->receiver->startElement(state->tag, attributes);
    }
};

struct EndTagEvent {
    ReaderState* state;
    void operator()(Iterator, Iterator last) const {
        state->reached(last);
        state->receiver->endElement(state->tag);
    }
};

struct EmptyTagEvent {
    ReaderState* state;
    void operator()(Iterator first, Iterator last) const {
        StartTagEvent{state}(first, last);
        EndTagEvent{state}(first, last);
    }
};

struct TextEvent {
    ReaderState* state;
    void operator()(Iterator first, Iterator last) const {
        state->reached(last);
        state->textBuffer.assign(first, last);
        if (state->textDelivered || state->textBuffer.empty() || state->textBuffer == u"\r\n") return;
        state->receiver->characters(state->textBuffer);
        state->textDelivered = true;
    }
};

struct Reached {
    ReaderState* state;
    void operator()(Iterator, Iterator last) const { state->reached(last); }
};

// Parses one element through `rule` unless that would nest deeper than
// kMaxElementDepth; then it fails, which ends the parse there.
template <typename RuleT>
struct DepthGuard {
    using result_t = sc::nil_t;
    const RuleT* rule;
    ReaderState* state;

    template <typename ScannerT>
    std::ptrdiff_t operator()(const ScannerT& scan, result_t&) const {
        if (state->depth >= kMaxElementDepth) {
            state->tooDeep = true;
            return -1;
        }
        ++state->depth;
        auto hit = rule->parse(scan);
        --state->depth;
        return hit ? static_cast<std::ptrdiff_t>(hit.length()) : -1;
    }
};

// The grammar. Every rule backtracks on failure; an action runs when its part
// matched and is not undone when an enclosing rule fails afterwards.
struct xml_parser : public sc::grammar<xml_parser> {
    explicit xml_parser(ReaderState& state) : state(&state) {}
    ReaderState* state;

    template <typename ScannerT>
    struct definition {
        using Rule = sc::rule<ScannerT>;
        Rule document, processingInstruction, doctype, comment, element, guardedElement, content, text;
        Rule startTag, emptyTag, endTag, tagOpening, attribute, attributeValue, name, separator, blanks;

        explicit definition(const xml_parser& self) {
            ReaderState* s = self.state;
            using sc::anychar_p;
            using sc::ch_p;
            using sc::str_p;

            blanks = *ascii_space();
            separator = +ascii_space();
            name = (ascii_alpha() | ch_p('_')) >> *(ascii_alnum() | ch_p('_'));

            processingInstruction = (str_p("<?") >> *(anychar_p - ch_p('>')) >> ch_p('>'))[Reached{s}];
            doctype = (str_p("<!DOCTYPE") >> *(anychar_p - ch_p('>')) >> ch_p('>'))[Reached{s}];
            // "<!-" up to the first "->": a single hyphen on each side will do.
            comment = (str_p("<!-") >> *(anychar_p - str_p("->")) >> str_p("->"))[Reached{s}];

            attributeValue = ch_p('"') >> (*(anychar_p - ch_p('"')))[TakeAttributeValue{s}] >> ch_p('"');
            attribute = (name[TakeAttributeName{s}] >> blanks >> ch_p('=') >> blanks >> attributeValue)[AppendAttribute{s}];
            // No blank is allowed before ">" or "/>".
            tagOpening = ch_p('<')[ClearTag{s}] >> name[TakeTagName{s}] >> *(separator >> attribute);
            emptyTag = (tagOpening >> str_p("/>"))[EmptyTagEvent{s}];
            startTag = (tagOpening >> ch_p('>'))[StartTagEvent{s}];
            // The end tag's name is not compared with the start tag's.
            endTag = (str_p("</")[ClearTag{s}] >> name[TakeTagName{s}] >> ch_p('>'))[EndTagEvent{s}];
            text = (+(anychar_p - ch_p('<')))[TextEvent{s}];

            element = comment | emptyTag | (startTag >> *content >> endTag);
            guardedElement = sc::functor_parser<DepthGuard<Rule>>(DepthGuard<Rule>{&element, s});
            content = guardedElement | text;

            document = *processingInstruction >> blanks >> *doctype >> *comment >> blanks >> *guardedElement >>
                       blanks >> *comment >> blanks;
        }

        const Rule& start() const { return document; }
    };
};

std::mutex& parseLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

XmlParseResult parseXml(std::u16string_view text, BoostContentHandler& receiver, std::string_view fileName) {
    // The text ends at its first zero unit.
    if (size_t zero = text.find(u'\0'); zero != std::u16string_view::npos) text = text.substr(0, zero);

    std::lock_guard<std::mutex> lock(parseLock());
    ReaderState state;
    state.receiver = &receiver;
    Iterator first = text.data();
    Iterator last = text.data() + text.size();
    state.furthest = first;

    XmlParseResult result;
    {
        xml_parser grammar(state);
        sc::parse_info<Iterator> info = sc::parse(first, last, grammar);
        state.reached(info.stop);
        result.complete = info.full;
    }
    result.stopOffset = static_cast<size_t>(state.furthest - first);
    result.tooDeep = state.tooDeep && !result.complete;
    if (!result.complete) {
        std::string line = "XML の解析を途中で終了しました  File:" + text::cp932ToUtf8(fileName) +
                           "  Offset:" + std::to_string(result.stopOffset);
        if (result.tooDeep) line += "  要素の入れ子が深すぎます (" + std::to_string(kMaxElementDepth) + ")";
        logLine(line);
    }
    return result;
}
