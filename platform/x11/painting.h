// Painting a form's kept drawing (its display list) into a pixmap. The
// pixmap is the window's background, so the X server itself puts the
// drawing back whenever the window is uncovered.
#pragma once

#include <string>
#include <vector>

#include "platform/form_model.h"
#include "platform/x11/display.h"
#include "platform/x11/fonts.h"
#include "platform/x11/xlib.h"

namespace nrvnc {

// A pixmap with the GC and Xft drawing context that paint into it.
class Canvas {
  public:
    Canvas(X11_Display& display, int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    Pixmap Target() const { return pixmap_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    void Fill(int x, int y, int w, int h, Color colour);
    void Rectangle(int x, int y, int w, int h, int line_width, Color colour);
    void Line(int x1, int y1, int x2, int y2, int line_width, Color colour);
    // Dotted rectangle (the focus mark of buttons).
    void Dotted_Rectangle(int x, int y, int w, int h, Color colour);
    // Text with its cell's top left at (x, y), background left as it is.
    void Text(XftFont* font, int x, int y, const std::string& utf8, Color colour);

  private:
    X11_Display& x_;
    int width_, height_;
    Pixmap pixmap_;
    GC gc_;
    XftDraw* draw_;
};

// Converts twips of a form to pixels of the screen.
int Twips_To_Px(double twips, double twips_per_pixel);

// Clears the canvas to the back colour and paints every operation in order.
void Paint_Display_List(Canvas& canvas, const std::vector<Draw_Op>& drawing, Color back,
                        const X11_Fonts& fonts, double twips_per_pixel);

}  // namespace nrvnc
