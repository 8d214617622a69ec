#include "settings/settings.h"

#include <array>
#include <optional>
#include <string>

#include "builtin_values.h"
#include "dialogs/message/frm_msg_box.h"
#include "repeater/frm_communications.h"
#include "session/state/misc.h"
#include "settings/numeric_text.h"
#include "settings/text_lines.h"
#include "settings/validation.h"

namespace nrvnc {

namespace {

constexpr const char* Default_Host_Name = "Host Computer Name or IP Address";
constexpr const char* Default_Port_Num = "5901";
constexpr const char* INI_File_Name = "NRVNC.INI";

// The file holds three short lines; reading stops this far into it, so a
// huge file (or a device) can neither stall the program nor fill memory.
constexpr std::size_t Read_Limit = 64 * 1024;

// Numbers of the reading errors; they only decide that the defaults apply.
constexpr int Input_Past_End_Of_File = 62;
constexpr int Bad_File_Format = 321;

// The settings path under the folder named by an environment variable, or
// nothing when the variable is not set (or empty): an unset variable must
// not turn into a path at the root of the drive.
std::optional<std::string> Place_Under(Misc& misc, const char* variable) {
    std::optional<std::string> folder = misc.Sys.files.Environment_Variable(variable);
    if (!folder || folder->empty()) return std::nullopt;
    return *folder + "\\NRVNC\\" + INI_File_Name;
}

bool Settings_File_Exists(Misc& misc, const std::optional<std::string>& path) {
    return path && misc.Sys.files.Ordinary_File_Exists(misc.Sys.files.Native_Path(*path));
}

// The first three lines of the file (lines end as Head_Lines says). Fewer
// than three lines, a line that does not end within the read limit, or a
// control character (other than TAB) inside the lines is an error: such a
// file was not written by this program.
std::array<std::string, 3> Read_Three_Lines(Misc& misc, const std::string& path) {
    // One byte more than the limit tells a file that ends at the limit from
    // a longer one.
    std::string head = misc.Sys.files.Read_Head(path, Read_Limit + 1);
    const bool whole_file = head.size() <= Read_Limit;
    if (!whole_file) head.resize(Read_Limit);

    std::array<std::string, 3> lines;
    std::size_t i = 0;
    for (std::optional<std::string>& line : Head_Lines(head, whole_file, lines.size())) {
        if (!line) throw Runtime_Error(Input_Past_End_Of_File, "Input past end of file");
        for (unsigned char c : *line)
            if ((c < 0x20 && c != '\t') || c == 0x7F)
                throw Runtime_Error(Bad_File_Format, "Invalid file format");
        lines[i++] = std::move(*line);
    }
    return lines;
}

// One attempt of the folder choice: the NRVNC folder under the folder named
// by the variable, created when missing (one level only). Nothing chosen
// when the variable is unset, its folder is missing or the creation fails.
std::optional<std::string> Settings_Folder_Under(Misc& misc, const char* variable) {
    std::optional<std::string> base = misc.Sys.files.Environment_Variable(variable);
    if (!base || base->empty()) return std::nullopt;
    File_System& files = misc.Sys.files;
    if (!files.Folder_Exists(files.Native_Path(*base))) return std::nullopt;
    const std::string folder = *base + "\\NRVNC";
    if (files.Folder_Exists(files.Native_Path(folder))) return folder;
    try {
        files.Create_Folder(files.Native_Path(folder));
    } catch (const Runtime_Error&) {
        return std::nullopt;
    }
    return folder;
}

}  // namespace

void Set_Default_Settings(Misc& misc) {
    misc.Host_Name = Default_Host_Name;
    misc.Repeater_IP = Builtin::Default_Repeater_Host;
    misc.Port_Num = Default_Port_Num;
    Tcp_Socket& Winsock1 = frmCommunications(misc).Winsock1();
    Winsock1.Close();
    Winsock1.Set_Remote_Port(Long_Value(misc.Port_Num));
    Winsock1.Set_Remote_Host(misc.Repeater_IP);
}

void Load_Settings(Misc& misc) {
    std::optional<std::string> candidate = std::string(INI_File_Name);
    if (!Settings_File_Exists(misc, candidate)) {
        candidate = Place_Under(misc, "ProgramFiles");
        misc.Do_Events();
        if (!Settings_File_Exists(misc, candidate)) {
            candidate = Place_Under(misc, "LocalAppData");
            if (!Settings_File_Exists(misc, candidate)) candidate.reset();
        }
    }
    // Kept as the platform spells it, so the failure message names the real file.
    misc.INI_File_Path = candidate ? misc.Sys.files.Native_Path(*candidate) : "";
    if (misc.INI_File_Path.empty()) {
        Set_Default_Settings(misc);
        return;
    }

    try {
        std::array<std::string, 3> lines =
            Read_Three_Lines(misc, misc.Sys.files.Native_Path(misc.INI_File_Path));
        misc.Host_Name = std::move(lines[0]);
        misc.Repeater_IP = std::move(lines[1]);
        misc.Port_Num = std::move(lines[2]);
    } catch (const Runtime_Error&) {
        // Unreadable or not ours: all three defaults, whatever was read; the
        // path found stays, so the next save rewrites that file.
        Set_Default_Settings(misc);
        return;
    }
    misc.Do_Events();

    // Each value that fails its check is replaced on its own.
    if (!Valid_Address(misc, 0)) misc.Repeater_IP = Builtin::Default_Repeater_Host;
    if (!Valid_Address(misc, 1)) misc.Host_Name = Default_Host_Name;
    if (!Valid_Port(misc)) misc.Port_Num = Default_Port_Num;
}

void Save_Settings(Misc& misc) {
    File_System& files = misc.Sys.files;
    std::string temporary;
    try {
        if (misc.INI_File_Path.empty()) {
            std::optional<std::string> folder = Settings_Folder_Under(misc, "ProgramFiles");
            if (!folder) folder = Settings_Folder_Under(misc, "LocalAppData");
            misc.INI_File_Path =
                files.Native_Path(folder ? *folder + "\\" + INI_File_Name : INI_File_Name);
        }
        // The new content goes to a file of its own beside the old one first
        // and then replaces it in one step: a save that dies half-way leaves
        // the old settings, never a truncated file (and its temporary is
        // removed by the next save), and two saves at once never write into
        // the same file.
        const std::string path = files.Native_Path(misc.INI_File_Path);
        temporary = files.Write_Temporary_File(
            path, misc.Host_Name + "\r\n" + misc.Repeater_IP + "\r\n" + misc.Port_Num + "\r\n");
        files.Replace_File(temporary, path);
    } catch (const Runtime_Error& error) {
        if (!temporary.empty()) {
            try {
                files.Delete_File(temporary);
            } catch (const Runtime_Error&) {
                // Already gone; a leftover is never read.
            }
        }
        frmMsgBox(misc).Do_User_Msg(
            3, std::string("There was an error openning file ") + misc.INI_File_Path + ".",
            "Error # " + std::to_string(error.Number) + "  " + error.Description);
    }
}

}  // namespace nrvnc
