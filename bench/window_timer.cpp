// Starts a program and tells how long it takes until a window whose title
// matches a pattern is on the screen, and how much memory the program holds
// then. Used by bench.py to time start-ups to the millisecond, which a
// script polling with xwininfo cannot do.
//
// Usage: window_timer PATTERN SETTLE_MS PROGRAM [ARGUMENTS...]
// Prints "milliseconds rss_kib pid" on one line once the window is viewable
// and SETTLE_MS more have passed (the memory is read then), and leaves the
// program running. Exits with 1 when no such window came within 30 s.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

extern char** environ;

namespace {

int Ignore(Display*, XErrorEvent*) {
    return 0;
}

std::string Title(Display* dpy, Window w) {
    XTextProperty prop{};
    if (!XGetWMName(dpy, w, &prop) || !prop.value) return "";
    std::string title(reinterpret_cast<char*>(prop.value), prop.nitems);
    XFree(prop.value);
    return title;
}

bool Has_Match(Display* dpy, Window w, const std::regex& pattern, int depth) {
    if (std::regex_search(Title(dpy, w), pattern)) return true;
    if (depth == 0) return false;
    Window root, parent, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &kids, &n)) return false;
    bool found = false;
    for (unsigned i = 0; i < n && !found; ++i) found = Has_Match(dpy, kids[i], pattern, depth - 1);
    if (kids) XFree(kids);
    return found;
}

// A viewable top-level window (or the client in its frame) with the title.
bool On_Screen(Display* dpy, const std::regex& pattern) {
    Window root, parent, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &kids, &n)) return false;
    bool found = false;
    for (unsigned i = 0; i < n && !found; ++i) {
        XWindowAttributes wa{};
        if (XGetWindowAttributes(dpy, kids[i], &wa) && wa.map_state == IsViewable)
            found = Has_Match(dpy, kids[i], pattern, 2);
    }
    if (kids) XFree(kids);
    return found;
}

long Rss_Kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: window_timer PATTERN SETTLE_MS PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    std::regex pattern(argv[1]);
    int settle_ms = std::atoi(argv[2]);
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return 2;
    XSetErrorHandler(Ignore);
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);

    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    // The program's output must not hold the pipe our caller reads us through.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid, argv[3], &actions, nullptr, argv + 3, environ) != 0) return 2;
    for (;;) {
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
        }
        if (On_Screen(dpy, pattern)) break;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) return 1;
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&fd, 1, 1);
    }
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(settle_ms));
    std::printf("%.1f %ld %d\n", ms, Rss_Kib(pid), static_cast<int>(pid));
    return 0;
}
