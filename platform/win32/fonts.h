// Text measuring and font lookup over GDI.
//
// Sizes are points; a font is made with CreateFontA at its character height
// in whole pixels for the screen's resolution (LOGPIXELSY), so the size a
// form reads back is the size of that whole-pixel height.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/form_model.h"

namespace nrvnc {

class Win32_Fonts : public Text_Metrics {
  public:
    // Reads the screen's resolution; measures on a memory DC of the screen.
    Win32_Fonts();
    ~Win32_Fonts() override;
    Win32_Fonts(const Win32_Fonts&) = delete;
    Win32_Fonts& operator=(const Win32_Fonts&) = delete;

    // Text_Metrics: twips of the screen.
    double Text_Width(const Font_Spec& font, const std::string& text) const override;
    double Text_Height(const Font_Spec& font, const std::string& text) const override;
    float Renderable_Size(const std::string& font_name, float size) const override;

    // The font for drawing, kept until the object goes; never null.
    HFONT Open(const Font_Spec& font) const;
    // Character height in pixels of a size in points, at least 1.
    int Pixel_Size(float points) const;
    int Width_Px(const Font_Spec& font, const std::string& text) const;
    // Height of a line of the font (ascent + descent) in pixels.
    int Height_Px(const Font_Spec& font) const;

    int Dpi_X() const { return dpi_x_; }
    int Dpi_Y() const { return dpi_y_; }
    double Twips_Per_Pixel_X() const { return 1440.0 / dpi_x_; }
    double Twips_Per_Pixel_Y() const { return 1440.0 / dpi_y_; }

    // The screen's font families (EnumFontFamiliesExA), sorted, each once.
    const std::vector<std::string>& Families() const;

  private:
    HDC dc_;
    int dpi_x_ = 96, dpi_y_ = 96;
    mutable std::map<std::tuple<std::string, int, bool>, HFONT> open_;
    mutable std::vector<std::string> families_;
    mutable bool families_read_ = false;
};

}  // namespace nrvnc
