// The viewer stand-in's X11 windows (installed as `vncviewer` on Linux); what
// it does is in viewer_session.h. It records its arguments after the program
// name, joined by blanks.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "viewer_session.h"

namespace {

int Wake_Pipe[2] = {-1, -1};

void On_Signal(int) {
    const char c = 'T';
    [[maybe_unused]] auto n = write(Wake_Pipe[1], &c, 1);
}

struct Viewer_Display {
    Display* Dpy;
    Atom Delete_Window, Net_Wm_Name, Utf8;

    Window Open_Window(const std::string& title, int w, int h) {
        int s = DefaultScreen(Dpy);
        Window win = XCreateSimpleWindow(Dpy, RootWindow(Dpy, s), 40, 40, w, h, 1,
                                         BlackPixel(Dpy, s), WhitePixel(Dpy, s));
        XStoreName(Dpy, win, title.c_str());
        XChangeProperty(Dpy, win, Net_Wm_Name, Utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        XClassHint hint{const_cast<char*>("vncviewer"), const_cast<char*>("Vncviewer")};
        XSetClassHint(Dpy, win, &hint);
        XSetWMProtocols(Dpy, win, &Delete_Window, 1);
        XSelectInput(Dpy, win, ExposureMask | KeyPressMask | ButtonPressMask);
        XMapRaised(Dpy, win);
        XSync(Dpy, False);
        return win;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string line;
    for (const std::string& a : args) line += (line.empty() ? "" : " ") + a;
    viewer::Record_Command_Line(line);
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        const char* d = getenv("DISPLAY");
        fprintf(stderr, "vncviewer: cannot open display \"%s\"\n", d ? d : "");
        return 1;
    }
    if (pipe2(Wake_Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = On_Signal;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);

    Viewer_Display scr{dpy, XInternAtom(dpy, "WM_DELETE_WINDOW", False),
                       XInternAtom(dpy, "_NET_WM_NAME", False),
                       XInternAtom(dpy, "UTF8_STRING", False)};
    const int wake = Wake_Pipe[1];
    viewer::Session session(viewer::Parse_Command_Line(args), [wake] {
        const char c = 'C';
        [[maybe_unused]] auto n = write(wake, &c, 1);
    });

    Window status = None, error_box = None;
    std::string shown_text;  // the text drawn in the main window or the box
    int exit_code = -1;
    while (exit_code < 0) {
        for (auto change = session.Step(); change != viewer::Session::Change::Nothing;
             change = session.Step()) {
            using Change = viewer::Session::Change;
            if (change == Change::Show_Status) {
                status = scr.Open_Window(session.Status_Title(), 380, 90);
            } else if (change == Change::Connected) {
                shown_text = session.Connected_Text();
                if (status != None) XDestroyWindow(dpy, status);
                status = None;
                scr.Open_Window(session.Main_Title(), 640, 400);
            } else if (change == Change::Failed) {
                shown_text = session.Failure();
                error_box = scr.Open_Window("VncViewer Message Box", 380, 100);
            } else {
                fprintf(stderr, "vncviewer: %s\n", session.Failure().c_str());
                exit_code = 2;
                break;
            }
        }
        if (exit_code >= 0) break;

        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type == Expose && ev.xexpose.count == 0) {
                const std::string text =
                    ev.xexpose.window == status ? session.Status_Text() : shown_text;
                XDrawString(dpy, ev.xexpose.window, DefaultGC(dpy, DefaultScreen(dpy)), 12, 30,
                            text.c_str(), static_cast<int>(text.size()));
            } else if (ev.type == ClientMessage &&
                       static_cast<Atom>(ev.xclient.data.l[0]) == scr.Delete_Window) {
                exit_code = 0;
            } else if ((ev.type == KeyPress || ev.type == ButtonPress) &&
                       ev.xany.window == error_box) {
                exit_code = 0;  // the box's OK
            }
        }
        XFlush(dpy);
        if (exit_code >= 0) break;

        // Sleep until the X server, the signal or the connecting thread
        // wakes us, or the next step is due.
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(session.Next_Step() -
                                                                          viewer::Clock::now())
                        .count();
        pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {Wake_Pipe[0], POLLIN, 0}};
        poll(fds, 2, static_cast<int>(std::clamp<long>(wait, 0, 1000)));
        char c;
        while (read(Wake_Pipe[0], &c, 1) == 1)
            if (c == 'T') exit_code = 0;
    }
    XCloseDisplay(dpy);
    // The connecting thread may still sit in a name lookup; do not wait for it.
    fflush(nullptr);
    _exit(exit_code);
}
