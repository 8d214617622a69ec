#include "platform/x11/controls.h"

#include <algorithm>
#include <cstdlib>

#include "platform/x11/encoding.h"

namespace nrvnc {

namespace {

// The colours of the raised and sunken 3-D edges.
constexpr Color Edge_Highlight = Rgb(255, 255, 255);
constexpr Color Edge_Light = Rgb(227, 227, 227);
constexpr Color Edge_Shadow = Rgb(160, 160, 160);
constexpr Color Edge_Dark = Rgb(105, 105, 105);
constexpr Color Grey_Text = Rgb(160, 160, 160);

// Two rings of edges: top and left in one colour, bottom and right in the other.
void Edge(Canvas& c, int inset, int w, int h, Color top_left, Color bottom_right) {
    int r = w - 1 - inset, b = h - 1 - inset;
    c.Fill(inset, inset, r - inset + 1, 1, top_left);
    c.Fill(inset, inset, 1, b - inset + 1, top_left);
    c.Fill(inset, b, r - inset + 1, 1, bottom_right);
    c.Fill(r, inset, 1, b - inset + 1, bottom_right);
}

// Where the access letter stands in the shown caption; -1 when none.
int Access_Position(const std::string& caption) {
    int shown = 0;
    for (std::size_t i = 0; i < caption.size(); ++i, ++shown) {
        if (caption[i] != '&' || i + 1 >= caption.size()) continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return shown;
    }
    return -1;
}

constexpr int Text_Box_Border = 2;
constexpr int Text_Box_Margin = 1;

}  // namespace

X11_Control::X11_Control(X11_Display& display, const X11_Fonts& fonts, Window parent,
                         const Control_Model& model)
    : x_(display), fonts_(fonts), id_(model.Id()) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = ButtonPressMask | ButtonReleaseMask;
    attributes.background_pixel = x_.Pixel(model.Back_Color());
    window_ = XCreateWindow(x_.Dpy(), parent, 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWEventMask | CWBackPixel, &attributes);
}

X11_Control::~X11_Control() {
    canvas_.reset();
    XDestroyWindow(x_.Dpy(), window_);
}

void X11_Control::Update(const Control_Model& model, bool focused, bool paint) {
    double tpp = x_.Twips_Per_Pixel();
    int x = Twips_To_Px(model.Left(), tpp), y = Twips_To_Px(model.Top(), tpp);
    int w = std::max(1, Twips_To_Px(model.Width(), tpp));
    int h = std::max(1, Twips_To_Px(model.Height(), tpp));
    if (x != x_px_ || y != y_px_ || w != w_px_ || h != h_px_) {
        XMoveResizeWindow(x_.Dpy(), window_, x, y, static_cast<unsigned>(w),
                          static_cast<unsigned>(h));
        x_px_ = x, y_px_ = y;
        if (w != w_px_ || h != h_px_) canvas_.reset();
        w_px_ = w, h_px_ = h;
    }
    // Buttons carry their shown caption as a window name, so that tools that
    // drive the desktop (and accessibility tools) can find them.
    if (model.Kind() == Control_Kind::Command_Button) {
        std::string name = Shown_Caption(model.Caption());
        if (name != name_) {
            XStoreName(x_.Dpy(), window_, name.c_str());
            name_ = name;
        }
    }
    if (!model.Visible()) pressed_ = false;
    if (model.Visible() && !mapped_) XMapWindow(x_.Dpy(), window_);
    if (!model.Visible() && mapped_) XUnmapWindow(x_.Dpy(), window_);
    mapped_ = model.Visible();
    // A hidden control is painted when it is shown (which updates it again).
    if (paint && mapped_) Paint(model, focused);
}

void X11_Control::Set_Pressed(const Control_Model& model, bool focused, bool pressed) {
    if (pressed_ == pressed) return;
    pressed_ = pressed;
    Paint(model, focused);
}

void X11_Control::Paint(const Control_Model& model, bool focused) {
    if (!canvas_) canvas_ = std::make_unique<Canvas>(x_, w_px_, h_px_);
    if (model.Kind() == Control_Kind::Command_Button)
        Paint_Button(model, focused);
    else
        Paint_Text_Box(model, focused);
    XSetWindowBackgroundPixmap(x_.Dpy(), window_, canvas_->Target());
    XClearWindow(x_.Dpy(), window_);
}

