#include "platform/x11/fonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "platform/x11/encoding.h"

namespace nrvnc {

namespace {

// Loads fontconfig's configuration once, before anything else asks for it.
// fontconfig's own first load also parses every rule template it ships
// (a third of the start-up's work) only to describe them to its tools;
// matching uses just the configuration that is in force, which is all this
// reads. Where that configuration cannot be read as is (no configuration
// file, no cache folder named), fontconfig's own load and its fallbacks are
// used.
void Load_Font_Configuration() {
    static const bool Loaded = [] {
        FcConfig* config = FcConfigCreate();
        if (!config) return FcInit() == FcTrue;
        bool own = FcConfigParseAndLoad(config, nullptr, FcTrue) == FcTrue;
        if (own) {
            FcStrList* caches = FcConfigGetCacheDirs(config);
            own = caches && FcStrListNext(caches) != nullptr;
            if (caches) FcStrListDone(caches);
        }
        own = own && FcConfigBuildFonts(config) == FcTrue && FcConfigSetCurrent(config) == FcTrue;
        FcConfigDestroy(config);  // the current configuration keeps its own reference
        return own || FcInit() == FcTrue;
    }();
    (void)Loaded;
}

}  // namespace

X11_Fonts::X11_Fonts(X11_Display& display) : x_(display) {}

X11_Fonts::~X11_Fonts() {
    for (auto& [key, font] : open_) XftFontClose(x_.Dpy(), font);
}

int X11_Fonts::Pixel_Size(float points) const {
    int px = static_cast<int>(std::lround(points * x_.Dpi() / 72.0));
    return px < 1 ? 1 : px;
}

float X11_Fonts::Renderable_Size(const std::string&, float size) const {
    return static_cast<float>(Pixel_Size(size) * 72.0 / x_.Dpi());
}

XftFont* X11_Fonts::Open(const Font_Spec& font) const {
    int px = Pixel_Size(font.Size);
    auto key = std::make_tuple(font.Name, px, font.Bold);
    auto it = open_.find(key);
    if (it != open_.end()) return it->second;
    Load_Font_Configuration();
    std::string family = font.Name.empty() ? std::string("monospace") : To_Utf8(font.Name);
    XftFont* f =
        XftFontOpen(x_.Dpy(), x_.Screen(), XFT_FAMILY, XftTypeString, family.c_str(),
                    XFT_PIXEL_SIZE, XftTypeDouble, static_cast<double>(px), XFT_WEIGHT,
                    XftTypeInteger, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR, nullptr);
    if (!f) f = XftFontOpenName(x_.Dpy(), x_.Screen(), "monospace");
    open_[key] = f;
    return f;
}

int X11_Fonts::Width_Px(XftFont* font, const std::string& utf8) const {
    if (utf8.empty()) return 0;
    XGlyphInfo extents{};
    XftTextExtentsUtf8(x_.Dpy(), font, reinterpret_cast<const FcChar8*>(utf8.data()),
                       static_cast<int>(utf8.size()), &extents);
    return extents.xOff;
}

int X11_Fonts::Width_Px(const Font_Spec& font, const std::string& text) const {
    return Width_Px(Open(font), To_Utf8(text));
}

double X11_Fonts::Text_Width(const Font_Spec& font, const std::string& text) const {
    return Width_Px(font, text) * x_.Twips_Per_Pixel();
}

double X11_Fonts::Text_Height(const Font_Spec& font, const std::string&) const {
    // The height of a line of the font, whatever the text, as the dialogs
    // expect of a text height.
    XftFont* f = Open(font);
    return (f->ascent + f->descent) * x_.Twips_Per_Pixel();
}

bool Family_Resolves_To(const std::string& family, const std::vector<std::string>& accepted) {
    Load_Font_Configuration();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(""));
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    bool ok = false;
    if (match) {
        FcChar8* got = nullptr;
        for (int i = 0; !ok && FcPatternGetString(match, FC_FAMILY, i, &got) == FcResultMatch;
             ++i) {
            std::string name = reinterpret_cast<char*>(got);
            ok = name == family ||
                 std::find(accepted.begin(), accepted.end(), name) != accepted.end();
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return ok;
}

const std::vector<std::string>& X11_Fonts::Families() const {
    if (families_read_) return families_;
    families_read_ = true;
    Load_Font_Configuration();
    std::set<std::string> names;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    if (FcFontSet* set = FcFontList(nullptr, pattern, objects)) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* family = nullptr;
            for (int k = 0;
                 FcPatternGetString(set->fonts[i], FC_FAMILY, k, &family) == FcResultMatch; ++k)
                names.insert(reinterpret_cast<char*>(family));
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    // The dialogs are designed for Courier New; Liberation Mono has the same
    // metrics, and fontconfig hands it out under that name.
    if (!names.count("Courier New") && Family_Resolves_To("Courier New", {"Liberation Mono"}))
        names.insert("Courier New");
    families_.assign(names.begin(), names.end());
    return families_;
}

}  // namespace nrvnc
