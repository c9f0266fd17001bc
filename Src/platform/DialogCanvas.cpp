#include "platform/DialogCanvas.h"

#include <algorithm>

#include "platform/Text.h"

struct DialogCanvas::Surface {
    std::vector<std::uint8_t>& rgb;
    int width;
    int height;

    void pixel(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    void fill(int x, int y, int w, int h, Rgb c) {
        for (int row = y; row < y + h; ++row)
            for (int column = x; column < x + w; ++column) pixel(column, row, c);
    }
    void hline(int x, int y, int w, Rgb c) { fill(x, y, w, 1, c); }
    void vline(int x, int y, int h, Rgb c) { fill(x, y, 1, h, c); }
    // A one-pixel frame: top and left in one colour, bottom and right in another.
    void bevel(int x, int y, int w, int h, Rgb topLeft, Rgb bottomRight) {
        if (w <= 0 || h <= 0) return;
        hline(x, y, w - 1, topLeft);
        vline(x, y, h - 1, topLeft);
        hline(x, y + h - 1, w, bottomRight);
        vline(x + w - 1, y, h, bottomRight);
    }
    // Every other pixel of the rectangle's outline, as the dotted focus
    // rectangle is drawn.
    void dotted(int x, int y, int w, int h, Rgb c) {
        if (w <= 0 || h <= 0) return;
        for (int i = 0; i < w; i += 2) {
            pixel(x + i, y, c);
            pixel(x + i, y + h - 1, c);
        }
        for (int i = 0; i < h; i += 2) {
            pixel(x, y + i, c);
            pixel(x + w - 1, y + i, c);
        }
    }
    // Text ink: the grey level (0..64) of the glyph blended onto what is there.
    void blend(int x, int y, std::uint8_t level, Rgb c) {
        if (x < 0 || y < 0 || x >= width || y >= height || level == 0) return;
        std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
        const int l = std::min<int>(level, 64);
        p[0] = static_cast<std::uint8_t>((p[0] * (64 - l) + c.r * l) / 64);
        p[1] = static_cast<std::uint8_t>((p[1] * (64 - l) + c.g * l) / 64);
        p[2] = static_cast<std::uint8_t>((p[2] * (64 - l) + c.b * l) / 64);
    }
};

FontDesc DialogCanvas::fontFor(const DialogTemplate& dialogTemplate) {
    FontDesc desc;
    desc.height = -mulDiv(dialogTemplate.pointSize, 96, 72);
    desc.weight = FW_NORMAL;
    desc.charSet = SHIFTJIS_CHARSET;
    desc.faceName = dialogTemplate.faceName;
    return desc;
}

DialogCanvas::DialogCanvas(const DialogTemplate& dialogTemplate)
    : font_(GlyphSystem::instance().createFont(fontFor(dialogTemplate))) {
    if (font_) metrics_ = font_->textMetrics();
}

namespace {
// The cp932 character codes of a UTF-8 text, as GetGlyphOutlineA takes them.
std::vector<std::uint32_t> characterCodes(const std::string& utf8) {
    std::string bytes = text::utf8ToCp932(utf8);
    std::vector<std::uint32_t> codes;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (isCp932LeadByte(lead) && i + 1 < bytes.size()) {
            codes.push_back(lead * 256u + static_cast<unsigned char>(bytes[i + 1]));
            ++i;
        } else {
            codes.push_back(lead);
        }
    }
    return codes;
}
}  // namespace

int DialogCanvas::textWidth(const std::string& utf8) {
    if (!font_) return 0;
    int width = 0;
    for (std::uint32_t code : characterCodes(utf8)) {
        GlyphMetrics metrics;
        if (font_->glyphOutline(code, metrics, nullptr, 0) != GDI_ERROR) width += metrics.gmCellIncX;
    }
    return width;
}

void DialogCanvas::drawText(Surface& s, int x, int top, const std::string& utf8, const PixelRect& clip) {
    if (!font_) return;
    const int baseline = top + metrics_.tmAscent;
    int pen = x;
    for (std::uint32_t code : characterCodes(utf8)) {
        GlyphMetrics metrics;
        std::uint32_t size = font_->glyphOutline(code, metrics, nullptr, 0);
        if (size == GDI_ERROR) continue;
        if (size > 0) {
            if (glyphBuffer_.size() < size) glyphBuffer_.resize(size);
            if (font_->glyphOutline(code, metrics, glyphBuffer_.data(), size) != GDI_ERROR) {
                const std::uint32_t stride = glyphBitmapStride(metrics.gmBlackBoxX);
                const int left = pen + metrics.gmptGlyphOriginX;
                const int glyphTop = baseline - metrics.gmptGlyphOriginY;
                for (std::uint32_t row = 0; row < metrics.gmBlackBoxY; ++row) {
                    for (std::uint32_t column = 0; column < metrics.gmBlackBoxX; ++column) {
                        int px = left + static_cast<int>(column);
                        int py = glyphTop + static_cast<int>(row);
                        if (!clip.contains(px, py)) continue;
                        s.blend(px, py, glyphBuffer_[row * stride + column], kText);
                    }
                }
            }
        }
        pen += metrics.gmCellIncX;
    }
}

