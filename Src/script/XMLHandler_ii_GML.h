// The configuration document handler: reads "gml" documents ("init.xml") into
// the configuration record (g_systemInfo) and queues the first script files on
// the other loader (g_xmlManagerManager). Keys are elements whose text is the
// value; which keys are read depends on the section that encloses them:
// outside any section the title and script version, inside "config" the screen
// settings, inside "xbmlconfig" the engine switches and the "exefile" queue.
#pragma once
#include <cstdint>
#include <string_view>

#include "script/XMLHandler_ii.h"

class XMLHandler_ii_GML : public XMLHandler_ii {
public:
    enum Mode : std::int32_t { kOutsideSection = 0, kConfigSection = 1, kSwitchSection = 2 };

    XMLHandler_ii_GML() = default;
    ~XMLHandler_ii_GML() override;

    void startElement(const TagRecord& tag) override;
    void endElement(const TagRecord& tag) override;
    void characters(std::u16string_view text) override;

    // The keys of each section, judged by the current element's name.
    virtual void readTitleKey(std::u16string_view text);
    virtual void readConfigKey(std::u16string_view text);
    virtual void readSwitchKey(std::u16string_view text);

    Mode getMode() const { return mode_; }

private:
    Mode mode_ = kOutsideSection;
    bool insideExeFile_ = false;
    // Between an element's start tag and the next end tag: only text there
    // is the value of a key.
    bool insideElement_ = false;
};

// The decimal number at the start of `text` as the C library's wide
// string-to-long reads it with a 32-bit long: leading white space and a sign
// are skipped, reading stops at the first other character, no digits give 0,
// and a value beyond the 32-bit range gives the nearest limit.
std::int32_t readWideInt32(std::u16string_view text);
