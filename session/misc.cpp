#include "session/misc.h"

namespace nrvnc {

Misc::Misc(Platform& platform) : Sys(platform) {}

// The form objects are released through the deleters their creators stored.
Misc::~Misc() = default;

}  // namespace nrvnc
