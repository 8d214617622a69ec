#include "platform/win32/files.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/common/temporary_names.h"
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

// A brief open by someone else (another instance reading its settings, a
// virus scanner, an indexer) refuses a replace with one of these; it is
// tried again for this long.
constexpr DWORD Busy_Retry_Ms = 1000;

bool Busy(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// Renames the open file over `to`; 0 or the error. Windows 10 1709 and later
// replace even a file that others hold open (with FILE_SHARE_DELETE) when
// asked for POSIX semantics; older Windows, some file systems and Wine
// refuse that request, and get the classic replace.
DWORD Rename_Over(HANDLE file, const std::string& to) {
    int length = MultiByteToWideChar(CP_ACP, 0, to.c_str(), -1, nullptr, 0);
    if (length <= 0) return GetLastError();
    std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) +
                                  static_cast<std::size_t>(length) * sizeof(WCHAR));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    MultiByteToWideChar(CP_ACP, 0, to.c_str(), -1, info->FileName, length);
    info->FileNameLength = static_cast<DWORD>(length - 1) * sizeof(WCHAR);
    // The flags share their place with ReplaceIfExists; this header may
    // predate them.
    const DWORD replace_posix = 0x1 | 0x2;  // REPLACE_IF_EXISTS | POSIX_SEMANTICS
    const auto rename_ex = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);  // FileRenameInfoEx
    std::memcpy(buffer.data(), &replace_posix, sizeof replace_posix);
    if (SetFileInformationByHandle(file, rename_ex, info, static_cast<DWORD>(buffer.size())))
        return 0;
    DWORD error = GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_INVALID_FUNCTION &&
        error != ERROR_NOT_SUPPORTED)
        return error;
    const DWORD replace = TRUE;
    std::memcpy(buffer.data(), &replace, sizeof replace);
    if (SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
        return 0;
    return GetLastError();
}

// Deletes the temporaries that earlier saves beside this path left when they
// died before the replace. A save holds its temporary open without
// FILE_SHARE_DELETE until it is renamed, so a live save's file refuses the
// delete and stays; a dead save's handle was closed by the system.
void Remove_Leftovers(const std::string& native) {
    std::string::size_type cut = native.find_last_of("\\:");
    std::string folder = cut == std::string::npos ? "" : native.substr(0, cut + 1);
    std::string name = native.substr(folder.size());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((native + ".*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            Temporary_Names::Writer(found.cFileName, name) != 0)
            DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace

Win32_File_System::~Win32_File_System() {
    // Temporaries neither moved nor deleted: nothing will use them.
    for (const auto& [path, handle] : Open_Temporaries) {
        FILE_DISPOSITION_INFO dispose{TRUE};
        SetFileInformationByHandle(handle, FileDispositionInfo, &dispose, sizeof dispose);
        CloseHandle(handle);
    }
}

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
    std::string native = Native_Path(beside_path);
    Remove_Leftovers(native);
    for (int attempt = 0;; ++attempt) {
        std::string temporary = Temporary_Names::Next(native, GetCurrentProcessId());
        // Kept open, deletable by none but this handle, until it is moved
        // or deleted: that is what tells a live save's file from a leftover.
        File_Handle file(CreateFileA(temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                     nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Get() == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attempt < 100)
                continue;
            Raise_File_Error(error, temporary);
        }
        try {
            Write_All(file.Get(), bytes, temporary);
        } catch (...) {
            FILE_DISPOSITION_INFO dispose{TRUE};
            SetFileInformationByHandle(file.Get(), FileDispositionInfo, &dispose, sizeof dispose);
            throw;
        }
        Open_Temporaries[temporary] = file.Release();
        return temporary;
    }
}

void Win32_File_System::Replace_File(const std::string& from, const std::string& to) {
    std::string native_from = Native_Path(from);
    std::string native_to = Native_Path(to);
    auto held = Open_Temporaries.find(native_from);
    File_Handle file(held != Open_Temporaries.end()
                         ? held->second
                         : CreateFileA(native_from.c_str(), DELETE | SYNCHRONIZE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (held != Open_Temporaries.end()) Open_Temporaries.erase(held);
    if (file.Get() == INVALID_HANDLE_VALUE) Raise_File_Error(GetLastError(), native_from);
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD error = Rename_Over(file.Get(), native_to);
        if (error == 0) return;
        if (!Busy(error) || GetTickCount() - start >= Busy_Retry_Ms)
            Raise_File_Error(error, error == ERROR_PATH_NOT_FOUND ? native_to : native_from);
        Sleep(5);
    }
}

void Win32_File_System::Delete_File(const std::string& path) {
    std::string native = Native_Path(path);
    if (auto held = Open_Temporaries.find(native); held != Open_Temporaries.end()) {
        CloseHandle(held->second);
        Open_Temporaries.erase(held);
    }
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
