#include "platform/x11/program_lookup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace nrvnc {

namespace {

bool Regular_File(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string Program_Folder() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return "";
    const std::string path(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
}

std::string Find_Beside_Program_Or_Here(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return "";
    const std::string folder = Program_Folder();
    if (!folder.empty()) {
        const std::string beside = folder + (folder == "/" ? "" : "/") + name;
        if (Regular_File(beside)) return beside;
    }
    return Regular_File("./" + name) ? "./" + name : "";
}

}  // namespace nrvnc
