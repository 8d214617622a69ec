#include "platform/x11/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/common/temporary_names.h"
#include "platform/error.h"
#include "platform/x11/program_lookup.h"

namespace nrvnc {

namespace {

std::string Folder_Part(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string Name_Part(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Is_Folder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> Non_Empty_Variable(const char* name) {
    const char* value = getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

// Closes on every path out, so an error thrown half-way leaks nothing.
class File_Descriptor {
  public:
    explicit File_Descriptor(int fd) : Fd(fd) {}
    ~File_Descriptor() {
        if (Fd >= 0) close(Fd);
    }
    File_Descriptor(const File_Descriptor&) = delete;
    File_Descriptor& operator=(const File_Descriptor&) = delete;
    int Get() const { return Fd; }
    int Release() { return std::exchange(Fd, -1); }

  private:
    int Fd;
};

// Writes all bytes, then syncs and closes; raises on the first failure.
void Write_Sync_Close(File_Descriptor& file, const std::string& bytes, const std::string& native);

}  // namespace

void Raise_Errno(int error, const std::string& path) {
    int number;
    switch (error) {
        case ENOENT:
            number = Is_Folder(Folder_Part(path)) ? Error_Number::File_Not_Found
                                                  : Error_Number::Path_Not_Found;
            break;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            number = Error_Number::Path_Not_Found;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            number = Error_Number::Permission_Denied;
            break;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            number = Error_Number::Disk_Full;
            break;
        case EIO:
            number = Error_Number::Device_IO_Error;
            break;
        default:
            number = Error_Number::Path_File_Access_Error;
            break;
    }
    throw Runtime_Error(number, strerror(error));
}

std::string Linux_File_System::Working_Directory() {
    std::string buffer(256, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) Raise_Errno(errno, ".");
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(strlen(buffer.c_str()));
    return buffer;
}

std::string Linux_File_System::Native_Path(const std::string& path) {
    if (!Program_Name_.empty() && path == Program_Name_) {
        const std::string found = Find_Beside_Program_Or_Here(path);
        if (!found.empty()) return found;
    }
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool Linux_File_System::Ordinary_File_Exists(const std::string& path) {
    std::string native = Native_Path(path);
    std::string name = Name_Part(native);
    if (name.empty() || name.front() == '.') return false;
    struct stat info {};
    return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Linux_File_System::Folder_Exists(const std::string& path) {
    return Is_Folder(Native_Path(path));
}

void Linux_File_System::Create_Folder(const std::string& path) {
    std::string native = Native_Path(path);
    if (mkdir(native.c_str(), 0777) != 0) Raise_Errno(errno, native);
}

std::string Linux_File_System::Read_Head(const std::string& path, std::size_t max_bytes) {
    std::string native = Native_Path(path);
    File_Descriptor file(open(native.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) Raise_Errno(errno, native);
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < max_bytes) {
        std::size_t wanted = std::min(sizeof buffer, max_bytes - bytes.size());
        ssize_t got = read(file.Get(), buffer, wanted);
        if (got < 0) {
            if (errno == EINTR) continue;
            Raise_Errno(errno, native);
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

namespace {

void Write_Sync_Close(File_Descriptor& file, const std::string& bytes, const std::string& native) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            Raise_Errno(errno, native);
        }
        done += static_cast<std::size_t>(put);
    }
    if (fsync(file.Get()) != 0 && errno != EINVAL) Raise_Errno(errno, native);
    // Late write errors (NFS, quotas) show up only at close.
    if (close(file.Release()) != 0 && errno != EINTR) Raise_Errno(errno, native);
}

// Deletes the temporaries that earlier saves beside this path left when they
// died before the replace: those whose process runs no more and that nobody
// has written for a minute. The age keeps apart a live save on another
// machine that shares the folder (its process ID means nothing here); a save
// holds its temporary for milliseconds.
void Remove_Leftovers(const std::string& native) {
    const std::string folder = Folder_Part(native), name = Name_Part(native);
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return;
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(listing)) {
        unsigned long writer = Temporary_Names::Writer(entry->d_name, name);
        if (writer == 0 || kill(static_cast<pid_t>(writer), 0) == 0 || errno != ESRCH) continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && now - info.st_mtime >= 60)
            unlink(path.c_str());
    }
    closedir(listing);
}

}  // namespace

void Linux_File_System::Write_File(const std::string& path, const std::string& bytes) {
    std::string native = Native_Path(path);
    File_Descriptor file(open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (file.Get() < 0) Raise_Errno(errno, native);
    Write_Sync_Close(file, bytes, native);
}

std::string Linux_File_System::Write_Temporary_File(const std::string& beside_path,
                                                    const std::string& bytes) {
    std::string native = Native_Path(beside_path);
    Remove_Leftovers(native);
    for (int attempt = 0;; ++attempt) {
        std::string temporary = Temporary_Names::Next(native, static_cast<unsigned long>(getpid()));
        File_Descriptor file(
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.Get() < 0) {
            if (errno == EEXIST && attempt < 16) continue;
            Raise_Errno(errno, temporary);
        }
        try {
            Write_Sync_Close(file, bytes, temporary);
        } catch (const Runtime_Error&) {
            unlink(temporary.c_str());
            throw;
        }
        return temporary;
    }
}

void Linux_File_System::Replace_File(const std::string& from, const std::string& to) {
    std::string native_from = Native_Path(from);
    std::string native_to = Native_Path(to);
    if (rename(native_from.c_str(), native_to.c_str()) != 0) {
        int error = errno;
        // Name the path that is missing: the source, unless only the target's folder is.
        Raise_Errno(error, error == ENOENT && access(native_from.c_str(), F_OK) == 0 ? native_to
                                                                                     : native_from);
    }
    // The rename is done; a folder that cannot be synced (some file systems
    // refuse) leaves it as safe as the file system makes it.
    File_Descriptor folder(
        open(Folder_Part(native_to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0) fsync(folder.Get());
}

void Linux_File_System::Delete_File(const std::string& path) {
    std::string native = Native_Path(path);
    if (unlink(native.c_str()) != 0) Raise_Errno(errno, native);
}

std::optional<std::string> Linux_File_System::Environment_Variable(const std::string& name) {
    if (name == "ProgramFiles") return Non_Empty_Variable("ProgramFiles");
    if (name == "LocalAppData") {
        if (auto value = Non_Empty_Variable("LocalAppData")) return value;
        if (auto xdg = Non_Empty_Variable("XDG_DATA_HOME"); xdg && xdg->front() == '/') return xdg;
        if (auto home = Non_Empty_Variable("HOME")) return *home + "/.local/share";
        return std::nullopt;
    }
    const char* value = getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace nrvnc
