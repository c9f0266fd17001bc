#include "script/BoostXML.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Text.h"
#include "script/BoostContentHandler.h"
#include "services/DebugInfo.h"

void XmlAttributeMap::set(std::u16string_view name, std::u16string_view value) {
    auto at = std::lower_bound(entries_.begin(), entries_.end(), name,
                               [](const value_type& entry, std::u16string_view key) { return entry.first < key; });
    if (at != entries_.end() && at->first == name) {
        at->second = value;
    } else {
        entries_.insert(at, value_type(name, value));
    }
}

using namespace std::literals;

namespace {

using Iterator = const char16_t*;

// The first `unit` in [p, last), or last: eight units at a time where the
// processor has SSE2 (a script's text is scanned for '<' and its zero unit).
Iterator findUnit(Iterator p, Iterator last, char16_t unit) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
    for (; last - p >= 8; p += 8) {
        const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(eight, wanted))) return p + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
    }
#endif
    while (p != last && *p != unit) ++p;
    return p;
}

// The ASCII classes the grammar uses, by table (units from 128 on are in none).
enum UnitClass : std::uint8_t { kSpace = 1, kNameStart = 2, kNameRest = 4 };
struct UnitClasses {
    std::uint8_t byUnit[128]{};
    constexpr UnitClasses() {
        for (char16_t c = 0; c < 128; ++c) {
            if (text::isAsciiSpace(c)) byUnit[c] |= kSpace;
            if (text::isAsciiAlpha(c) || c == u'_') byUnit[c] |= kNameStart;
            if (text::isAsciiAlnum(c) || c == u'_') byUnit[c] |= kNameRest;
        }
    }
    bool is(char16_t c, UnitClass unitClass) const { return c < 128 && (byUnit[c] & unitClass) != 0; }
};
constexpr UnitClasses kUnitClasses;

// The grammar `xml_parser`, read by recursive descent. Each rule tries its
// choices in order and backtracks on failure; an event is delivered when its
// part matched and stands even when an enclosing rule fails afterwards.
//
//   document       = *processingInstruction >> blanks >> *doctype >> *comment >> blanks
//                    >> *guardedElement >> blanks >> *comment >> blanks
//   processingInstruction = "<?" >> *(anychar - '>') >> '>'
//   doctype        = "<!DOCTYPE" >> *(anychar - '>') >> '>'
//   comment        = "<!-" >> *(anychar - "->") >> "->"   (a single hyphen on each side will do)
//   guardedElement = element, unless that nests deeper than kMaxElementDepth
//   element        = comment | emptyTag | (startTag >> *content >> endTag)
//   content        = guardedElement | text
//   emptyTag       = tagOpening >> "/>"          -> start and end events
//   startTag       = tagOpening >> '>'           -> start event
//   endTag         = "</" >> name >> '>'         -> end event (the name is not compared with the start tag's)
//   tagOpening     = '<' >> name >> *(separator >> attribute)   (no blank before ">" or "/>")
//   attribute      = name >> blanks >> '=' >> blanks >> '"' >> *(anychar - '"') >> '"'
//   text           = +(anychar - '<')            -> text event
//   name           = (alpha | '_') >> *(alnum | '_')   (ASCII classes, never the locale's)
//   separator      = +space;  blanks = *space
class xml_parser {
public:
    xml_parser(Iterator first, Iterator last, BoostContentHandler& receiver)
        : last_(last), receiver_(&receiver), furthest_(first) {}

    // Runs the document rule from `first`; returns where its match ends.
    Iterator parse(Iterator first) {
        Iterator p = first;
        while (processingInstruction(p)) {
        }
        p = blanks(p);
        while (doctype(p)) {
        }
        while (comment(p)) {
        }
        p = blanks(p);
        while (guardedElement(p)) {
        }
        p = blanks(p);
        while (comment(p)) {
        }
        return blanks(p);
    }

    // End of the last item read (tag, text, comment, declaration).
    Iterator furthest() const { return furthest_; }
    bool tooDeep() const { return tooDeep_; }
    void reached(Iterator end) {
        if (end > furthest_) furthest_ = end;
    }

private:
    static bool isSpace(char16_t c) { return kUnitClasses.is(c, kSpace); }
    static bool startsName(char16_t c) { return kUnitClasses.is(c, kNameStart); }
    static bool continuesName(char16_t c) { return kUnitClasses.is(c, kNameRest); }

    Iterator blanks(Iterator p) const {
        while (p != last_ && isSpace(*p)) ++p;
        return p;
    }
    bool literal(Iterator p, std::u16string_view word) const {
        return static_cast<size_t>(last_ - p) >= word.size() && std::u16string_view(p, word.size()) == word;
    }
    // The end of the name at `p`, or null when none starts there.
    Iterator name(Iterator p) const {
        if (p == last_ || !startsName(*p)) return nullptr;
        ++p;
        while (p != last_ && continuesName(*p)) ++p;
        return p;
    }
    // Past the first `stop` at or after `p`, or null when there is none.
    Iterator pastUnit(Iterator p, char16_t stop) const {
        Iterator at = findUnit(p, last_, stop);
        return at == last_ ? nullptr : at + 1;
    }

