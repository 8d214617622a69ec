// Windows error codes at the seam: GetLastError, Winsock and WinINet codes
// become the program's Runtime_Error, with the system's own words.
#pragma once

#include <string>

namespace nrvnc {

// The system's words for an error code (FormatMessageA; WinINet's own codes
// come from its message table), without the trailing line break. A code
// the system has no words for reads "Error <code>".
std::string System_Words(unsigned long code);

// The program's error number for a Windows file error: 53 file not found,
// 76 path not found, 70 permission denied, 61 disk full, 57 device I/O
// error, 75 any other access error.
int File_Error_Number(unsigned long code);

// Raises the Runtime_Error for a file error met on path; the description
// is the system's words followed by ": " and the path.
[[noreturn]] void Raise_File_Error(unsigned long code, const std::string& path);

}  // namespace nrvnc
