#include "platform/win32/errors.h"

#include <windows.h>

#include "platform/error.h"

namespace nrvnc {

namespace {

bool Is_Wininet_Code(unsigned long code) {
    return code >= 12000 && code <= 12999;
}

}  // namespace

std::string System_Words(unsigned long code) {
    char* text = nullptr;
    DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    HMODULE wininet = Is_Wininet_Code(code) ? GetModuleHandleA("wininet.dll") : nullptr;
    if (wininet) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    DWORD length =
        FormatMessageA(flags, wininet, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words = length && text ? std::string(text, length) : std::string();
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == '\r' || words.back() == '\n' || words.back() == ' '))
        words.pop_back();
    return words.empty() ? "Error " + std::to_string(code) : words;
}

int File_Error_Number(unsigned long code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return Error_Number::File_Not_Found;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY:
            return Error_Number::Path_Not_Found;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return Error_Number::Permission_Denied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return Error_Number::Disk_Full;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_NOT_READY:
            return Error_Number::Device_IO_Error;
        default:
            return Error_Number::Path_File_Access_Error;
    }
}

void Raise_File_Error(unsigned long code, const std::string& path) {
    throw Runtime_Error(File_Error_Number(code), System_Words(code) + ": " + path);
}

}  // namespace nrvnc
