#include "platform/win32/files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <utility>

#include "platform/error.h"
#include "platform/win32/errors.h"

namespace nrvnc {

namespace {

// Closes on every path out, so an error thrown half-way leaks nothing.
class File_Handle {
  public:
    explicit File_Handle(HANDLE handle) : Handle(handle) {}
    ~File_Handle() {
        if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    }
    File_Handle(const File_Handle&) = delete;
    File_Handle& operator=(const File_Handle&) = delete;
    HANDLE Get() const { return Handle; }
    HANDLE Release() { return std::exchange(Handle, INVALID_HANDLE_VALUE); }

  private:
    HANDLE Handle;
};

DWORD Attributes(const std::string& path) {
    return GetFileAttributesA(path.c_str());
}

void Write_All(HANDLE file, const std::string& bytes, const std::string& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD put = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &put, nullptr))
            Raise_File_Error(GetLastError(), path);
        done += put;
    }
    if (!FlushFileBuffers(file)) Raise_File_Error(GetLastError(), path);
}

// Writes, flushes and closes; the close is checked too.
void Write_And_Close(File_Handle& file, const std::string& bytes, const std::string& path) {
    Write_All(file.Get(), bytes, path);
    if (!CloseHandle(file.Release())) Raise_File_Error(GetLastError(), path);
}

}  // namespace

std::string Win32_File_System::Working_Directory() {
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    std::string buffer(needed + 1, '\0');
    DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) Raise_File_Error(GetLastError(), ".");
    buffer.resize(length);
    return buffer;
}

std::string Win32_File_System::Native_Path(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

bool Win32_File_System::Ordinary_File_Exists(const std::string& path) {
    DWORD attributes = Attributes(Native_Path(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const DWORD not_ordinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE |
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & not_ordinary) == 0;
}

bool Win32_File_System::Folder_Exists(const std::string& path) {
    DWORD attributes = Attributes(Native_Path(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32_File_System::Create_Folder(const std::string& path) {
    std::string native = Native_Path(path);
    if (!CreateDirectoryA(native.c_str(), nullptr)) Raise_File_Error(GetLastError(), native);
}

std::string Win32_File_System::Read_Head(const std::string& path, std::size_t max_bytes) {
    std::string native = Native_Path(path);
    File_Handle file(CreateFileA(native.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) Raise_File_Error(GetLastError(), native);
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < max_bytes) {
        DWORD wanted = static_cast<DWORD>(std::min(sizeof buffer, max_bytes - bytes.size()));
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, wanted, &got, nullptr))
            Raise_File_Error(GetLastError(), native);
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

void Win32_File_System::Write_File(const std::string& path, const std::string& bytes) {
    std::string native = Native_Path(path);
    File_Handle file(CreateFileA(native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) Raise_File_Error(GetLastError(), native);
    Write_And_Close(file, bytes, native);
}

std::string Win32_File_System::Write_Temporary_File(const std::string& beside_path,
                                                    const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    std::string native = Native_Path(beside_path);
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        std::string temporary = native + "." + std::to_string(GetCurrentProcessId()) + "." +
                                std::to_string(++counter) + "." +
                                std::to_string(random() % 1000000);
        File_Handle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Get() == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attempt < 100)
                continue;
            Raise_File_Error(error, temporary);
        }
        try {
            Write_And_Close(file, bytes, temporary);
        } catch (...) {
            if (file.Get() != INVALID_HANDLE_VALUE) CloseHandle(file.Release());
            DeleteFileA(temporary.c_str());
            throw;
        }
        return temporary;
    }
}

void Win32_File_System::Replace_File(const std::string& from, const std::string& to) {
    std::string native_from = Native_Path(from);
    std::string native_to = Native_Path(to);
    if (!MoveFileExA(native_from.c_str(), native_to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        // Name the path that is missing: the source, unless only the target's folder is.
        bool source_there = Attributes(native_from) != INVALID_FILE_ATTRIBUTES;
        Raise_File_Error(error,
                         error == ERROR_PATH_NOT_FOUND && source_there ? native_to : native_from);
    }
}

void Win32_File_System::Delete_File(const std::string& path) {
    std::string native = Native_Path(path);
    if (!DeleteFileA(native.c_str())) Raise_File_Error(GetLastError(), native);
}

std::optional<std::string> Win32_File_System::Environment_Variable(const std::string& name) {
    std::string value(256, '\0');
    for (;;) {
        DWORD length =
            GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return std::nullopt;  // unset, or empty
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);  // too small: length is the size needed
    }
}

}  // namespace nrvnc
