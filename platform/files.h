// Files, folders and the environment.
//
// Paths are texts as the program builds them: the core joins folders with a
// backslash, and Native_Path turns such a path into the platform's form
// (on Linux the backslash becomes a slash). Relative paths are relative to
// the process's working directory. Every failing operation raises a
// Runtime_Error carrying the operating system's words.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace nrvnc {

class File_System {
  public:
    virtual ~File_System() = default;

    virtual std::string Working_Directory() = 0;

    // The path as the platform spells it (separator of the platform).
    virtual std::string Native_Path(const std::string& path) = 0;

    // True for an ordinary file; folders, devices, and hidden or system
    // files (where the platform has them) do not count. Never raises.
    virtual bool Ordinary_File_Exists(const std::string& path) = 0;

    // True for an existing folder. Never raises.
    virtual bool Folder_Exists(const std::string& path) = 0;

    // Creates one folder level; the parent must exist.
    virtual void Create_Folder(const std::string& path) = 0;

    // Reads at most max_bytes from the start of the file. The result is
    // shorter than max_bytes exactly when the file ended first.
    virtual std::string Read_Head(const std::string& path, std::size_t max_bytes) = 0;

    // Creates or truncates the file and writes the bytes to stable storage
    // before returning (flushed and closed).
    virtual void Write_File(const std::string& path, const std::string& bytes) = 0;

    // Creates a new file in the folder of beside_path, named beside_path
    // plus a suffix of its own that differs from save to save, writes the
    // bytes to stable storage and returns its path (a backend may keep it
    // open until Replace_File or Delete_File of it). The file is created
    // exclusively: a file or link already under the chosen name is never
    // opened. On failure nothing is left behind. Temporaries beside the same
    // path that earlier saves left when they died are removed first; one
    // that a running save is writing is never touched.
    virtual std::string Write_Temporary_File(const std::string& beside_path,
                                             const std::string& bytes) = 0;

    // Moves a file over another in one step: afterwards `to` holds either its
    // old content or all of `from`'s, never a mix, whatever moment the
    // program dies at.
    virtual void Replace_File(const std::string& from, const std::string& to) = 0;

    virtual void Delete_File(const std::string& path) = 0;

    // The value of an environment variable; nullopt when it is not set.
    virtual std::optional<std::string> Environment_Variable(const std::string& name) = 0;
};

}  // namespace nrvnc
