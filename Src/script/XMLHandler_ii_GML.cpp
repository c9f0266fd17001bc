#include "script/XMLHandler_ii_GML.h"

#include <optional>

#include "platform/Text.h"
#include "script/BoostXML.h"
#include "script/XMLManagerManager.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
bool isIgnoredText(std::u16string_view text) {
    return text.empty() || text == u" " || text == u"\n" || text == u"\r\n" || text == u"\t";
}

// "on" and "off", ignoring case; any other text is no value.
std::optional<std::uint32_t> readSwitch(std::u16string_view text) {
    if (text::equalsIgnoreAsciiCase(text, u"on")) return 1;
    if (text::equalsIgnoreAsciiCase(text, u"off")) return 0;
    return std::nullopt;
}

template <typename Setter>
void applySwitch(std::u16string_view text, Setter set) {
    if (std::optional<std::uint32_t> value = readSwitch(text)) set(*value);
}

std::uint32_t systemTypeByName(std::u16string_view name) {
    constexpr std::u16string_view kNames[] = {u"morasp", u"vorly", u"lorvent", u"nufra"};
    for (std::uint32_t i = 0; i < std::size(kNames); ++i) {
        if (text::equalsIgnoreAsciiCase(name, kNames[i])) return i + 1;
    }
    return 0;
}

// The "replay" key reads its number from at most this many bytes of its text.
constexpr size_t kReplayTextLimit = 64;
}  // namespace

std::int32_t readWideInt32(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && text::isAsciiSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    // Accumulated as a magnitude, saturating just past the 32-bit range.
    std::int64_t magnitude = 0;
    for (; i < text.size() && text::isAsciiDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - u'0');
        if (magnitude > std::int64_t{INT32_MAX} + 1) magnitude = std::int64_t{INT32_MAX} + 1;
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

XMLHandler_ii_GML::~XMLHandler_ii_GML() = default;

void XMLHandler_ii_GML::startElement(const TagRecord& tag) {
    XMLHandler_ii::startElement(tag);
    insideElement_ = true;
    if (isElementNamed(u"config")) mode_ = kConfigSection;
    if (isElementNamed(u"xbmlconfig")) mode_ = kSwitchSection;
    if (isElementNamed(u"exefile")) insideExeFile_ = true;
}

void XMLHandler_ii_GML::endElement(const TagRecord& tag) {
    insideElement_ = false;
    if (equalsNoCase(tag.name, u"config") || equalsNoCase(tag.name, u"xbmlconfig")) mode_ = kOutsideSection;
    if (equalsNoCase(tag.name, u"exefile")) insideExeFile_ = false;
    clearAttributes();
}

void XMLHandler_ii_GML::characters(std::u16string_view text) {
    if (isIgnoredText(text)) return;
    // Text after an end tag (the indentation after an empty key such as
    // <title/>) is no key's value.
    if (!insideElement_) return;
    switch (mode_) {
        case kConfigSection:
            readConfigKey(text);
            break;
        case kSwitchSection:
            readSwitchKey(text);
            break;
        default:
            readTitleKey(text);
            break;
    }
}

void XMLHandler_ii_GML::readTitleKey(std::u16string_view text) {
    SystemInfo* info = g_systemInfo;
    if (!info) return;
    if (isElementNamed(u"title")) {
        info->setTitle(toNarrow(text));
    } else if (isElementNamed(u"version")) {
        // The first version of the document counts.
        if (info->getScriptVersion().empty()) info->setScriptVersion(toNarrow(text));
    }
}

void XMLHandler_ii_GML::readConfigKey(std::u16string_view text) {
    SystemInfo* info = g_systemInfo;
    if (!info) return;
    if (isElementNamed(u"dialog")) {
        applySwitch(text, [info](std::uint32_t v) { info->setDialog(v); });
        return;
    }
    // With the start-up dialog on, the screen settings are the dialog's. The
    // switch is read as each key arrives, so "dialog" only affects the keys
    // after it.
    if (info->isDialogEnabled()) return;
    if (isElementNamed(u"width")) {
        info->setWidth(static_cast<std::uint32_t>(readWideInt32(text)));
    } else if (isElementNamed(u"height")) {
        info->setHeight(static_cast<std::uint32_t>(readWideInt32(text)));
    } else if (isElementNamed(u"bpp")) {
        info->setBpp(static_cast<std::uint32_t>(readWideInt32(text)));
    } else if (isElementNamed(u"vsync")) {
        applySwitch(text, [info](std::uint32_t v) { info->setVsync(v); });
    } else if (isElementNamed(u"scroll")) {
        // Compared ignoring case, as the other keyword values of the document.
        if (equalsNoCase(text, u"horizontal")) info->setScroll(0);
        if (equalsNoCase(text, u"vertical")) info->setScroll(1);
    }
}

void XMLHandler_ii_GML::readSwitchKey(std::u16string_view text) {
    SystemInfo* info = g_systemInfo;
    if (isElementNamed(u"exefile")) {
        // Loaded at the first game reset, by the loader that becomes current.
        if (insideExeFile_ && g_xmlManagerManager) g_xmlManagerManager->queueLoad(text);
        return;
    }
    if (!info) return;
    struct SwitchKey {
        std::u16string_view name;
        void (SystemInfo::*set)(std::uint32_t);
    };
    static const SwitchKey kSwitchKeys[] = {
        {u"collisiondisplay", &SystemInfo::setCollisionDisplay},
        {u"debugdisplay", &SystemInfo::setDebugDisplay},
        {u"replayenable", &SystemInfo::setReplayEnable},
        {u"screenchange", &SystemInfo::setScreenChange},
        {u"imgarchive", &SystemInfo::setImgArchive},
        {u"nogameover", &SystemInfo::setNoGameOver},
        {u"nodamage", &SystemInfo::setNoDamage},
        {u"flagdebug", &SystemInfo::setFlagDebug},
        {u"drawbg", &SystemInfo::setDrawBg},
        {u"force60fps", &SystemInfo::setForce60fps},
        {u"forcenopractice", &SystemInfo::setForceNoPractice},
    };
    for (const SwitchKey& key : kSwitchKeys) {
        if (isElementNamed(key.name)) {
            applySwitch(text, [info, &key](std::uint32_t v) { (info->*key.set)(v); });
            return;
        }
    }
    if (isElementNamed(u"systype")) {
        info->setSystemType(systemTypeByName(text));
    } else if (isElementNamed(u"replay")) {
        info->setReplay(readWideInt32(text.substr(0, kReplayTextLimit)));
    } else if (isElementNamed(u"allstage")) {
        // Only "on" is read: the switch is never turned off from here.
        if (readSwitch(text) == 1u) info->setAllStage();
    }
}
