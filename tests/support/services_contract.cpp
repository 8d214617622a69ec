// The contract of the services every backend keeps, against the real
// machine and real peers on loopback: built into each backend's test program,
// which supplies its services (backend.h).
#include <gtest/gtest.h>

#include "platform/common/temporary_names.h"
#include "tests/support/backend.h"

namespace nrvnc::test {
namespace {

const Backend& B = The_Backend();
namespace fs = std::filesystem;

// The weekday: the whole-program runs give control by today's access code.
TEST(Clock, Tick_Count_Wraps_At_32_Bits) {
    auto clock = B.Make_Clock(0xFFFFFFFFu - 200u - B.Make_Clock(0)->Tick_Count());  // 200 ms left
    const uint32_t before = clock->Tick_Count();
    clock->Sleep_Ex(300, false);
    EXPECT_GE(clock->Tick_Count() - before, 280u);  // Windows counts in steps of up to 16 ms
    EXPECT_LT(clock->Tick_Count(), before);
}

TEST(Files, Are_Written_Replaced_At_Once_And_Read_At_Their_Head) {
    Temp_Folder folder;
    const auto files = B.Files();
    const std::string ini = folder / "NRVNC.INI";
    files->Write_File(ini, "old host\r\n");
    // Only ordinary files count. (Paths with either separator: the
    // whole-program runs on Linux, where the program joins with "\\".)
    EXPECT_TRUE(files->Ordinary_File_Exists(ini));
    for (const std::string& path : B.Not_Ordinary_Files(folder))
        EXPECT_FALSE(files->Ordinary_File_Exists(path)) << path;
    const std::string mine = files->Write_Temporary_File(ini, "new host\r\n\xE9\r\n");
    const std::string other = files->Write_Temporary_File(ini, "other");  // a new one each time
    EXPECT_NE(mine, other);
    EXPECT_EQ(fs::path(mine).parent_path(), fs::path(folder.Path));
    EXPECT_EQ(Read_Text(ini), "old host\r\n");
    files->Replace_File(mine, ini);
    EXPECT_EQ(Read_Text(ini), "new host\r\n\xE9\r\n");
    EXPECT_EQ(files->Read_Head(ini, 4), "new ");
    const std::pair<std::function<void()>, int> failures[] = {
        {[&] { files->Replace_File(folder / "gone", ini); }, Error_Number::File_Not_Found},
        {[&] { files->Read_Head(folder / "missing", 10); }, Error_Number::File_Not_Found},
        {[&] { files->Read_Head(folder / "no/missing", 10); }, Error_Number::Path_Not_Found},
        {[&] { files->Create_Folder(folder / "a/b"); }, Error_Number::Path_Not_Found},
        {[&] { files->Write_Temporary_File(folder / "no/NRVNC.INI", "x"); },
         Error_Number::Path_Not_Found},
        {[&] { files->Delete_File(folder / "missing"); }, Error_Number::File_Not_Found},
    };
    for (const auto& [action, number] : failures)
        EXPECT_EQ(Error_Of(action), number) << &action - &failures[0].first;
    EXPECT_EQ(Read_Text(ini), "new host\r\n\xE9\r\n");  // a failed replace leaves it alone
}

// A file or a link someone put where the next save would write is passed
// over: the save makes a new file of its own and writes nothing through them.
TEST(Files, A_Temporary_Is_Created_Exclusively_And_Never_Through_A_Link) {
    Temp_Folder folder;
    const auto files = B.Files();
    const std::string ini = folder / "NRVNC.INI", target = folder / "target";
    Write_Text(target, "target");
    const auto system_random = Temporary_Names::Random;
    Temporary_Names::Random = [] { return 0xabcdef01u; };
    std::string name = files->Write_Temporary_File(ini, "first");  // ini.<id>.<n>.abcdef01
    auto next = [&](int ahead) {
        const auto counter = name.rfind('.', name.size() - 10) + 1;
        return name.substr(0, counter) + std::to_string(std::stoul(name.substr(counter)) + ahead) +
               ".abcdef01";
    };
    const std::string planted_file = next(1), planted_link = next(2);
    Write_Text(planted_file, "planted");
    std::error_code no_links;  // a Windows without the privilege
    fs::create_symlink(target, planted_link, no_links);
    // Held open as another program would, so no clean-up takes them away.
    std::ifstream hold_file(planted_file), hold_link(no_links ? target : planted_link);
    const std::string saved = files->Write_Temporary_File(ini, "save");
    Temporary_Names::Random = system_random;
    EXPECT_NE(saved, planted_file);
    files->Replace_File(saved, ini);
    EXPECT_EQ(Read_Text(ini), "save");
    EXPECT_EQ(Read_Text(planted_file), "planted");
    EXPECT_EQ(Read_Text(target), "target");
}

// Dead saves leave temporaries (ini.<process ID>.<counter>.<random>) when
// they die before the replace; the next save removes them. A running save's
// file and everything else stays.
TEST(Files, A_Save_Removes_What_Dead_Saves_Left_And_Nothing_Else) {
    Temp_Folder folder;
    const std::string ini = folder / "NRVNC.INI";
    const auto processes = B.Make_Processes();
    const std::string id =
        std::to_string(processes->Start(B.Child_Line, Show_State::Hidden));  // then a dead one
    processes->Terminate(std::stoul(id));
    processes->Terminate(0);  // never acts on process 0 (nor on this program's group)
    const auto running = B.Files(), next = B.Files();
    const std::string live = running->Write_Temporary_File(ini, "live");  // not yet moved
    const std::string dead = folder / ("NRVNC.INI." + id + ".1.0123abcd");
    const std::string recent = folder / ("NRVNC.INI." + id + ".2.0123abcd");
    const std::string others[] = {"NRVNC.INI",
                                  "NRVNC.INI.bak",
                                  "OTHER.INI." + id + ".1.0123abcd",

                                  "NRVNC.INI.1.2",
                                  "NRVNC.INI." + id + ".1.0123abcd.x",
                                  "NRVNC.INI..1.2.3",
                                  "NRVNC.INI.+" + id + ".1.0123abcd"};
    const auto two_minutes_ago = fs::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const std::string& name : others) Write_Text(folder / name, "other");
    for (const std::string& path : {dead, recent}) Write_Text(path, "dead");
    std::error_code open_on_windows;  // a live save's file there: its age does not count
    for (const std::string& name : others) fs::last_write_time(folder / name, two_minutes_ago);
    for (const std::string& path : {dead, live})
        fs::last_write_time(path, two_minutes_ago, open_on_windows);

