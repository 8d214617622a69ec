// Painting a form's kept drawing (its display list) into a memory bitmap.
// WM_PAINT copies the bitmap to the window, so the drawing comes back
// whenever the window is uncovered, restored or shown again.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/form_model.h"
#include "platform/win32/fonts.h"

namespace nrvnc {

// A bitmap of the screen's format selected into a memory DC.
class Canvas {
  public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    void Fill(int x, int y, int w, int h, Color colour);
    // The outline of the rectangle from (x, y) to (x + w, y + h), corners
    // inclusive, its line centred on the edge whatever its width.
    void Rectangle(int x, int y, int w, int h, int line_width, Color colour);
    void Line(int x1, int y1, int x2, int y2, int line_width, Color colour);
    // Text with its cell's top left at (x, y), background left as it is.
    void Text(HFONT font, int x, int y, const std::string& text, Color colour);

  private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_bitmap_;
};

// Converts twips of a form to pixels of the screen.
int Twips_To_Px(double twips, double twips_per_pixel);

// Paints the operations from index `from` on; from 0 first clears the
// canvas to the back colour.
void Paint_Display_List(Canvas& canvas, const std::vector<Draw_Op>& drawing, std::size_t from,
                        Color back, const Win32_Fonts& fonts);

}  // namespace nrvnc
