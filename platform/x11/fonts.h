// Text measuring and font lookup over Xft and fontconfig.
//
// Sizes are points; a font is opened at its pixel size for the screen's
// resolution, and only whole pixel sizes are rendered, so the size a form
// reads back is the nearest whole-pixel size.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/form_model.h"
#include "platform/x11/display.h"
#include "platform/x11/xlib.h"

namespace nrvnc {

class X11_Fonts : public Text_Metrics {
  public:
    explicit X11_Fonts(X11_Display& display);
    ~X11_Fonts() override;
    X11_Fonts(const X11_Fonts&) = delete;
    X11_Fonts& operator=(const X11_Fonts&) = delete;

    // Text_Metrics: twips of the screen.
    double Text_Width(const Font_Spec& font, const std::string& text) const override;
    double Text_Height(const Font_Spec& font, const std::string& text) const override;
    float Renderable_Size(const std::string& font_name, float size) const override;

    // The font for drawing (kept open until the object goes); never null.
    XftFont* Open(const Font_Spec& font) const;
    int Pixel_Size(float points) const;
    // Width of a text in pixels.
    int Width_Px(const Font_Spec& font, const std::string& text) const;
    int Width_Px(XftFont* font, const std::string& utf8) const;

    // The installed font families, sorted, each once. "Courier New" is in
    // the list when fontconfig gives a metric-compatible face for it.
    const std::vector<std::string>& Families() const;

  private:
    X11_Display& x_;
    mutable std::map<std::tuple<std::string, int, bool>, XftFont*> open_;
    mutable std::vector<std::string> families_;
    mutable bool families_read_ = false;
};

// True when fontconfig binds the family to a face of that family, or of one
// of the metric-compatible families given.
bool Family_Resolves_To(const std::string& family, const std::vector<std::string>& accepted);

}  // namespace nrvnc