void DialogCanvas::drawPushButton(Surface& s, const Dialog::Item& item, bool focused, bool pressed) {
    PixelRect r = item.rect;
    if (item.control.kind == DialogControlKind::DefaultPushButton) {
        // The default button carries a dark frame round its bevel.
        s.bevel(r.x, r.y, r.width, r.height, kFrame, kFrame);
        r = {r.x + 1, r.y + 1, r.width - 2, r.height - 2};
    }
    s.fill(r.x, r.y, r.width, r.height, kFace);
    if (pressed) {
        s.bevel(r.x, r.y, r.width, r.height, kShadow, kShadow);
    } else {
        s.bevel(r.x, r.y, r.width, r.height, kHighlight, kDarkShadow);
        s.bevel(r.x + 1, r.y + 1, r.width - 2, r.height - 2, kFace, kShadow);
    }
    const int shift = pressed ? 1 : 0;
    const int tx = r.x + (r.width - textWidth(item.text)) / 2 + shift;
    const int ty = r.y + (r.height - textHeight()) / 2 + shift;
    drawText(s, tx, ty, item.text, {r.x + 2, r.y + 2, r.width - 4, r.height - 4});
    if (focused) s.dotted(r.x + 3, r.y + 3, r.width - 6, r.height - 6, kFrame);
}

void DialogCanvas::drawCheckBox(Surface& s, const Dialog::Item& item, bool focused) {
    const PixelRect& r = item.rect;
    const int bx = r.x;
    const int by = r.y + (r.height - kCheckBoxSize) / 2;
    // A sunken white box.
    s.fill(bx, by, kCheckBoxSize, kCheckBoxSize, kBoxFill);
    s.bevel(bx, by, kCheckBoxSize, kCheckBoxSize, kShadow, kHighlight);
    s.bevel(bx + 1, by + 1, kCheckBoxSize - 2, kCheckBoxSize - 2, kDarkShadow, kFace);
    if (item.checked) {
        // The check mark, seven pixels square, three in from the box's corner.
        static const char* const kMark[7] = {"......X", ".....XX", "X...XXX", "XX.XXX.",
                                             "XXXXX..", ".XXX...", "..X...."};
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 7; ++column)
                if (kMark[row][column] == 'X') s.pixel(bx + 3 + column, by + 3 + row, kText);
    }
    const int tx = bx + kCheckBoxSize + kCheckTextGap;
    const int ty = r.y + (r.height - textHeight()) / 2;
    // The text may run past the control's right edge: the substitute faces
    // are wider than the ones the layout was made for, and a cut label is
    // worse than one over empty face. Clicks still hit the control's rectangle.
    drawText(s, tx, ty, item.text, {tx, r.y, s.width - tx, r.height});
    if (focused) {
        const int width = std::min(textWidth(item.text), s.width - tx);
        const int height = std::max(textHeight(), 1);
        s.dotted(tx - 1, ty - 1, width + 2, height + 2, kFrame);
    }
}

void DialogCanvas::drawGroupBox(Surface& s, const Dialog::Item& item) {
    const PixelRect& r = item.rect;
    // The frame's top line runs through the middle of the caption.
    const int top = r.y + (font_ ? textHeight() / 2 : 0);
    const int height = r.y + r.height - top;
    // Etched: a shadow line with a highlight line one pixel in and down.
    s.bevel(r.x + 1, top + 1, r.width - 1, height - 1, kHighlight, kHighlight);
    s.bevel(r.x, top, r.width - 1, height - 1, kShadow, kShadow);
    if (!font_ || item.text.empty()) return;
    const int tx = r.x + 8;
    const int width = textWidth(item.text);
    s.fill(tx - 2, r.y, width + 4, textHeight(), kFace);
    drawText(s, tx, r.y, item.text, r);
}

void DialogCanvas::drawStatic(Surface& s, const Dialog::Item& item) {
    const PixelRect& r = item.rect;
    drawText(s, r.x, r.y + (r.height - textHeight()) / 2, item.text, r);
}

void DialogCanvas::paint(const Dialog& dialog, std::vector<std::uint8_t>& rgb) {
    const int width = std::max(dialog.clientWidth(), 0);
    const int height = std::max(dialog.clientHeight(), 0);
    rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    Surface s{rgb, width, height};
    s.fill(0, 0, width, height, kFace);
    const auto& items = dialog.items();
    // Group boxes first, so the controls inside them are drawn over the frame.
    for (const Dialog::Item& item : items)
        if (item.control.kind == DialogControlKind::GroupBox) drawGroupBox(s, item);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Dialog::Item& item = items[i];
        const bool focused = dialog.focusIndex() == static_cast<int>(i);
        switch (item.control.kind) {
            case DialogControlKind::DefaultPushButton:
            case DialogControlKind::PushButton:
                drawPushButton(s, item, focused, dialog.pressedIndex() == static_cast<int>(i));
                break;
            case DialogControlKind::AutoCheckBox: drawCheckBox(s, item, focused); break;
            case DialogControlKind::StaticText: drawStatic(s, item); break;
            case DialogControlKind::GroupBox: break;
        }
    }
}
