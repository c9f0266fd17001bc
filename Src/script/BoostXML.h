// The XML reader: turns the wide text of one script file into start-tag, text
// and end-tag events for a content handler. It accepts a small fixed subset of
// XML (the grammar `xml_parser`, written with Spirit Classic over 16-bit
// units): no entity references, no CDATA, no single-quoted values; a
// document's processing instructions, DOCTYPE and comments are skipped.
//
// Text that does not match stops the parse where no rule applies: the events
// delivered up to there stand and the rest is ignored (scripts may rely on
// such partial loads); the stop is logged with the file name and the offset.
#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The tag being read: its name and its attributes in source order.
struct TagRecord {
    std::u16string name;
    std::vector<std::pair<std::u16string, std::u16string>> attributes;

    void clear() {
        name.clear();
        attributes.clear();
    }
};

// A tag's attributes by name, ordered by 16-bit unit; a name given twice keeps
// its last value.
using XmlAttributeMap = std::map<std::u16string, std::u16string>;

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
