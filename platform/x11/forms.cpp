#include "platform/x11/forms.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/error.h"
#include "platform/x11/event_wait.h"
#include "platform/x11/window.h"

namespace nrvnc {

X11_Forms_Runtime::X11_Forms_Runtime(X11_Display& display, std::string app_title)
    : display_(display), app_title_(std::move(app_title)), fonts_(display) {}

X11_Forms_Runtime::~X11_Forms_Runtime() = default;

std::unique_ptr<Form> X11_Forms_Runtime::Load_Form(const Form_Design& design, Form_Events& events) {
    return std::make_unique<X11_Form>(*this, design, events);
}

void X11_Forms_Runtime::Add(X11_Form* form) {
    forms_.push_back(form);
    forms_changed_ = true;
}
void X11_Forms_Runtime::Remove(X11_Form* form) {
    std::erase(forms_, form);
    forms_changed_ = true;
}

bool X11_Forms_Runtime::Is_Live(X11_Form* form) const {
    return std::find(forms_.begin(), forms_.end(), form) != forms_.end();
}

void X11_Forms_Runtime::Flush_All() {
    for (X11_Form* f : std::vector<X11_Form*>(forms_))
        if (Is_Live(f)) f->Flush();
    XFlush(display_.Dpy());
}

// Handles the X events that are already there. While a modal box is up
// only that form takes input; the others still follow the server.
bool X11_Forms_Runtime::Pump(X11_Form* modal) {
    Display* dpy = display_.Dpy();
    bool any = false;
    while (XPending(dpy) > 0) {
        XEvent event;
        XNextEvent(dpy, &event);
        any = true;
        for (X11_Form* f : std::vector<X11_Form*>(forms_)) {
            if (!Is_Live(f) || !f->Owns(event.xany.window)) continue;
            f->Handle_Event(event, modal == nullptr || modal == f);
            break;
        }
    }
    return any;
}

bool X11_Forms_Runtime::Run_Handlers(X11_Form* only) {
    bool any = false;
    for (X11_Form* f : std::vector<X11_Form*>(forms_)) {
        if (!Is_Live(f) || (only && f != only) || !f->Has_Pending_Events()) continue;
        any = true;
        f->Run_Pending_Events();
    }
    return any;
}

void X11_Forms_Runtime::Do_Events() {
    Flush_All();
    // A form loaded or unloaded since the last call is a step of work, not
    // a turn of a polling loop.
    bool busy = std::exchange(forms_changed_, false);
    busy = Pump(nullptr) || busy;
    busy = Run_Handlers(nullptr) || busy;
    Flush_All();
    using Clock = std::chrono::steady_clock;
    if (busy || XEventsQueued(display_.Dpy(), QueuedAfterFlush) > 0) {
        idle_since_ = Clock::time_point();
        return;
    }
    // Nothing to do. A call that comes straight after another such call,
    // with no form loaded or unloaded in between, is a polling loop: it
    // waits for the next event, a registered descriptor or a slice of time,
    // so that the loop costs no CPU. The slice grows with the time the loop
    // has found nothing, from 1 ms to 10 ms, so that the few calls between
    // steps of work (there are many at start-up) hold up next to nothing.
    // A single call between two pieces of work returns at once.
    const Clock::time_point now = Clock::now();
    const bool looping = idle_since_ != Clock::time_point() &&
                         now - idle_since_ < std::chrono::milliseconds(2);
    if (!looping) loop_since_ = now;
    const auto found_nothing =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - loop_since_).count();
    const int slice = static_cast<int>(std::clamp<long long>(found_nothing, 1, 10));
    if (looping && Event_Wait::Wait_For_Activity(slice, display_.Fd())) {
        Pump(nullptr);
        Run_Handlers(nullptr);
        Flush_All();
    }
    idle_since_ = Clock::now();
}

double X11_Forms_Runtime::Screen_Width() const {
    return display_.Width_Px() * display_.Twips_Per_Pixel();
}

double X11_Forms_Runtime::Screen_Height() const {
    return display_.Height_Px() * display_.Twips_Per_Pixel();
}

int X11_Forms_Runtime::Font_Count() const {
    return static_cast<int>(fonts_.Families().size());
}

std::string X11_Forms_Runtime::Font(int index) const {
    const auto& families = fonts_.Families();
    if (index < 0 || index >= static_cast<int>(families.size()))
        throw Runtime_Error(Error_Number::Subscript_Out_Of_Range, "Subscript out of range");
    return families[static_cast<std::size_t>(index)];
}

Color X11_Forms_Runtime::System_Color(int index) const {
    // The colours of the classic desktop scheme the dialogs were drawn for: its
    // grey button face makes the white line of the dialogs' frame stand out.
    static constexpr Color Colours[] = {
        Rgb(200, 200, 200),  // 0 scroll bar
        Rgb(0, 0, 0),        // 1 desktop
        Rgb(153, 180, 209),  // 2 active title bar
        Rgb(191, 205, 219),  // 3 inactive title bar
        Rgb(240, 240, 240),  // 4 menu
        Rgb(255, 255, 255),  // 5 window background
        Rgb(100, 100, 100),  // 6 window frame
        Rgb(0, 0, 0),        // 7 menu text
        Rgb(0, 0, 0),        // 8 window text
        Rgb(0, 0, 0),        // 9 title bar text
        Rgb(180, 180, 180),  // 10 active border
        Rgb(244, 247, 252),  // 11 inactive border
        Rgb(171, 171, 171),  // 12 application workspace
        Rgb(51, 153, 255),   // 13 highlight
        Rgb(255, 255, 255),  // 14 highlighted text
        Rgb(212, 208, 200),  // 15 button face
        Rgb(128, 128, 128),  // 16 button shadow
        Rgb(109, 109, 109),  // 17 grey text
        Rgb(0, 0, 0),        // 18 button text
        Rgb(67, 78, 84),     // 19 inactive title bar text
        Rgb(255, 255, 255),  // 20 button highlight
        Rgb(105, 105, 105),  // 21 3-D dark shadow
        Rgb(227, 227, 227),  // 22 3-D light
        Rgb(0, 0, 0),        // 23 tool tip text
        Rgb(255, 255, 225),  // 24 tool tip background
    };
    if (index < 0 || index >= static_cast<int>(std::size(Colours))) return Rgb(0, 0, 0);
    return Colours[index];
}

}  // namespace nrvnc
