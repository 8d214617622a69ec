#include "platform/x11/painting.h"

#include <algorithm>
#include <cmath>

#include "platform/x11/encoding.h"

namespace nrvnc {

Canvas::Canvas(X11_Display& display, int width, int height)
    : x_(display), width_(std::max(1, width)), height_(std::max(1, height)) {
    pixmap_ = XCreatePixmap(x_.Dpy(), x_.Root(), static_cast<unsigned>(width_),
                            static_cast<unsigned>(height_), static_cast<unsigned>(x_.Depth()));
    gc_ = XCreateGC(x_.Dpy(), pixmap_, 0, nullptr);
    draw_ = XftDrawCreate(x_.Dpy(), pixmap_, x_.Vis(), x_.Cmap());
}

Canvas::~Canvas() {
    if (draw_) XftDrawDestroy(draw_);
    XFreeGC(x_.Dpy(), gc_);
    XFreePixmap(x_.Dpy(), pixmap_);
}

void Canvas::Fill(int x, int y, int w, int h, Color colour) {
    if (w <= 0 || h <= 0) return;
    XSetForeground(x_.Dpy(), gc_, x_.Pixel(colour));
    XFillRectangle(x_.Dpy(), pixmap_, gc_, x, y, static_cast<unsigned>(w),
                   static_cast<unsigned>(h));
}

void Canvas::Rectangle(int x, int y, int w, int h, int line_width, Color colour) {
    XSetForeground(x_.Dpy(), gc_, x_.Pixel(colour));
    XSetLineAttributes(x_.Dpy(), gc_, static_cast<unsigned>(std::max(1, line_width)), LineSolid,
                       CapProjecting, JoinMiter);
    XDrawRectangle(x_.Dpy(), pixmap_, gc_, x, y, static_cast<unsigned>(std::max(0, w)),
                   static_cast<unsigned>(std::max(0, h)));
}

void Canvas::Line(int x1, int y1, int x2, int y2, int line_width, Color colour) {
    XSetForeground(x_.Dpy(), gc_, x_.Pixel(colour));
    XSetLineAttributes(x_.Dpy(), gc_, static_cast<unsigned>(std::max(1, line_width)), LineSolid,
                       CapButt, JoinMiter);
    XDrawLine(x_.Dpy(), pixmap_, gc_, x1, y1, x2, y2);
}

void Canvas::Dotted_Rectangle(int x, int y, int w, int h, Color colour) {
    XSetForeground(x_.Dpy(), gc_, x_.Pixel(colour));
    XSetLineAttributes(x_.Dpy(), gc_, 1, LineOnOffDash, CapButt, JoinMiter);
    char dashes[] = {1, 1};
    XSetDashes(x_.Dpy(), gc_, 0, dashes, 2);
    XDrawRectangle(x_.Dpy(), pixmap_, gc_, x, y, static_cast<unsigned>(std::max(0, w)),
                   static_cast<unsigned>(std::max(0, h)));
    XSetLineAttributes(x_.Dpy(), gc_, 1, LineSolid, CapButt, JoinMiter);
}

void Canvas::Text(XftFont* font, int x, int y, const std::string& utf8, Color colour) {
    if (!draw_ || !font || utf8.empty()) return;
    XRenderColor rc{};
    rc.red = static_cast<unsigned short>((colour & 0xFF) * 257);
    rc.green = static_cast<unsigned short>(((colour >> 8) & 0xFF) * 257);
    rc.blue = static_cast<unsigned short>(((colour >> 16) & 0xFF) * 257);
    rc.alpha = 0xFFFF;
    XftColor xc{};
    if (!XftColorAllocValue(x_.Dpy(), x_.Vis(), x_.Cmap(), &rc, &xc)) return;
    XftDrawStringUtf8(draw_, &xc, font, x, y + font->ascent,
                      reinterpret_cast<const FcChar8*>(utf8.data()), static_cast<int>(utf8.size()));
    XftColorFree(x_.Dpy(), x_.Vis(), x_.Cmap(), &xc);
}

int Twips_To_Px(double twips, double twips_per_pixel) {
    return static_cast<int>(std::lround(twips / twips_per_pixel));
}

void Paint_Display_List(Canvas& canvas, const std::vector<Draw_Op>& drawing, Color back,
                        const X11_Fonts& fonts, double tpp) {
    canvas.Fill(0, 0, canvas.Width(), canvas.Height(), back);
    for (const Draw_Op& op : drawing) {
        int x1 = Twips_To_Px(op.X1, tpp), y1 = Twips_To_Px(op.Y1, tpp);
        int x2 = Twips_To_Px(op.X2, tpp), y2 = Twips_To_Px(op.Y2, tpp);
        switch (op.What) {
            case Draw_Op::Kind::Filled_Box:
                // Corners inclusive.
                canvas.Fill(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + 1,
                            std::abs(y2 - y1) + 1, op.Colour);
                break;
            case Draw_Op::Kind::Box:
                // The line is centred on the box's edge, whatever its width.
                canvas.Rectangle(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1),
                                 std::abs(y2 - y1), op.Line_Width, op.Colour);
                break;
            case Draw_Op::Kind::Line:
                canvas.Line(x1, y1, x2, y2, op.Line_Width, op.Colour);
                break;
            case Draw_Op::Kind::Text:
                canvas.Text(fonts.Open(op.Font), x1, y1, To_Utf8(op.Text), op.Colour);
                break;
        }
    }
}

}  // namespace nrvnc
