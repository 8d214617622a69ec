// The system message box: MessageBoxA with an OK button. It is modal to
// the whole program (MB_TASKMODAL disables every form of the thread while
// it is up), so no form takes input until it ends; the forms still paint.
#include "platform/win32/forms.h"

namespace nrvnc {

void Win32_Forms_Runtime::Message_Box(const std::string& text, const std::string& title) {
    const std::string& caption = title.empty() ? app_title_ : title;
    modal_ = true;
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
    modal_ = false;
}

}  // namespace nrvnc
