// Files, folders and the environment on Windows.
//
// Paths are ANSI texts (the system's ANSI code page), as the program builds
// them, and go to the ANSI ("A") functions as they are; a '/' becomes '\'.
// File contents are bytes: text is read and written in the ANSI code page
// exactly as the program holds it. Failures raise a Runtime_Error numbered
// as the program's file errors are (see File_Error_Number in errors.h) with
// the system's words.
#pragma once

#include <string>

#include "platform/files.h"

namespace nrvnc {

class Win32_File_System : public File_System {
  public:
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
    // never opens anything that already exists), written to stable storage
    // and closed. Returns its path; on failure nothing is left behind.
    std::string Write_Temporary_File(const std::string& beside_path,
                                     const std::string& bytes) override;
    // MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH:
    // one step, and on stable storage when it returns.
    void Replace_File(const std::string& from, const std::string& to) override;
    void Delete_File(const std::string& path) override;
    // GetEnvironmentVariableA. An empty value counts as unset, as on Linux:
    // an empty "LocalAppData" would send the settings to "\NRVNC" at the
    // root of the current drive.
    std::optional<std::string> Environment_Variable(const std::string& name) override;
};

}  // namespace nrvnc
