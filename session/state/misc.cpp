#include "session/state/misc.h"

namespace nrvnc {

Misc::Misc(Platform& platform) : Sys(platform) {}

// The form objects are released through the deleters their creators stored,
// the newest first, while the session variables they may read still exist.
Misc::~Misc() {
    while (!forms_.empty()) forms_.pop_back();
}

}  // namespace nrvnc
