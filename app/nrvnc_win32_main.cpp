// NRVNC.exe: the Windows services, desktop and forms runtime, handed to
// the portable program. The manifest makes the program DPI aware, so the
// forms measure the screen's real resolution; Winsock is started by the
// network service.
//
// The program lives in the viewer's folder, which others can often write:
// before anything else, DLLs loaded later by name (by the program or by the
// system on its behalf) are looked for in the system folder only.
// SetDefaultDllDirectories is there from Windows 8 (Windows 7 with
// KB2533623), so it is looked up; without it the working folder at least
// leaves the search. WinINet is loaded by its full path anyway (ftp.h).
#include <windows.h>

#include <exception>
#include <string>

#include "platform/platform.h"
#include "platform/win32/desktop.h"
#include "platform/win32/forms.h"
#include "platform/win32/win32_services.h"
#include "session/main.h"
#include "session/state/misc.h"

namespace {

void Search_Dlls_In_System_Folder() {
    using Set_Directories = BOOL(WINAPI*)(DWORD);
    auto set_directories = reinterpret_cast<Set_Directories>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (!set_directories || !set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryA("");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Search_Dlls_In_System_Folder();
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
