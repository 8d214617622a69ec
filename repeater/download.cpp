#include "repeater/download.h"

#include <cstddef>
#include <optional>
#include <string>

#include "builtin_values.h"
#include "dialogs/message/frm_msg_box.h"
#include "platform/error.h"
#include "platform/network.h"
#include "repeater/frm_communications.h"
#include "session/state/misc.h"
#include "settings/text_lines.h"
#include "settings/validation.h"

namespace nrvnc {

namespace {

constexpr const char* Repeater_Folder = "VNCRepeater";
constexpr const char* Repeater_File = "Repeater.Dat";

// The file is two short lines. Whatever else arrives (a huge or binary file)
// is never read beyond this.
constexpr std::size_t Read_Limit = 4096;
// A larger file is not fetched at all: it is no repeater file.
constexpr std::size_t Download_Limit = 64 * 1024;
// A longer line is no address: it is treated as unreadable.
constexpr std::size_t Longest_Value = 255;

// Texts of the failure steps 1 to 3.
const char* Step_Text(int step) {
    switch (step) {
        case 1:
            return "connecting to";
        case 2:
            return "finding the file path on";
        default:
            return "transferring the repeater IP file from";
    }
}

// Takes line 1 into Repeater_IP and line 2 into Port_Num when each passes
// the check a typed value passes; a line that is missing, cannot be read or
// fails its check leaves its value as it was.
void Read_Repeater_File(Misc& misc, const std::string& path) {
    std::string head;
    try {
        // One byte more than the limit tells a file that ends at the limit
        // from a longer one.
        head = misc.Sys.files.Read_Head(path, Read_Limit + 1);
    } catch (const Runtime_Error&) {
        return;
    }
    const bool whole_file = head.size() <= Read_Limit;
    if (!whole_file) head.resize(Read_Limit);
    auto lines = Head_Lines(head, whole_file, 2);
    auto take = [&](const std::optional<std::string>& line, std::string& value, bool valid(Misc&)) {
        if (!line || line->size() > Longest_Value) return;
        std::string old = std::move(value);
        value = *line;
        if (!valid(misc)) value = std::move(old);
    };
    take(lines[0], misc.Repeater_IP, [](Misc& m) { return Valid_Address(m, 0); });
    take(lines[1], misc.Port_Num, Valid_Port);
}

// One connect attempt; a call that fails outright counts as no connection.
Ftp_Client::Handle Connect_To(Ftp_Client& ftp, Ftp_Client::Handle session,
                              const std::string& server) {
    try {
        return ftp.Internet_Connect(session, server, 0, Builtin::FTP_User_Name,
                                    Builtin::FTP_Password);
    } catch (const Runtime_Error&) {
        return 0;
    }
}

void Close_Quietly(Ftp_Client& ftp, Ftp_Client::Handle handle) {
    try {
        ftp.Close_Handle(handle);
    } catch (const Runtime_Error&) {
        // The result of a close is not used.
    }
}

}  // namespace

bool Open_FTP_Connection(Misc& misc, const std::string& Agent_Name) {
    Ftp_Client& ftp = misc.Sys.network.Ftp();
    FrmCommunications& communications = frmCommunications(misc);

    // A session left over from an earlier open would otherwise be lost.
    if (communications.FTP_Session != 0) {
        Close_Quietly(ftp, communications.FTP_Session);
        communications.FTP_Session = 0;
    }

    Ftp_Client::Handle session = 0;
    try {
        session = ftp.Internet_Open(Agent_Name);
    } catch (const Runtime_Error&) {
        session = 0;
    }

    if (session != 0) {
        misc.Do_Events();
        misc.FTP_Handle = 0;
        misc.FTP_Handle = Connect_To(ftp, session, Builtin::FTP_Server_Name);
        // Some servers are only reached through the URL form of the name.
        if (misc.FTP_Handle == 0)
            misc.FTP_Handle =
                Connect_To(ftp, session, std::string("ftp://") + Builtin::FTP_Server_Name);

        if (misc.FTP_Handle != 0)
            communications.FTP_Session = session;
        else
            Close_Quietly(ftp, session);  // of no use without a connection
    }
    return misc.FTP_Handle != 0;
}

void Close_FTP_Connection(Misc& misc) {
    Ftp_Client& ftp = misc.Sys.network.Ftp();
    if (misc.FTP_Handle != 0) {
        Close_Quietly(ftp, misc.FTP_Handle);
        misc.FTP_Handle = 0;
    }
    FrmCommunications& communications = frmCommunications(misc);
    if (communications.FTP_Session != 0) {
        Close_Quietly(ftp, communications.FTP_Session);
        communications.FTP_Session = 0;
    }
}

bool Get_Repeater_IP_File(Misc& misc) {
    Ftp_Client& ftp = misc.Sys.network.Ftp();
    const std::string Local_Path = misc.Sys.files.Native_Path(Repeater_File);

    misc.Do_Events();
    int Failure_Step = 0;

    // A copy left by a run that ended between the transfer and the delete
    // (or a transfer cut off half-way) goes first; it is never read.
    if (misc.Sys.files.Ordinary_File_Exists(Local_Path)) {
        try {
            misc.Sys.files.Delete_File(Local_Path);
        } catch (const Runtime_Error&) {
            // The transfer overwrites it, or fails and nothing is read.
        }
    }

    if (!Open_FTP_Connection(misc, "NR Repeater IP File Download")) {
        Failure_Step = 1;
    } else {
        try {
            misc.Do_Events();
            bool In_Folder = false;
            try {
                In_Folder = ftp.Set_Current_Directory(misc.FTP_Handle, Repeater_Folder);
            } catch (const Runtime_Error&) {
                In_Folder = false;
            }
            if (!In_Folder) {
                Failure_Step = 2;
            } else {
                misc.Do_Events();
                bool Fetched = false;
                try {
                    Fetched = ftp.Get_File(misc.FTP_Handle, Repeater_File, Local_Path, true,
                                           Download_Limit);
                } catch (const Runtime_Error&) {
                    Fetched = false;
                }
                if (!Fetched) Failure_Step = 3;
            }
            misc.Do_Events();
        } catch (...) {
            // An error raised while events ran must not leave the
            // connection open behind it.
            Close_FTP_Connection(misc);
            throw;
        }
        Close_FTP_Connection(misc);
    }

    if (Failure_Step == 0) {
        Read_Repeater_File(misc, Local_Path);
        misc.Do_Events();
        // Not trapped: a copy that cannot be deleted is the caller's error.
        misc.Sys.files.Delete_File(Local_Path);
    } else {
        const std::string Error_Text = std::string("  There was an error ") +
                                       Step_Text(Failure_Step) + " the Norvane FTP server.  ";
        if (misc.MsgBox_Loaded) frmMsgBox(misc).Close_frmMsgBox();
        frmMsgBox(misc).Do_User_Msg(3, Msg_Value{Error_Text}, Msg_Value{std::string()});
    }
    return Failure_Step == 0;
}

}  // namespace nrvnc
