// Files, folders and the environment on Windows.
//
// Paths are ANSI texts (the system's ANSI code page), as the program builds
// them, and go to the ANSI ("A") functions as they are; a '/' becomes '\'.
// File contents are bytes: text is read and written in the ANSI code page
// exactly as the program holds it. Failures raise a Runtime_Error numbered
// as the program's file errors are (see File_Error_Number in errors.h) with
// the system's words.
#pragma once

#include <map>
#include <string>

#include "platform/files.h"

namespace nrvnc {

// One object serves one thread at a time: it keeps its open temporaries.
class Win32_File_System : public File_System {
  public:
    Win32_File_System() = default;
    Win32_File_System(const Win32_File_System&) = delete;
    Win32_File_System& operator=(const Win32_File_System&) = delete;
    // Deletes the temporaries it made that were neither moved nor deleted.
    ~Win32_File_System() override;
    std::string Working_Directory() override;
    std::string Native_Path(const std::string& path) override;
    // Neither a folder nor a device, and neither hidden nor system.
    bool Ordinary_File_Exists(const std::string& path) override;
    bool Folder_Exists(const std::string& path) override;
    void Create_Folder(const std::string& path) override;
    std::string Read_Head(const std::string& path, std::size_t max_bytes) override;
    // Written, FlushFileBuffers'ed and closed before returning.
    void Write_File(const std::string& path, const std::string& bytes) override;
    // A new file beside beside_path, named beside_path + "." + process ID +
    // "." + a counter + "." + a random number, created with CREATE_NEW (it
    // never opens anything that already exists) and written to stable
    // storage. It stays open without FILE_SHARE_DELETE until Replace_File or
    // Delete_File, so no other save takes it for a leftover. Files of that
    // pattern beside the path that can be deleted (their writer is gone) are
    // deleted first. Returns its path; on failure nothing is left behind.
    std::string Write_Temporary_File(const std::string& beside_path,
                                     const std::string& bytes) override;
    // A rename through the open source (POSIX semantics where Windows has
    // them, so a target others hold open with FILE_SHARE_DELETE is
    // replaced), tried again for up to a second while the target is held
    // open by someone else.
    void Replace_File(const std::string& from, const std::string& to) override;
    void Delete_File(const std::string& path) override;
    // GetEnvironmentVariableA. An empty value counts as unset, as on Linux:
    // an empty "LocalAppData" would send the settings to "\NRVNC" at the
    // root of the current drive.
    std::optional<std::string> Environment_Variable(const std::string& name) override;

  private:
    std::map<std::string, void*> Open_Temporaries;  // path -> HANDLE
};

}  // namespace nrvnc
