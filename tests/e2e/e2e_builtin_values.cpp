// The built-in values of nrvnc_e2e, the copy of the program that the
// whole-program runs drive: each run names its own loopback peers in the
// environment, so that runs at the same time on one machine never meet.
// Unset, they are the fixed loopback values (and FTP port 21).
#include <cstdlib>

#include "builtin_values.h"

namespace nrvnc::Builtin {

namespace {

const char* From_Environment(const char* name, const char* built_in) {
    const char* value = std::getenv(name);
    return value && *value ? value : built_in;
}

}  // namespace

const char* const Default_Repeater_Host = From_Environment("NRVNC_E2E_REPEATER_HOST", "localhost");
const char* const FTP_Server_Name = From_Environment("NRVNC_E2E_FTP_SERVER", "127.0.0.1");
const char* const Internet_Check_URL =
    From_Environment("NRVNC_E2E_CHECK_URL", "http://127.0.0.1:18111/");
// The harness writes the port as a number.
const unsigned short FTP_Port = static_cast<unsigned short>(
    std::strtoul(From_Environment("NRVNC_FTP_PORT", "21"), nullptr, 10));

}  // namespace nrvnc::Builtin
