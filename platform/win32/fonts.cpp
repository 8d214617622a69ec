#include "platform/win32/fonts.h"

#include <cmath>
#include <set>

namespace nrvnc {

Win32_Fonts::Win32_Fonts() : dc_(CreateCompatibleDC(nullptr)) {
    HDC screen = GetDC(nullptr);
    if (screen) {
        dpi_x_ = GetDeviceCaps(screen, LOGPIXELSX);
        dpi_y_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (dpi_x_ <= 0) dpi_x_ = 96;
    if (dpi_y_ <= 0) dpi_y_ = 96;
}

Win32_Fonts::~Win32_Fonts() {
    for (auto& [key, font] : open_) DeleteObject(font);
    if (dc_) DeleteDC(dc_);
}

int Win32_Fonts::Pixel_Size(float points) const {
    int px = static_cast<int>(std::lround(points * dpi_y_ / 72.0));
    return px < 1 ? 1 : px;
}

float Win32_Fonts::Renderable_Size(const std::string&, float size) const {
    return static_cast<float>(Pixel_Size(size) * 72.0 / dpi_y_);
}

HFONT Win32_Fonts::Open(const Font_Spec& font) const {
    int px = Pixel_Size(font.Size);
    auto key = std::make_tuple(font.Name, px, font.Bold);
    auto it = open_.find(key);
    if (it != open_.end()) return it->second;
    // A negative height asks for the character height (the em), as a
    // point size does.
    HFONT f = CreateFontA(-px, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, font.Name.c_str());
    if (!f) f = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    open_[key] = f;
    return f;
}

int Win32_Fonts::Width_Px(const Font_Spec& font, const std::string& text) const {
    if (text.empty()) return 0;
    HGDIOBJ old = SelectObject(dc_, Open(font));
    SIZE size{};
    GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc_, old);
    return size.cx;
}

int Win32_Fonts::Height_Px(const Font_Spec& font) const {
    HGDIOBJ old = SelectObject(dc_, Open(font));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc_, &metrics);
    SelectObject(dc_, old);
    return metrics.tmHeight;
}

double Win32_Fonts::Text_Width(const Font_Spec& font, const std::string& text) const {
    return Width_Px(font, text) * Twips_Per_Pixel_X();
}

double Win32_Fonts::Text_Height(const Font_Spec& font, const std::string&) const {
    // The height of a line of the font, whatever the text, as the dialogs
    // expect of a text height.
    return Height_Px(font) * Twips_Per_Pixel_Y();
}

namespace {

int CALLBACK Add_Family(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM names) {
    reinterpret_cast<std::set<std::string>*>(names)->insert(font->lfFaceName);
    return 1;
}

}  // namespace

const std::vector<std::string>& Win32_Fonts::Families() const {
    if (families_read_) return families_;
    families_read_ = true;
    std::set<std::string> names;
    LOGFONTA all{};
    all.lfCharSet = DEFAULT_CHARSET;  // every family, in every character set
    EnumFontFamiliesExA(dc_, &all, Add_Family, reinterpret_cast<LPARAM>(&names), 0);
    families_.assign(names.begin(), names.end());
    return families_;
}

}  // namespace nrvnc