void X11_Control::Paint_Button(const Control_Model& model, bool focused) {
    Canvas& c = *canvas_;
    int w = c.Width(), h = c.Height();
    c.Fill(0, 0, w, h, model.Back_Color());
    if (pressed_) {
        Edge(c, 0, w, h, Edge_Dark, Edge_Dark);
        Edge(c, 1, w, h, Edge_Shadow, Edge_Shadow);
    } else {
        Edge(c, 0, w, h, Edge_Highlight, Edge_Dark);
        Edge(c, 1, w, h, Edge_Light, Edge_Shadow);
    }
    XftFont* font = fonts_.Open(model.Font());
    std::string shown = Shown_Caption(model.Caption());
    std::string utf8 = To_Utf8(shown);
    int text_w = fonts_.Width_Px(font, utf8);
    int text_h = font->ascent + font->descent;
    int shift = pressed_ ? 1 : 0;
    int tx = (w - text_w) / 2 + shift, ty = (h - text_h) / 2 + shift;
    Color ink = model.Enabled() ? model.Fore_Color() : Grey_Text;
    if (!model.Enabled()) c.Text(font, tx + 1, ty + 1, utf8, Edge_Highlight);
    c.Text(font, tx, ty, utf8, ink);
    int at = Access_Position(model.Caption());
    if (at >= 0 && static_cast<std::size_t>(at) < shown.size()) {
        int ux = tx + fonts_.Width_Px(font, Prefix_To_Utf8(shown, static_cast<std::size_t>(at)));
        int uw = fonts_.Width_Px(font, To_Utf8(shown.substr(static_cast<std::size_t>(at), 1)));
        int thickness = std::max(1, (font->ascent + font->descent) / 14);
        c.Fill(ux, ty + font->ascent + 1, uw, thickness, ink);
    }
    if (focused && model.Enabled()) c.Dotted_Rectangle(3, 3, w - 7, h - 7, Rgb(0, 0, 0));
}

void X11_Control::Paint_Text_Box(const Control_Model& model, bool focused) {
    Canvas& c = *canvas_;
    int w = c.Width(), h = c.Height();
    c.Fill(0, 0, w, h, model.Back_Color());
    XftFont* font = fonts_.Open(model.Font());
    const std::string& text = model.Text();
    int inner_x = Text_Box_Border + Text_Box_Margin;
    int inner_w = std::max(1, w - 2 * inner_x);
    int caret_px =
        fonts_.Width_Px(font, Prefix_To_Utf8(text, static_cast<std::size_t>(model.Sel_Start())));
    // Keep the caret in view, as an edit field scrolls its text.
    if (caret_px - scroll_px_ >= inner_w) scroll_px_ = caret_px - inner_w + 1;
    if (caret_px < scroll_px_) scroll_px_ = caret_px;
    if (scroll_px_ < 0) scroll_px_ = 0;
    int ty = Text_Box_Border + Text_Box_Margin;
    c.Text(font, inner_x - scroll_px_, ty, To_Utf8(text),
           model.Enabled() ? model.Fore_Color() : Grey_Text);
    if (focused && model.Enabled())
        c.Fill(inner_x - scroll_px_ + caret_px, ty, 1, font->ascent + font->descent,
               model.Fore_Color());
    // The sunken edge goes over any text that reaches under it.
    Edge(c, 0, w, h, Edge_Shadow, Edge_Highlight);
    Edge(c, 1, w, h, Edge_Dark, Edge_Light);
}

int X11_Control::Position_At(const Control_Model& model, int x) const {
    XftFont* font = fonts_.Open(model.Font());
    const std::string& text = model.Text();
    int target = x - (Text_Box_Border + Text_Box_Margin) + scroll_px_;
    int best = 0, best_distance = std::abs(target);
    for (std::size_t i = 1; i <= text.size(); ++i) {
        int d = std::abs(fonts_.Width_Px(font, Prefix_To_Utf8(text, i)) - target);
        if (d < best_distance) best = static_cast<int>(i), best_distance = d;
    }
    return best;
}

}  // namespace nrvnc
