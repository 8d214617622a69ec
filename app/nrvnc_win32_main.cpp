// NRVNC.exe: the Windows services, desktop and forms runtime, handed to
// the portable program. The manifest makes the program DPI aware, so the
// forms measure the screen's real resolution; Winsock is started by the
// network service.
#include <windows.h>

#include <exception>
#include <string>

#include "platform/platform.h"
#include "platform/win32/desktop.h"
#include "platform/win32/forms.h"
#include "platform/win32/win32_services.h"
#include "session/main.h"
#include "session/misc.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        nrvnc::Win32_Services services;
        nrvnc::Win32_Forms_Runtime forms("NRVNC");
        nrvnc::Win32_Desktop desktop;
        nrvnc::Platform platform{services.Clock_Service,   services.File_Service,
                                 services.Process_Service, desktop,
                                 services.Network_Service, forms};
        nrvnc::Misc misc(platform);
        return nrvnc::Main(misc);
    } catch (const std::exception& error) {
        // Only a backend that cannot start gets here: Main catches the rest.
        std::string text =
            std::string("The program aborted for the following reason: \r\n\r\n") + error.what();
        MessageBoxA(nullptr, text.c_str(), "NRVNC", MB_OK | MB_TASKMODAL);
        return 1;
    }
}
