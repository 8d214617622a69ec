// One backend's services, for the contract every backend keeps
// (services_contract.cpp). Each backend's test program (tests/linux,
// tests/win32) defines The_Backend(); the cases that only one backend has
// stand beside it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/network.h"
#include "platform/processes.h"
#include "tests/support/peers.h"

namespace nrvnc::test {

struct Backend {
    std::function<std::unique_ptr<Clock>(uint32_t tick_offset)> Make_Clock;
    std::function<std::unique_ptr<File_System>()> Files;
    std::function<std::unique_ptr<Processes>()> Make_Processes;
    // The internet check gives up after check_limit_ms.
    std::function<std::unique_ptr<Network>(long check_limit_ms)> Make_Network;
    // The FTP client: port_for_0 stands for port 0; limit_ms bounds the
    // connection (a step gets twice that), 0 keeps the defaults.
    std::function<std::unique_ptr<Ftp_Client>(uint16_t port_for_0, long limit_ms)> Ftp;
    bool (*Wait_For_Activity)(int timeout_ms);
    // Makes files that exist but are not ordinary (hidden...) in the folder.
    std::function<std::vector<std::string>(const Temp_Folder&)> Not_Ordinary_Files;
    std::string Child_Line;  // starts a program that runs for a while
    // Whether a dead save's temporary written within the last minute stays
    // (a save on another machine sharing the folder may own it).
    bool Keeps_Recent_Leftovers;
    // The workers and cached copies a transfer may leave behind.
    std::function<int(const std::string& stem)> Transfer_Traces = [](const std::string&) {
        return 0;
    };
};

const Backend& The_Backend();

// A factory for a service without arguments.
template <typename Service>
std::unique_ptr<Service> Make() {
    return std::make_unique<Service>();
}

}  // namespace nrvnc::test
