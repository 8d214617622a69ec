#include "platform/win32/painting.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace nrvnc {

Canvas::Canvas(int width, int height) : width_(std::max(1, width)), height_(std::max(1, height)) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, width_, height_);
    ReleaseDC(nullptr, screen);
    old_bitmap_ = SelectObject(dc_, bitmap_);
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
}

Canvas::~Canvas() {
    SelectObject(dc_, old_bitmap_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

void Canvas::Fill(int x, int y, int w, int h, Color colour) {
    if (w <= 0 || h <= 0) return;
    RECT r{x, y, x + w, y + h};
    SetBkColor(dc_, colour);
    // ExtTextOut with an opaque rectangle fills without making a brush.
    ExtTextOutA(dc_, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void Canvas::Rectangle(int x, int y, int w, int h, int line_width, Color colour) {
    // A wide line covers the pixels whose centres lie in the band of its
    // width around the edge: from edge - width / 2 on, width pixels.
    int lw = std::max(1, line_width), s = lw / 2;
    Fill(x - s, y - s, w + lw, lw, colour);
    Fill(x - s, y + h - s, w + lw, lw, colour);
    Fill(x - s, y - s, lw, h + lw, colour);
    Fill(x + w - s, y - s, lw, h + lw, colour);
}

void Canvas::Line(int x1, int y1, int x2, int y2, int line_width, Color colour) {
    int lw = std::max(1, line_width), s = lw / 2;
    // Flat ends: the line stops at its end point, which it does not cover,
    // the same pixels as a wide line with butt caps on X11.
    if (y1 == y2) return Fill(std::min(x1, x2), y1 - s, std::abs(x2 - x1), lw, colour);
    if (x1 == x2) return Fill(x1 - s, std::min(y1, y2), lw, std::abs(y2 - y1), colour);
    LOGBRUSH brush{BS_SOLID, colour, 0};
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                            static_cast<DWORD>(lw), &brush, 0, nullptr);
    HGDIOBJ old = SelectObject(dc_, pen);
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
    SelectObject(dc_, old);
    DeleteObject(pen);
}

void Canvas::Text(HFONT font, int x, int y, const std::string& text, Color colour) {
    if (text.empty()) return;
    HGDIOBJ old = SelectObject(dc_, font);
    SetTextColor(dc_, colour);
    TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
    SelectObject(dc_, old);
}

int Twips_To_Px(double twips, double twips_per_pixel) {
    return static_cast<int>(std::lround(twips / twips_per_pixel));
}

void Paint_Display_List(Canvas& canvas, const std::vector<Draw_Op>& drawing, std::size_t from,
                        Color back, const Win32_Fonts& fonts) {
    const double tx = fonts.Twips_Per_Pixel_X(), ty = fonts.Twips_Per_Pixel_Y();
    if (from == 0) canvas.Fill(0, 0, canvas.Width(), canvas.Height(), back);
    for (std::size_t i = from; i < drawing.size(); ++i) {
        const Draw_Op& op = drawing[i];
        int x1 = Twips_To_Px(op.X1, tx), y1 = Twips_To_Px(op.Y1, ty);
        int x2 = Twips_To_Px(op.X2, tx), y2 = Twips_To_Px(op.Y2, ty);
        switch (op.What) {
            case Draw_Op::Kind::Filled_Box:
                // Corners inclusive.
                canvas.Fill(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + 1,
                            std::abs(y2 - y1) + 1, op.Colour);
                break;
            case Draw_Op::Kind::Box:
                canvas.Rectangle(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1),
                                 std::abs(y2 - y1), op.Line_Width, op.Colour);
                break;
            case Draw_Op::Kind::Line:
                canvas.Line(x1, y1, x2, y2, op.Line_Width, op.Colour);
                break;
            case Draw_Op::Kind::Text:
                canvas.Text(fonts.Open(op.Font), x1, y1, op.Text, op.Colour);
                break;
        }
    }
}

}  // namespace nrvnc
