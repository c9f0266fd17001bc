// Paints a running dialog onto an RGB buffer (3 bytes a pixel, rows of
// clientWidth * 3 bytes) in a plain classic look: face-grey background, black
// text, white check boxes with a sunken frame and a check mark, raised push
// buttons (the default one framed darker, a pressed look while the mouse holds
// one), etched group boxes whose caption breaks the top line, and a dotted
// focus rectangle round the focused control's text. Text comes from the
// installed GlyphSystem with the template's font; without a face the frames
// and boxes are drawn without text. No window is involved.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Dialog.h"
#include "platform/Glyph.h"

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

class DialogCanvas {
public:
    static constexpr Rgb kFace{0xD4, 0xD0, 0xC8};
    static constexpr Rgb kHighlight{0xFF, 0xFF, 0xFF};
    static constexpr Rgb kShadow{0x80, 0x80, 0x80};
    static constexpr Rgb kDarkShadow{0x40, 0x40, 0x40};
    static constexpr Rgb kFrame{0x00, 0x00, 0x00};
    static constexpr Rgb kText{0x00, 0x00, 0x00};
    static constexpr Rgb kBoxFill{0xFF, 0xFF, 0xFF};
    static constexpr int kCheckBoxSize = 13;
    static constexpr int kCheckTextGap = 3;

    // The font: the template's face at its point size for 96 dpi (a character
    // height, so 9 points is -12), Shift JIS character set.
    static FontDesc fontFor(const DialogTemplate& dialogTemplate);

    explicit DialogCanvas(const DialogTemplate& dialogTemplate);
    bool hasFont() const { return font_ != nullptr; }

    // Paints the whole client area; `rgb` is resized to fit.
    void paint(const Dialog& dialog, std::vector<std::uint8_t>& rgb);

private:
    struct Surface;
    void drawPushButton(Surface& s, const Dialog::Item& item, bool focused, bool pressed);
    void drawCheckBox(Surface& s, const Dialog::Item& item, bool focused);
    void drawGroupBox(Surface& s, const Dialog::Item& item);
    void drawStatic(Surface& s, const Dialog::Item& item);
    // Width in pixels of a UTF-8 text in the font (0 without a font).
    int textWidth(const std::string& utf8);
    // Draws the text with its cell's top at `top`, clipped to `clip`.
    void drawText(Surface& s, int x, int top, const std::string& utf8, const PixelRect& clip);
    int textHeight() const { return font_ ? metrics_.tmHeight : 0; }

    std::unique_ptr<GlyphFont> font_;
    TextMetric metrics_;
    std::vector<std::uint8_t> glyphBuffer_;
};
