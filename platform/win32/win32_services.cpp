// Win32_Services is put together entirely in its header; this unit checks
// that the header stands on its own.
#include "platform/win32/win32_services.h"
