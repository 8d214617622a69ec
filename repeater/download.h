// Fetching the current repeater address and port from the FTP server.
#pragma once

#include <string>

namespace nrvnc {

class Misc;

bool Open_FTP_Connection(Misc& misc, const std::string& Agent_Name);
void Close_FTP_Connection(Misc& misc);

// Downloads VNCRepeater/Repeater.Dat, takes its two lines into Repeater_IP
// and Port_Num, deletes the local copy. Reports its own failures (message
// 3) and returns false then.
bool Get_Repeater_IP_File(Misc& misc);

}  // namespace nrvnc
