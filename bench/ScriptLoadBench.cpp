// Loading scripts: the whole front end, from the bytes of a script file to its
// node tree (widening, the XML reader, the document handler with its ids,
// numbers and node pool), against Debian's libexpat tokenizing the same bytes
// with handlers that do nothing. Both report MB/s of script text; ScriptLoad
// should keep up with ExpatTokenize.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <cstdint>
#include <string>

#include "platform/Text.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node_Allocator.h"

namespace {
// About 5 MB of "exbulletml" written the way the game's scripts are: waves
// that fire aimed bullets in repeats, bullets with their images, evaluations,
// labels and references, indented, with comments.
const std::string& largeScript() {
    static const std::string text = [] {
        std::string s = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<exbulletml>\r\n";
        for (int i = 0; s.size() < 5u * 1024 * 1024; ++i) {
            std::string n = std::to_string(i);
            s += "  <!-- wave " + n + ": aimed bursts, then a turn -->\r\n"
                 "  <action label=\"wave" + n + "\">\r\n"
                 "    <repeat>\r\n"
                 "      <times>8+$_rank*4</times>\r\n"
                 "      <action>\r\n"
                 "        <fire>\r\n"
                 "          <direction type=\"aim\">$rand*30-15</direction>\r\n"
                 "          <speed type=\"absolute\">2+$_rank*0.5</speed>\r\n"
                 "          <bulletref label=\"shot" + n + "\"/>\r\n"
                 "        </fire>\r\n"
                 "        <wait>10</wait>\r\n"
                 "      </action>\r\n"
                 "    </repeat>\r\n"
                 "    <eval name=\"wavecount\">$wavecount+1</eval>\r\n"
                 "    <changedirection>\r\n"
                 "      <direction type=\"sequence\">5</direction>\r\n"
                 "      <term>30</term>\r\n"
                 "    </changedirection>\r\n"
                 "    <vanish/>\r\n"
                 "  </action>\r\n"
                 "  <bullet label=\"shot" + n + "\">\r\n"
                 "    <img>\r\n"
                 "      <file type=\"bmp\">bullet_red</file>\r\n"
                 "      <left>0</left><right>16</right><top>0</top><bottom>16</bottom>\r\n"
                 "      <width>16</width><height>16</height>\r\n"
                 "      <alpha>255</alpha><red>255</red><green>128</green><blue>128</blue>\r\n"
                 "    </img>\r\n"
                 "    <collision type=\"circle\"><radius>3</radius></collision>\r\n"
                 "    <action>\r\n"
                 "      <wait>30</wait>\r\n"
                 "      <changespeed><speed>3</speed><term>20</term></changespeed>\r\n"
                 "    </action>\r\n"
                 "  </bullet>\r\n";
        }
        s += "</exbulletml>\r\n";
        return s;
    }();
    return text;
}

void ScriptLoad(benchmark::State& state) {
    const std::string& bytes = largeScript();
    // As in the game: the pool is filled once, and a large load takes its
    // nodes from the heap once the pool is used up.
    BulletML_Node_Allocator::instance().prefill();
    for (auto _ : state) {
        BoostContentHandler handler;
        XmlParseResult result = parseXml(text::widen(bytes), handler, "bench.xml");
        if (!result.complete) state.SkipWithError("the script did not parse");
        benchmark::DoNotOptimize(handler.getHandler());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(ScriptLoad)->Unit(benchmark::kMillisecond);

void XMLCALL expatStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL expatEnd(void*, const XML_Char*) {}
void XMLCALL expatText(void*, const XML_Char*, int) {}

void ExpatTokenize(benchmark::State& state) {
    const std::string& bytes = largeScript();
    for (auto _ : state) {
        // Expat knows no Shift_JIS: the bytes are read as Latin-1 (the
        // encoding given here overrides the declaration), one character per
        // byte, as the engine widens them.
        XML_Parser parser = XML_ParserCreate("ISO-8859-1");
        XML_SetElementHandler(parser, expatStart, expatEnd);
        XML_SetCharacterDataHandler(parser, expatText);
        if (XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) != XML_STATUS_OK)
            state.SkipWithError("expat refused the script");
        XML_ParserFree(parser);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(ExpatTokenize)->Unit(benchmark::kMillisecond);

// The XML reader alone on the widened text, its events going nowhere: the
// floor under ScriptLoad.
struct NullContent : BoostContentHandler {
    int startElement(const TagRecord&, const XmlAttributeMap&) override { return 0; }
    int endElement(const TagRecord&) override { return 0; }
    int characters(std::u16string_view) override { return 0; }
};

void ScriptReaderOnly(benchmark::State& state) {
    const std::string& bytes = largeScript();
    const std::u16string wide = text::widen(bytes);
    for (auto _ : state) {
        NullContent handler;
        benchmark::DoNotOptimize(parseXml(wide, handler, "bench.xml"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(ScriptReaderOnly)->Unit(benchmark::kMillisecond);
}  // namespace
