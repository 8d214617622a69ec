// The viewer stand-in's Win32 windows (built as `vncviewer.exe`); what it
// does is in viewer_session.h. It records its whole command line as Windows
// hands it over (GetCommandLineA), byte for byte, program name included.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "viewer_session.h"

namespace {

const char Window_Class[] = "NRVNC_Test_Viewer";
std::map<HWND, std::string> Window_Text;

LRESULT CALLBACK Window_Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            const std::string& text = Window_Text[window];
            TextOutA(dc, 12, 20, text.c_str(), static_cast<int>(text.size()));
            EndPaint(window, &ps);
            return 0;
        }
        case WM_CLOSE:  // closing any of its windows ends the viewer
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, w, l);
    }
}

HWND Open_Window(const std::string& title, const std::string& text, int w, int h) {
    HWND window = CreateWindowExA(0, Window_Class, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, w, h,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) return nullptr;
    Window_Text[window] = text;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    viewer::Record_Command_Line(GetCommandLineA());
    const std::vector<std::string> args(__argv + 1, __argv + __argc);

    WNDCLASSA wc{};
    wc.lpfnWndProc = Window_Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = Window_Class;
    if (!RegisterClassA(&wc)) return 1;

    const DWORD ui_thread = GetCurrentThreadId();
    viewer::Session session(viewer::Parse_Command_Line(args),
                            [ui_thread] { PostThreadMessageA(ui_thread, WM_APP, 0, 0); });
    HWND status = nullptr;
    for (;;) {
        for (auto change = session.Step(); change != viewer::Session::Change::Nothing;
             change = session.Step()) {
            using Change = viewer::Session::Change;
            if (change == Change::Show_Status) {
                status = Open_Window(session.Status_Title(), session.Status_Text(), 380, 120);
            } else if (change == Change::Connected) {
                if (status) DestroyWindow(status);
                status = nullptr;
                Open_Window(session.Main_Title(), session.Connected_Text(), 640, 400);
            } else if (change == Change::Failed) {
                // The status window stays under the box; the box's OK ends the viewer.
                MessageBoxA(nullptr, session.Failure().c_str(), "VncViewer Message Box",
                            MB_OK | MB_ICONERROR);
                ExitProcess(0);
            } else {
                fprintf(stderr, "vncviewer: %s\n", session.Failure().c_str());
                ExitProcess(2);
            }
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) ExitProcess(0);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // Sleep until a window message, the connecting thread's wake-up or
        // the next step. ExitProcess does not wait for a thread still in a
        // name lookup.
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(session.Next_Step() -
                                                                          viewer::Clock::now())
                        .count();
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::clamp<long long>(wait, 0, 1000)),
                                  QS_ALLINPUT);
    }
}
