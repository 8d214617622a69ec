#include "platform/win32/forms.h"

#include <algorithm>
#include <chrono>

#include "platform/error.h"
#include "platform/win32/event_wait.h"
#include "platform/win32/window.h"

namespace nrvnc {

namespace {

// Messages handled in one pass of Do_Events at most, so that a window that
// keeps posting to itself cannot hold the program's loops.
constexpr int Messages_Per_Pass = 1000;
constexpr int Wait_Slice_Ms = 10;
// A call that comes within this time of a call that had nothing to do is
// taken for a polling loop.
constexpr std::chrono::milliseconds Looping_Gap{2};
using Clock = std::chrono::steady_clock;

}  // namespace

Win32_Forms_Runtime::Win32_Forms_Runtime(std::string app_title) : app_title_(std::move(app_title)) {
    Win32_Form::Register_Class(GetModuleHandleA(nullptr));
}

Win32_Forms_Runtime::~Win32_Forms_Runtime() {
    if (owner_) DestroyWindow(owner_);
}

std::unique_ptr<Form> Win32_Forms_Runtime::Load_Form(const Form_Design& design,
                                                     Form_Events& events) {
    return std::make_unique<Win32_Form>(*this, design, events);
}

void Win32_Forms_Runtime::Add(Win32_Form* form) {
    forms_.push_back(form);
}
void Win32_Forms_Runtime::Remove(Win32_Form* form) {
    std::erase(forms_, form);
}

bool Win32_Forms_Runtime::Is_Live(Win32_Form* form) const {
    return std::find(forms_.begin(), forms_.end(), form) != forms_.end();
}

HWND Win32_Forms_Runtime::Owner_Window() {
    if (!owner_)
        owner_ = CreateWindowExA(0, Win32_Form::Class_Name, app_title_.c_str(), WS_POPUP, 0, 0, 0,
                                 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    return owner_;
}

void Win32_Forms_Runtime::Keep_Error(std::exception_ptr error) {
    if (!kept_error_) kept_error_ = error;
}

bool Win32_Forms_Runtime::Pump() {
    bool any = false;
    MSG message{};
    for (int n = 0; n < Messages_Per_Pass && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
         ++n) {
        any = true;
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (kept_error_) {
            std::exception_ptr error = kept_error_;
            kept_error_ = nullptr;
            std::rethrow_exception(error);
        }
    }
    return any;
}

bool Win32_Forms_Runtime::Run_Handlers() {
    bool any = false;
    for (Win32_Form* f : std::vector<Win32_Form*>(forms_)) {
        if (!Is_Live(f) || !f->Has_Pending_Events()) continue;
        any = true;
        f->Run_Pending_Events();
    }
    return any;
}

void Win32_Forms_Runtime::Do_Events() {
    // Nothing to do in the call before: a call that comes straight after it
    // is a polling loop, which waits for the next message, a registered
    // event or 10 ms, so that the loop costs no CPU. A single call between
    // two pieces of work (there are many at start-up) returns at once.
    // Every call goes to the server, so a loop skips the look at the queue
    // before its wait: the wait ends at once when input is there, read or
    // not (MWMO_INPUTAVAILABLE).
    const bool looping = idle_since_ != Clock::time_point() &&
                         Clock::now() - idle_since_ < Looping_Gap;
    bool busy = !looping && Pump();
    busy = Run_Handlers() || busy;
    if (busy) {
        idle_since_ = Clock::time_point();
        return;
    }
    if (looping && Event_Wait::Wait_For_Activity(Wait_Slice_Ms)) {
        Pump();
        Run_Handlers();
    }
    idle_since_ = Clock::now();
}

double Win32_Forms_Runtime::Screen_Width() const {
    return GetSystemMetrics(SM_CXSCREEN) * Twips_Per_Pixel_X();
}

double Win32_Forms_Runtime::Screen_Height() const {
    return GetSystemMetrics(SM_CYSCREEN) * Twips_Per_Pixel_Y();
}

int Win32_Forms_Runtime::Font_Count() const {
    return static_cast<int>(fonts_.Families().size());
}

std::string Win32_Forms_Runtime::Font(int index) const {
    const auto& families = fonts_.Families();
    if (index < 0 || index >= static_cast<int>(families.size()))
        throw Runtime_Error(Error_Number::Subscript_Out_Of_Range, "Subscript out of range");
    return families[static_cast<std::size_t>(index)];
}

Color Win32_Forms_Runtime::System_Color(int index) const {
    if (index < 0 || index > COLOR_MENUBAR) return Rgb(0, 0, 0);
    return GetSysColor(index);
}

}  // namespace nrvnc
