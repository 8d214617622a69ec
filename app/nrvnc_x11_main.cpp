// nrvnc for Linux desktops with X11: the Linux services and the X11 desktop
// and forms runtime, handed to the portable program.
#include <csignal>
#include <cstdio>

#include "builtin_values.h"
#include "platform/platform.h"
#include "platform/x11/desktop.h"
#include "platform/x11/display.h"
#include "platform/x11/forms.h"
#include "platform/x11/linux_services.h"
#include "session/main.h"
#include "session/state/misc.h"

// Last: X.h makes plain words such as None into macros.
#include <X11/Xlib.h>

// fontconfig keeps its configuration, loaded on first use, until the
// process ends; the leak checker of sanitizer builds need not report it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main() {
    // X is used from this thread only; should any library ever call Xlib
    // from another, it then waits for its turn instead of corrupting the
    // connection, which xcb answers with an abort.
    XInitThreads();
    // A peer that closes a socket must end in an error, not in a signal.
    std::signal(SIGPIPE, SIG_IGN);

    auto display = nrvnc::X11_Display::Open();
    if (!display) {
        std::fprintf(stderr, "nrvnc: %s\n", nrvnc::X11_Display::Open_Failure().c_str());
        return 1;
    }
    // The viewer is looked for beside this program first, then in the
    // working directory, by the check at start-up and by the launch alike.
    nrvnc::Linux_Services services({}, nrvnc::Builtin::Viewer_File_Name);
    nrvnc::X11_Forms_Runtime forms(*display, "NRVNC");
    nrvnc::X11_Desktop desktop(*display);
    nrvnc::Platform platform{services.Clock_Service,   services.File_Service,
                             services.Process_Service, desktop,
                             services.Network_Service, forms};
    int status;
    {
        nrvnc::Misc misc(platform);
        status = nrvnc::Main(misc);
    }
    return status;
}
