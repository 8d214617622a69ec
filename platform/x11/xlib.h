// Xlib, Xutil and Xft, included after the seam: X.h defines None and other
// plain words as macros, and the seam's enumerations must be read first.
#pragma once

// clang-format off
#include "platform/forms.h"
#include "platform/form_model.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
// clang-format on

namespace nrvnc {
// The seam's Border_Style::None, which X.h's None hides from code below.
constexpr int Borderless = 0;
}  // namespace nrvnc
