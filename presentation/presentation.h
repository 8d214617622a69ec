// Drawing helpers shared by both dialogs, the palette, and the display
// font with its exact sizes.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/forms.h"

namespace nrvnc {

class Misc;

// n pixels in twips at the screen's resolution, read anew on every call;
// halves round to even.
int32_t Pix_To_Twips_X(Misc& misc, int16_t n);
int32_t Pix_To_Twips_Y(Misc& misc, int16_t n);

// The frame of both dialogs: a broad grey band with thin cyan, red, white
// and blue lines, inside the rectangle given in twips; width in pixels.
// Leaves the surface drawing unfilled boxes with 2-pixel lines.
void Draw_Border(Misc& misc, float Left, float Right, float Top, float Bottom, float Width,
                 Form& Surface);

// Colours of the 16-colour palette, 0 to 15.
Color QB_Color(int number);

// The sizes the dialogs step along: Font_Sizes completed with every size the
// surface renders for the trial sizes of the measurement (1 to 40 points in
// steps of 0.05), ascending. Where a pixel is not a multiple of 0.05 point
// (100, 110, 141 dpi...) few rendered sizes come back unchanged, and
// Font_Sizes alone has gaps too wide for the layout rules. The surface is
// left at the font size it had.
std::vector<float> Font_Size_Ladder(Misc& misc, Form& Surface);

// Chooses Display_Font from the preference list and measures its sizes.
void Select_Display_Font(Misc& misc);
void Get_Font_Sizes(Misc& misc);

}  // namespace nrvnc
