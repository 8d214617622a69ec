// Linux_Services is put together entirely in its header; this unit checks
// that the header stands on its own.
#include "platform/x11/linux_services.h"
