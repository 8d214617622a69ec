// The Windows services that need no window, owned together, for WinMain to
// hand to the core beside the Windows desktop and forms runtime.
#pragma once

#include "platform/win32/clock.h"
#include "platform/win32/files.h"
#include "platform/win32/network.h"
#include "platform/win32/processes.h"

namespace nrvnc {

struct Win32_Services {
    explicit Win32_Services(Win32_Network_Options network_options = {})
        : Network_Service(network_options) {}

    Win32_Clock Clock_Service;
    Win32_File_System File_Service;
    Win32_Processes Process_Service;
    Win32_Network Network_Service;
};

}  // namespace nrvnc
