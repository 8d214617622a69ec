// The one run-time error type of the program.
//
// Backends turn errno, libcurl, Win32 and WinINet failures into a
// Runtime_Error at the seam, with the operating system's own words as the
// description. The core raises and catches it the way its procedures do:
// most procedures let it pass, a few have a local failure path, and Main has
// the catch-all.
#pragma once

#include <stdexcept>
#include <string>

namespace nrvnc {

class Runtime_Error : public std::runtime_error {
public:
    Runtime_Error(int number, const std::string& description)
        : std::runtime_error(description), Number(number), Description(description) {}

    int Number;
    std::string Description;
};

// Error numbers used where the program raises an error of its own.
namespace Error_Number {
constexpr int Type_Mismatch = 13;
constexpr int Subscript_Out_Of_Range = 9;
constexpr int Overflow = 6;
constexpr int File_Not_Found = 53;
constexpr int Path_Not_Found = 76;
constexpr int Permission_Denied = 70;
constexpr int Device_IO_Error = 57;
constexpr int Disk_Full = 61;
constexpr int Path_File_Access_Error = 75;
constexpr int Invalid_Procedure_Call = 5;
constexpr int Object_Required = 424;
constexpr int Socket_Error = 40006;
}  // namespace Error_Number

}  // namespace nrvnc
