// Lines of the small text files the program reads: the settings file and the
// downloaded repeater address file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace nrvnc {

// The first `count` lines of `head`, the start of a file (`whole_file`: the
// file ends where head ends). A line ends at CR, which takes a following LF
// with it, or at a bare LF. A last line that the file ends without a line
// ending still counts when it holds at least one character. A line that is
// not there (the file ended first) or runs past a head that is not the whole
// file is nullopt.
std::vector<std::optional<std::string>> Head_Lines(const std::string& head, bool whole_file,
                                                   std::size_t count);

}  // namespace nrvnc
