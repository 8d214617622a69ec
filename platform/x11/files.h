// Files, folders and the environment on Linux.
//
// Every operation first turns the path into its native form (backslashes
// become slashes), so the core's "folder\NRVNC.INI" paths work as they are.
// Failures raise a Runtime_Error numbered as the program's file errors are
// (53 file not found, 76 path not found, 70 permission denied, 61 disk full,
// 57 device I/O error, 75 any other access error) with strerror's words as
// the description.
#pragma once

#include <utility>

#include "platform/files.h"

namespace nrvnc {

class Linux_File_System : public File_System {
  public:
    // `program_name`: the file name of a program that Processes::Start runs
    // (the viewer's); empty for none.
    explicit Linux_File_System(std::string program_name = {})
        : Program_Name_(std::move(program_name)) {}

    std::string Working_Directory() override;
    // The program's file name, spelt alone, becomes the path where
    // Processes::Start finds it (beside this program, then the working
    // directory; see program_lookup.h), so that a check of that path and
    // the start agree on the file.
    std::string Native_Path(const std::string& path) override;
    // A regular file, after following symbolic links. A name that starts
    // with a dot is hidden on Linux and does not count.
    bool Ordinary_File_Exists(const std::string& path) override;
    bool Folder_Exists(const std::string& path) override;
    void Create_Folder(const std::string& path) override;
    std::string Read_Head(const std::string& path, std::size_t max_bytes) override;
    // Written, fsync'ed and closed before returning.
    void Write_File(const std::string& path, const std::string& bytes) override;
    // "<name>.<pid>.<counter>.<random>" beside the file, created with
    // O_CREAT | O_EXCL | O_NOFOLLOW (a planted file or link under that name
    // makes the attempt fail, and another name is tried), fsync'ed, closed.
    // Files of that pattern beside the path whose process runs no more and
    // that were last written a minute ago or earlier are deleted first.
    std::string Write_Temporary_File(const std::string& beside_path,
                                     const std::string& bytes) override;
    // rename(), then an fsync of the destination's folder so that the new
    // name survives a crash as well.
    void Replace_File(const std::string& from, const std::string& to) override;
    void Delete_File(const std::string& path) override;
    // "ProgramFiles": the variable when it is set and not empty, else unset
    // (Linux has no such folder). "LocalAppData": the variable when it is set
    // and not empty, else the XDG data home ($XDG_DATA_HOME when it is an
    // absolute path, else $HOME/.local/share). An empty value of either would
    // make the core look for "\NRVNC" at the root of the file system, so it
    // counts as unset. Any other name: the variable as it is.
    std::optional<std::string> Environment_Variable(const std::string& name) override;

  private:
    std::string Program_Name_;
};

// The Runtime_Error for an errno value met on path (used by the other Linux
// services too). ENOENT is "path not found" when the folder part of the path
// does not exist either.
[[noreturn]] void Raise_Errno(int error, const std::string& path);

}  // namespace nrvnc
