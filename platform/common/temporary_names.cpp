#include "platform/common/temporary_names.h"

#include <atomic>
#include <cstdio>
#include <random>
#include <regex>

namespace nrvnc::Temporary_Names {

namespace {

uint32_t System_Random() {
    return std::random_device()();
}

}  // namespace

uint32_t (*Random)() = System_Random;

std::string Next(const std::string& native, unsigned long process_id) {
    static std::atomic<unsigned> counter{0};
    char suffix[64];
    snprintf(suffix, sizeof suffix, ".%lu.%u.%08x", process_id, ++counter,
             static_cast<unsigned>(Random()));
    return native + suffix;
}

unsigned long Writer(const std::string& file_name, const std::string& name) {
    // A shorter random part, in decimal, is how earlier Windows saves named
    // theirs: those are leftovers too.
    static const std::regex suffix("\\.([1-9][0-9]{0,8})\\.[0-9]+\\.[0-9a-f]{1,8}");
    std::smatch match;
    if (file_name.size() <= name.size() || file_name.compare(0, name.size(), name) != 0) return 0;
    const std::string rest = file_name.substr(name.size());
    return std::regex_match(rest, match, suffix) ? std::stoul(match[1]) : 0;
}

}  // namespace nrvnc::Temporary_Names
