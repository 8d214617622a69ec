// Everything the program needs from the operating system, in one place.
// app/ builds one per platform; tests build the fake desktop.
#pragma once

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/network.h"
#include "platform/processes.h"

namespace nrvnc {

struct Platform {
    Clock& clock;
    File_System& files;
    Processes& processes;
    Desktop& desktop;
    Network& network;
    Forms_Runtime& forms;
};

}  // namespace nrvnc