    next->Delete_File(next->Write_Temporary_File(ini, "next"));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_EQ(fs::exists(recent), B.Keeps_Recent_Leftovers);
    for (const std::string& name : others) EXPECT_EQ(Read_Text(folder / name), "other") << name;
    running->Replace_File(live, ini);  // the running save is whole
    EXPECT_EQ(Read_Text(ini), "live");
}

void Connect(Tcp_Socket& socket, const std::string& host, int port) {
    socket.Close();
    socket.Set_Remote_Host(host);
    socket.Set_Remote_Port(port);
    socket.Connect();
}

// The internet check connects for real too; the whole-program runs see it
// find the internet up and down. A connection that comes later, and a name
// looked up in the background, wake the event wait.
TEST(Tcp_Socket, Connects_Or_Fails_As_The_Peer_Does_Over_IPv4_Only_And_So_Does_The_Internet_Check) {
    Loopback_Listener accepting, refusing, silent, v6(true);
    accepting.Listen();
    v6.Listen();
    ASSERT_TRUE(silent.Listen_Without_Answering());
    const struct {
        std::string Host;
        uint16_t Port;
        int State;  // after the probe's 1000 ms
        int Or_State = -1;
    } cases[] = {
        {"127.0.0.1", accepting.Port, Socket_State::Connected},
        {"localhost", accepting.Port, Socket_State::Connected},
        {"127.0.0.1", refusing.Port, Socket_State::Error},
        {"127.0.0.1", silent.Port, Socket_State::Connecting},
        {"::1", v6.Port, Socket_State::Error},  // an IPv6 listener is never reached
        // Still looking it up where the resolver is slow: not connected either way.
        {"repeater.invalid", accepting.Port, Socket_State::Error, Socket_State::Resolving_Host},
    };
    const auto network = B.Make_Network(600);
    for (const auto& c : cases) {
        const auto socket = network->Create_Tcp_Socket();
        Connect(*socket, c.Host, c.Port);
        int state = 0;  // events run as the forms runtime runs them, until it is decided
        Eventually(
            [&] {
                B.Wait_For_Activity(5);
                state = socket->State();
                return state != Socket_State::Resolving_Host && state != Socket_State::Connecting;
            },
            std::chrono::milliseconds(1000));
        EXPECT_TRUE(state == c.State || state == c.Or_State) << c.Host << " " << state;
        EXPECT_THROW(socket->Connect(), Runtime_Error);  // not closed
        socket->Close();
        EXPECT_EQ(socket->State(), Socket_State::Closed);
    }
    const auto socket = network->Create_Tcp_Socket();
    EXPECT_THROW(socket->Set_Remote_Port(65536), Runtime_Error);
    EXPECT_THROW(socket->Connect(), Runtime_Error);  // no host
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(network->Check_Internet_Connection(
        "http://127.0.0.1:" + std::to_string(silent.Port) + "/"));
    // Guards that the limit is applied at all (the default is seconds long).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    // Each change of a socket wakes the event wait by itself: the state is
    // looked at only after each wait (-1: a wait ended without news).
    auto after_waits = [&](int state) {
        for (int round = 0; round < 5; ++round)
            if (state == Socket_State::Resolving_Host || state == Socket_State::Connecting)
                state = B.Wait_For_Activity(20000) ? socket->State() : -1;
        return state;
    };
    // The connection still being made ends refused once the silent listener
    // is gone (its next attempt is answered).
    Connect(*socket, "127.0.0.1", silent.Port);
    Loopback_Listener::Close(std::exchange(silent.Socket, Socket_Handle(-1)));
    EXPECT_EQ(after_waits(Socket_State::Connecting), Socket_State::Error);
    // An abandoned lookup's late answer is dropped (taken, the socket would
    // end refused); the lookup wakes the wait too.
    Connect(*socket, "localhost", refusing.Port);
    Connect(*socket, "localhost", accepting.Port);
    EXPECT_EQ(after_waits(socket->State()), Socket_State::Connected);
    for (int i = 0; i < 20; ++i)  // sockets gone during their lookup leave nothing behind
        Connect(*network->Create_Tcp_Socket(), "localhost", accepting.Port);
}

// One client and session for all: each attempt gets its own time. The
// hostile files (tests/support/ftp_server.py makes them up) fail the
// transfer, and a server that resumed after the time-out found nobody
// reading. After each attempt nothing was written (late or not) and no
// worker or cached copy is left.
TEST(Ftp, Downloads_Or_Tells_The_Failed_Step_Within_Its_Limits_And_Leaves_Nothing_Behind) {
    Ftp_Server server;
    ASSERT_NE(server.Port, 0) << "the loopback FTP server did not start";
    server.Publish("Repeater.Dat", "repeater.example.net\n5999\n");
    server.Publish("ten", "0123\n5678\n");
    server.Publish("eleven", "0123\n5678\nA");
    Loopback_Listener closed, silent;  // silent takes the connection, never greets
    silent.Listen();
    const struct {
        uint16_t Port = 0;
        const char *Password = Builtin::FTP_Password, *Folder = "VNCRepeater";
        const char* File = "Repeater.Dat";
        bool Ascii = true;
        std::size_t Max = 65536;
        const char* Got = nullptr;  // the file fetched; none: the older one stays
        int Failed = 0;  // the step: 1 connecting, 2 changing to the folder, 3 transferring
        // Hostile: the end of the server's log line for it. "complete": it
        // ended (either way: what is left may fit the sockets' buffers);
        // "incomplete": it could not send it all.
        const char* Log = nullptr;
    } cases[] = {
        {.Port = silent.Port, .Failed = 1},
        {.Got = "repeater.example.net\r\n5999\r\n"},  // text: lines end in CR LF
        {.File = "ten", .Ascii = false, .Max = 10, .Got = "0123\n5678\n"},
        {.File = "eleven", .Ascii = false, .Max = 10, .Failed = 3},
        {.Password = "wrong", .Failed = 1},
        {.Port = closed.Port, .Failed = 1},
        {.Folder = "NoSuchFolder", .Failed = 2},
        {.File = "Missing.Dat", .Failed = 3},
        {.File = "Stall_4096_3000_4096.Dat", .Failed = 3, .Log = "complete"},
        {.File = "Size_1073741824.Dat", .Failed = 3, .Log = "incomplete"},
        {.File = "Size_69632.Dat", .Failed = 3},  // past the bound, in time
        {.File = "Stall_4096_3000_8388608.Dat", .Max = 16 << 20, .Failed = 3, .Log = "incomplete"},
        {.Got = "repeater.example.net\r\n5999\r\n"},  // the session is still good
    };
    const auto ftp = B.Ftp(server.Port, 1000);
    const auto session = ftp->Internet_Open("NR Repeater IP File Download");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        Temp_Folder local;
        Write_Text(local / "Repeater.Dat", "kept\r\n");
        const std::string stem = fs::path(c.File).stem().string();
        const int traces = B.Transfer_Traces(stem);
        const auto start = std::chrono::steady_clock::now();
        const auto connection =
            ftp->Internet_Connect(session, "127.0.0.1", c.Port, Builtin::FTP_User_Name, c.Password);
        const int failed =
            connection == 0                                                              ? 1
            : !ftp->Set_Current_Directory(connection, c.Folder)                          ? 2
            : !ftp->Get_File(connection, c.File, local / "Repeater.Dat", c.Ascii, c.Max) ? 3
                                                                                         : 0;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
        EXPECT_EQ(failed, c.Failed);
        if (connection) ftp->Close_Handle(connection);
        EXPECT_TRUE(Eventually([&] { return B.Transfer_Traces(stem) <= traces; }));
        EXPECT_EQ(Read_Text(local / "Repeater.Dat"), c.Got ? c.Got : "kept\r\n");
        // No part file left.
        EXPECT_EQ(std::distance(fs::directory_iterator(local.Path), fs::directory_iterator()), 1);
        const std::string line = std::string(c.Log ? c.Log : "") + " " + c.File + "\n";
        EXPECT_TRUE(!c.Log || Eventually([&] {
            return Read_Text(server.Root + "/transfers.log").find(line) != std::string::npos;
        })) << Read_Text(server.Root + "/transfers.log");
    }
    ftp->Close_Handle(session);
}

}  // namespace
}  // namespace nrvnc::test
