// The Linux services that need no window system, owned together, for the
// program's main() to hand to the core beside the X11 desktop and forms.
#pragma once

#include "platform/x11/clock.h"
#include "platform/x11/files.h"
#include "platform/x11/network.h"
#include "platform/x11/processes.h"

namespace nrvnc {

struct Linux_Services {
    // `viewer_file_name`: the program whose bare name File_Service resolves
    // as Process_Service finds it (see Linux_File_System).
    explicit Linux_Services(Linux_Network_Options network_options = {},
                            std::string viewer_file_name = {})
        : File_Service(std::move(viewer_file_name)), Network_Service(network_options) {}

    Linux_Clock Clock_Service;
    Linux_File_System File_Service;
    Linux_Processes Process_Service;
    Linux_Network Network_Service;
};

}  // namespace nrvnc