    // Each rule below advances `p` past its match and returns true, or
    // returns false with `p` as it was.
    bool processingInstruction(Iterator& p) {
        if (!literal(p, u"<?"sv)) return false;
        Iterator end = pastUnit(p + 2, u'>');
        if (!end) return false;
        reached(p = end);
        return true;
    }
    bool doctype(Iterator& p) {
        if (!literal(p, u"<!DOCTYPE"sv)) return false;
        Iterator end = pastUnit(p + 9, u'>');
        if (!end) return false;
        reached(p = end);
        return true;
    }
    bool comment(Iterator& p) {
        if (!literal(p, u"<!-"sv)) return false;
        // The first "->" after "<!-" is the first '>' from p + 4 on with a
        // '-' before it.
        for (Iterator r = findUnit(p + 3, last_, u'>'); r != last_; r = findUnit(r + 1, last_, u'>')) {
            if (r - p >= 4 && r[-1] == u'-') {
                reached(p = r + 1);
                return true;
            }
        }
        return false;
    }

    // '<', the name and the attributes into the tag record; the end of the
    // opening, or null.
    Iterator tagOpening(Iterator p) {
        tag_.clear();
        Iterator nameEnd = name(p + 1);
        if (!nameEnd) return nullptr;
        tag_.name = std::u16string_view(p + 1, static_cast<size_t>(nameEnd - (p + 1)));
        p = nameEnd;
        for (;;) {
            Iterator q = p;
            if (q == last_ || !isSpace(*q)) break;
            q = blanks(q);
            Iterator attributeNameEnd = name(q);
            if (!attributeNameEnd) break;
            std::u16string_view attributeName(q, static_cast<size_t>(attributeNameEnd - q));
            q = blanks(attributeNameEnd);
            if (q == last_ || *q != u'=') break;
            q = blanks(q + 1);
            if (q == last_ || *q != u'"') break;
            Iterator valueEnd = findUnit(q + 1, last_, u'"');
            if (valueEnd == last_) break;
            tag_.attributes.emplace_back(attributeName,
                                         std::u16string_view(q + 1, static_cast<size_t>(valueEnd - (q + 1))));
            p = valueEnd + 1;
        }
        return p;
    }

    void startTagEvent(Iterator end) {
        reached(end);
        attributes_.clear();
        for (const auto& [attributeName, value] : tag_.attributes) attributes_.set(attributeName, value);
        textDelivered_ = false;
        receiver_->startElement(tag_, attributes_);
    }
    void endTagEvent(Iterator end) {
        reached(end);
        receiver_->endElement(tag_);
    }

    bool endTag(Iterator& p) {
        if (!literal(p, u"</"sv)) return false;
        tag_.clear();
        Iterator nameEnd = name(p + 2);
        if (!nameEnd) return false;
        tag_.name = std::u16string_view(p + 2, static_cast<size_t>(nameEnd - (p + 2)));
        if (nameEnd == last_ || *nameEnd != u'>') return false;
        endTagEvent(p = nameEnd + 1);
        return true;
    }

    // Past the text at `p`, or false when it starts with '<' (or is empty).
    bool text(Iterator& p) {
        Iterator end = findUnit(p, last_, u'<');
        if (end == p) return false;
        reached(end);
        // After a start tag at most one text reaches the handler before the
        // next start tag; a line break alone is never delivered.
        if (!textDelivered_ && std::u16string_view(p, static_cast<size_t>(end - p)) != u"\r\n"sv) {
            receiver_->characters(std::u16string_view(p, static_cast<size_t>(end - p)));
            textDelivered_ = true;
        }
        p = end;
        return true;
    }

    bool element(Iterator& p) {
        if (p == last_ || *p != u'<') return false;
        if (comment(p)) return true;
        // The empty-element tag and the start tag share their opening: it is
        // read once and the unit after it decides.
        Iterator opened = tagOpening(p);
        if (!opened) return false;
        if (literal(opened, u"/>"sv)) {
            Iterator end = opened + 2;
            startTagEvent(end);
            endTagEvent(end);
            p = end;
            return true;
        }
        if (opened == last_ || *opened != u'>') return false;
        Iterator q = opened + 1;
        startTagEvent(q);
        while (content(q)) {
        }
        if (!endTag(q)) return false;
        p = q;
        return true;
    }

    bool guardedElement(Iterator& p) {
        if (depth_ >= kMaxElementDepth) {
            tooDeep_ = true;
            return false;
        }
        ++depth_;
        bool matched = element(p);
        --depth_;
        return matched;
    }

    bool content(Iterator& p) { return guardedElement(p) || text(p); }

    Iterator last_;
    BoostContentHandler* receiver_;
    TagRecord tag_;
    XmlAttributeMap attributes_;
    // Set after a text event, cleared by every start-tag event.
    bool textDelivered_ = false;
    int depth_ = 0;
    bool tooDeep_ = false;
    Iterator furthest_;
};

std::mutex& parseLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

XmlParseResult parseXml(std::u16string_view text, BoostContentHandler& receiver, std::string_view fileName) {
    // The text ends at its first zero unit.
    text = text.substr(0, static_cast<size_t>(findUnit(text.data(), text.data() + text.size(), u'\0') - text.data()));

    std::lock_guard<std::mutex> lock(parseLock());
    Iterator first = text.data();
    Iterator last = text.data() + text.size();

    XmlParseResult result;
    xml_parser reader(first, last, receiver);
    Iterator stop = reader.parse(first);
    reader.reached(stop);
    result.complete = stop == last;
    result.stopOffset = static_cast<size_t>(reader.furthest() - first);
    result.tooDeep = reader.tooDeep() && !result.complete;
    if (!result.complete) {
        std::string line = "XML の解析を途中で終了しました  File:" + text::cp932ToUtf8(fileName) +
                           "  Offset:" + std::to_string(result.stopOffset);
        if (result.tooDeep) line += "  要素の入れ子が深すぎます (" + std::to_string(kMaxElementDepth) + ")";
        logLine(line);
    }
    return result;
}
