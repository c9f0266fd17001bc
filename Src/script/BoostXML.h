// The XML reader: turns the wide text of one script file into start-tag, text
// and end-tag events for a content handler. It accepts a small fixed subset of
// XML (the grammar `xml_parser`, over 16-bit units): no entity references, no
// CDATA, no single-quoted values; a document's processing instructions,
// DOCTYPE and comments are skipped.
//
// Text that does not match stops the parse where no rule applies: the events
// delivered up to there stand and the rest is ignored (scripts may rely on
// such partial loads); the stop is logged with the file name and the offset.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The tag being read: its name and its attributes in source order. Both are
// views into the text being parsed, valid while the event is delivered.
struct TagRecord {
    std::u16string_view name;
    std::vector<std::pair<std::u16string_view, std::u16string_view>> attributes;

    void clear() {
        name = {};
        attributes.clear();
    }
};

// A tag's attributes by name, ordered by 16-bit unit; a name given twice keeps
// its last value. Views into the parsed text, like TagRecord's.
class XmlAttributeMap {
public:
    using value_type = std::pair<std::u16string_view, std::u16string_view>;
    using const_iterator = std::vector<value_type>::const_iterator;

    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // Sets `name` to `value`, replacing the value an equal name had.
    void set(std::u16string_view name, std::u16string_view value);
    void clear() { entries_.clear(); }

private:
    std::vector<value_type> entries_;
};

class BoostContentHandler;

struct XmlParseResult {
    // The whole text up to its first zero unit was read.
    bool complete = false;
    // Where reading stopped: the end of the last item that was read, in units.
    size_t stopOffset = 0;
    // The stop was an element nested deeper than kMaxElementDepth.
    bool tooDeep = false;
};

// Elements nested deeper than this end the parse, as a syntax error would:
// each level costs stack in the recursive grammar.
inline constexpr int kMaxElementDepth = 256;

// Parses `text` (up to its first zero unit) into events for `receiver`. One
// parse runs at a time in the process; a second caller waits. An incomplete
// parse writes one warning line naming `fileName` (cp932) and the offset.
XmlParseResult parseXml(std::u16string_view text, BoostContentHandler& receiver, std::string_view fileName);
