// Every text the bundled game's scripts draw fits the box its "imgstring"
// gives it, measured with the game's font: each text is laid out by a text
// texture as a text image makes one (a box of the next power of two, at
// least 16, the script's font size, 24 unless "setfontsize" says another),
// and every glyph must be placed, on a line that ends inside the box's width
// and within its height. A number is measured at the widest value its
// expression can take (the table below); an expression without an entry
// fails, so a new text cannot go unmeasured.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graphics/Texture.h"
#include "platform/Glyph.h"

namespace {
namespace fs = std::filesystem;

const fs::path kScripts = fs::path(VORLY_FIXTURES) / ".." / ".." / "game" / "script";

// The widest value each number the scripts write can take.
const std::map<std::string, std::string> kWidestValues = {
    {"$_replayspeed", "8"},                          // the play-back factor, 1 to 8
    {"$_score", "2147483647"},                       // a 32-bit score
    {"$_buzz", "2147483647"},                        // grazes
    {"$_spirit", "99999"},                           // ships and bombs; items add a few points each
    {"($_spirit-$_spirit%50)/50", "1999"},           // the bombs that spirit pays for
    {"$__shot_power", "3"},                          // the shot's power steps
    {"$_replay_score", "2147483647"},                // a replay slot's score
    {"$_hiscore", "2147483647"},                     // a ranking place's score
    {"$1", "10"},                                    // a ranking row's place
    {"$_hiscore_yyyy", "2099"},                      // its date
    {"$__month", "12"},
    {"$__day", "31"},
    {"0", "0"},
    {"$_maxcontinuenum-$_continuenum", "9"},         // continues left
    {"$__count", "10"},                              // the continue screen's seconds
    // An options line's value: a volume level (0 to 5) or a button number.
    {"($1-eq0)*$_volbgm+($1-eq1)*$_volse+($1-eq2)*$_volvoice+($1-gt2)*$_keyassign", "99"},
};

struct Piece {
    bool number = false;
    std::string text;  // cp932 bytes, or the expression of a number
};

struct Text {
    std::string where;  // file and the label of the definition
    int width = 0, height = 0, fontSize = 24;
    std::vector<Piece> pieces;
};

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// " 1 2 3" for "123": a text image writes each character of a number as a
// half-width glyph after a blank.
std::string spaced(const std::string& digits) {
    std::string out;
    for (char c : digits) {
        out += ' ';
        out += c;
    }
    return out;
}

// The text between `open` and the next '<' when `bytes` holds `open` at `at`.
bool valueAt(const std::string& bytes, std::size_t at, const std::string& open, std::string& value) {
    if (bytes.compare(at, open.size(), open) != 0) return false;
    const std::size_t from = at + open.size();
    const std::size_t to = bytes.find_first_of("<\"", from);
    value = bytes.substr(from, to == std::string::npos ? std::string::npos : to - from);
    return true;
}

// The box's width and height from "<width>W</width><height>H</height>" at `at`.
std::pair<int, int> boxAt(const std::string& bytes, std::size_t at) {
    std::string width, height;
    valueAt(bytes, at, "<width>", width);
    valueAt(bytes, bytes.find("<height>", at), "<height>", height);
    return {std::atoi(width.c_str()), std::atoi(height.c_str())};
}

// The texts of one script file, in document order: each "setstring" or
// "setstringnum" starts a text in the last box made, "addstring" and
// "addstringnum" add to it.
std::vector<Text> textsOf(const fs::path& file) {
    const std::string bytes = readBytes(file);
    std::map<std::string, std::pair<int, int>> labelledBoxes;
    std::string value;
    for (std::size_t at = bytes.find('<'); at != std::string::npos; at = bytes.find('<', at + 1)) {
        if (valueAt(bytes, at, "<imgstring label=\"", value))
            labelledBoxes[value] = boxAt(bytes, bytes.find('>', at) + 1);
    }

    std::vector<Text> texts;
    std::string label;
    Text box;
    bool haveBox = false;
    auto addPiece = [&](bool starts, Piece piece) {
        EXPECT_TRUE(haveBox) << file.filename() << " " << label << ": a text without a box";
        if (starts || texts.empty() || texts.back().where != box.where) texts.push_back(box);
        texts.back().pieces.push_back(std::move(piece));
    };
    for (std::size_t at = bytes.find('<'); at != std::string::npos; at = bytes.find('<', at + 1)) {
        if (valueAt(bytes, at, "<imgstring><width>", value) || valueAt(bytes, at, "<imgstringref label=\"", value)) {
            box = Text{};
            box.where = file.filename().string() + " " + label;
            if (bytes.compare(at, 11, "<imgstring>") == 0) {
                std::tie(box.width, box.height) = boxAt(bytes, at + 11);
            } else {
                EXPECT_TRUE(labelledBoxes.count(value)) << "no imgstring labelled " << value;
                std::tie(box.width, box.height) = labelledBoxes[value];
            }
            haveBox = true;
        } else if (valueAt(bytes, at, "<setfontsize><height>", value)) {
            box.fontSize = std::atoi(value.c_str());
            if (!texts.empty() && texts.back().where == box.where) texts.back().fontSize = box.fontSize;
        } else if (valueAt(bytes, at, "<setstring><string>", value)) {
            addPiece(true, {false, value});
        } else if (valueAt(bytes, at, "<addstring><string>", value)) {
            addPiece(false, {false, value});
        } else if (valueAt(bytes, at, "<setstringnum><num>", value)) {
            addPiece(true, {true, value});
        } else if (valueAt(bytes, at, "<addstringnum><num>", value)) {
            addPiece(false, {true, value});
        } else if (bytes.compare(at, 1, "<") == 0 && bytes.compare(at, 2, "</") != 0) {
            // Any other opening tag: a definition's label names what follows.
            const std::size_t close = bytes.find('>', at);
            const std::size_t labelAt = bytes.find(" label=\"", at);
            if (labelAt < close && valueAt(bytes, labelAt, " label=\"", value)) label = value;
        }
    }
    return texts;
}

// The side of the texture a text image of that size gets.
std::uint32_t textureSide(int size) {
    std::uint32_t side = 16;
    while (side < static_cast<std::uint32_t>(size) && side < 2048) side *= 2;
    return side;
}

// Empty when the text fits, else what sticks out.
std::string misfit(const Text& text, const std::string& bytes) {
    Texture texture;
    texture.setTextBoxSize(textureSide(text.width), textureSide(text.height));
    texture.setFontSize(text.fontSize);
    texture.setString(bytes);
    // The same font the texture laid the text out with, for the advances.
    const std::unique_ptr<GlyphFont> font = GlyphSystem::instance().createFont(texture.getFont());
    if (!font || !texture.getGlyphFont()) return "no font";
    const TextMetric metrics = font->textMetrics();
    for (std::uint32_t glyph = 0; 2 * glyph < bytes.size(); ++glyph) {
        if (bytes.compare(2 * glyph, 2, "**") == 0) continue;
        std::int32_t x = 0, y = 0;
        if (!texture.glyphPosition(glyph, x, y)) return "glyph " + std::to_string(glyph) + " left out";
        const std::uint32_t code = static_cast<unsigned char>(bytes[2 * glyph]) * 256u +
                                   (2 * glyph + 1 < bytes.size() ? static_cast<unsigned char>(bytes[2 * glyph + 1]) : 0);
        GlyphMetrics glyphMetrics;
        font->glyphOutline(code, glyphMetrics, nullptr, 0);
        if (x + glyphMetrics.gmCellIncX > text.width)
            return "glyph " + std::to_string(glyph) + " ends at " + std::to_string(x + glyphMetrics.gmCellIncX);
        if (y + metrics.tmHeight > text.height)
            return "glyph " + std::to_string(glyph) + " reaches down to " + std::to_string(y + metrics.tmHeight);
    }
    return {};
}
}  // namespace

TEST(BundledTextFit, EveryScriptedTextFitsItsBoxInTheGamesFont) {
    std::size_t measured = 0;
    for (const auto& entry : fs::directory_iterator(kScripts)) {
        if (entry.path().extension() != ".xml") continue;
        for (const Text& text : textsOf(entry.path())) {
            std::string bytes;
            bool known = true;
            for (const Piece& piece : text.pieces) {
                if (!piece.number) {
                    bytes += piece.text;
                    continue;
                }
                const auto widest = kWidestValues.find(piece.text);
                if (widest == kWidestValues.end()) {
                    ADD_FAILURE() << text.where << ": no widest value for " << piece.text;
                    known = false;
                    continue;
                }
                bytes += spaced(widest->second);
            }
            if (!known) continue;
            EXPECT_EQ(misfit(text, bytes), "") << text.where << " (box " << text.width << " x " << text.height
                                               << ", font " << text.fontSize << ")";
            ++measured;
        }
    }
    // The title's menu alone has six texts; every scene has some.
    EXPECT_GT(measured, 40u);
}
