#include "platform/x11/ftp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "tests/support/real_peers.h"

namespace nrvnc {
namespace {

using test::Read_Text;
using test::Temp_Folder;
using test::Write_Text;

const char* const User = "norvaneadmin";
const char* const Password = "Rk7wTQmb";
// As a Unix FTP server stores it; text mode turns the line ends into CR LF.
const char* const Repeater_Dat = "repeater.example.net\n5999\n";

// A real FTP server on loopback, shared by the tests of this file.
struct Repeater_Ftp_Server : test::Loopback_Ftp_Server {
    Repeater_Ftp_Server() {
        Publish(Repeater_Dat);
        std::filesystem::create_directory(Root / "Other Folder");
        Write_Text(Root / "Other Folder/Other File.txt", "other\n");
    }
};

class Curl_Ftp_Client_Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { Server = new Repeater_Ftp_Server; }
    static void TearDownTestSuite() {
        delete Server;
        Server = nullptr;
    }
    void SetUp() override { ASSERT_NE(Server->Port, 0) << "the loopback FTP server did not start"; }

    // Port 0 as the program passes it, sent to the loopback server.
    Curl_Ftp_Client Client{Server->Port};
    Temp_Folder Local;
    static Repeater_Ftp_Server* Server;
};

Repeater_Ftp_Server* Curl_Ftp_Client_Test::Server = nullptr;

TEST_F(Curl_Ftp_Client_Test, Downloads_The_Repeater_File_In_Text_Mode) {
    Ftp_Client::Handle session = Client.Internet_Open("NR Repeater IP File Download");
    ASSERT_NE(session, 0u);
    Ftp_Client::Handle connection =
        Client.Internet_Connect(session, "127.0.0.1", 0, User, Password);
    ASSERT_NE(connection, 0u) << Client.Last_Error();
    ASSERT_TRUE(Client.Set_Current_Directory(connection, "VNCRepeater")) << Client.Last_Error();
    ASSERT_TRUE(Client.Get_File(connection, "Repeater.Dat", Local / "Repeater.Dat", true))
        << Client.Last_Error();
    EXPECT_EQ(Read_Text(Local / "Repeater.Dat"), "repeater.example.net\r\n5999\r\n");
    // Binary mode takes the bytes as they are.
    ASSERT_TRUE(Client.Get_File(connection, "Repeater.Dat", Local / "binary.dat", false));
    EXPECT_EQ(Read_Text(Local / "binary.dat"), Repeater_Dat);
    Client.Close_Handle(connection);
    Client.Close_Handle(session);
}

TEST_F(Curl_Ftp_Client_Test, Download_Overwrites_An_Older_Local_File) {
    Write_Text(Local / "Repeater.Dat", std::string(5000, 'o') + "\r\nold line\r\n");
    Ftp_Client::Handle session = Client.Internet_Open("agent");
    Ftp_Client::Handle connection =
        Client.Internet_Connect(session, "127.0.0.1", 0, User, Password);
    ASSERT_NE(connection, 0u) << Client.Last_Error();
    ASSERT_TRUE(Client.Set_Current_Directory(connection, "VNCRepeater"));
    ASSERT_TRUE(Client.Get_File(connection, "Repeater.Dat", Local / "Repeater.Dat", true));
    EXPECT_EQ(Read_Text(Local / "Repeater.Dat"), "repeater.example.net\r\n5999\r\n");
    Client.Close_Handle(session);
}

TEST_F(Curl_Ftp_Client_Test, Server_Name_May_Be_Given_As_A_Url) {
    Ftp_Client::Handle session = Client.Internet_Open("agent");
    Ftp_Client::Handle connection =
        Client.Internet_Connect(session, "ftp://127.0.0.1", 0, User, Password);
    ASSERT_NE(connection, 0u) << Client.Last_Error();
    EXPECT_TRUE(Client.Set_Current_Directory(connection, "VNCRepeater"));
    Client.Close_Handle(session);
}

TEST_F(Curl_Ftp_Client_Test, Port_For_0_Comes_From_The_Environment_When_Not_Given) {
    test::Environment_Guard environment;
    environment.Set("NRVNC_FTP_PORT", std::to_string(Server->Port));
    Curl_Ftp_Client client;
    Ftp_Client::Handle session = client.Internet_Open("agent");
    EXPECT_NE(client.Internet_Connect(session, "127.0.0.1", 0, User, Password), 0u)
        << client.Last_Error();
    // An explicit port wins.
    test::Loopback_Listener nobody;
    EXPECT_EQ(client.Internet_Connect(session, "127.0.0.1", nobody.Port, User, Password), 0u);
}

TEST_F(Curl_Ftp_Client_Test, Each_Failing_Step_Fails_On_Its_Own) {
    Write_Text(Local / "Repeater.Dat", "kept\r\n");
    Ftp_Client::Handle session = Client.Internet_Open("agent");

    // Step 1: the login.
    EXPECT_EQ(Client.Internet_Connect(session, "127.0.0.1", 0, User, "wrong"), 0u);
    EXPECT_EQ(Client.Internet_Connect(session, "127.0.0.1", 0, "somebody", Password), 0u);

    Ftp_Client::Handle connection =
        Client.Internet_Connect(session, "127.0.0.1", 0, User, Password);
    ASSERT_NE(connection, 0u) << Client.Last_Error();
    // Step 2: the folder. A failed change leaves the current folder as it was.
    EXPECT_FALSE(Client.Set_Current_Directory(connection, "NoSuchFolder"));
    ASSERT_TRUE(Client.Set_Current_Directory(connection, "VNCRepeater"));
    EXPECT_FALSE(Client.Set_Current_Directory(connection, "NoSuchFolder"));
    // Step 3: the file. The local file is left alone and no part file remains.
    EXPECT_FALSE(Client.Get_File(connection, "NoSuch.Dat", Local / "Repeater.Dat", true));
    EXPECT_EQ(Read_Text(Local / "Repeater.Dat"), "kept\r\n");
    EXPECT_FALSE(
        Client.Get_File(connection, "Repeater.Dat", Local / "no folder/Repeater.Dat", true));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Local.Path)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    // The connection still works after the failures.
    EXPECT_TRUE(Client.Get_File(connection, "Repeater.Dat", Local / "Repeater.Dat", true));
    EXPECT_EQ(Read_Text(Local / "Repeater.Dat"), "repeater.example.net\r\n5999\r\n");
    Client.Close_Handle(session);
}

TEST_F(Curl_Ftp_Client_Test, Folders_Are_Relative_And_Names_With_Blanks_Work) {
    Ftp_Client::Handle session = Client.Internet_Open("agent");
    Ftp_Client::Handle connection =
        Client.Internet_Connect(session, "127.0.0.1", 0, User, Password);
    ASSERT_NE(connection, 0u);
    ASSERT_TRUE(Client.Set_Current_Directory(connection, "Other Folder"));
    ASSERT_TRUE(Client.Get_File(connection, "Other File.txt", Local / "other.txt", true));
    EXPECT_EQ(Read_Text(Local / "other.txt"), "other\r\n");
    // Relative to "Other Folder" there is no VNCRepeater; from the root there is.
    EXPECT_FALSE(Client.Set_Current_Directory(connection, "VNCRepeater"));
    ASSERT_TRUE(Client.Set_Current_Directory(connection, "/VNCRepeater"));
    EXPECT_TRUE(Client.Get_File(connection, "Repeater.Dat", Local / "Repeater.Dat", true));
    Client.Close_Handle(session);
}

TEST_F(Curl_Ftp_Client_Test, Closed_Handles_Fail_Every_Step) {
    Ftp_Client::Handle session = Client.Internet_Open("agent");
    Ftp_Client::Handle connection =
        Client.Internet_Connect(session, "127.0.0.1", 0, User, Password);
    ASSERT_NE(connection, 0u);
    Client.Close_Handle(session);  // closes the connection with it
    EXPECT_FALSE(Client.Set_Current_Directory(connection, "VNCRepeater"));
    EXPECT_FALSE(Client.Get_File(connection, "Repeater.Dat", Local / "Repeater.Dat", true));
    EXPECT_EQ(Client.Internet_Connect(session, "127.0.0.1", 0, User, Password), 0u);
    EXPECT_FALSE(std::filesystem::exists(Local / "Repeater.Dat"));
    Client.Close_Handle(session);  // twice is harmless
}

TEST(Curl_Ftp_Client, Unreachable_Or_Silent_Server_Fails_Within_The_Limits) {
    test::Loopback_Listener not_listening;
    test::Loopback_Listener silent;  // accepts TCP, never greets
    silent.Listen();
    Curl_Ftp_Client client(0, Ftp_Timeouts{300, 800});
    Ftp_Client::Handle session = client.Internet_Open("agent");
    EXPECT_EQ(client.Internet_Connect(session, "127.0.0.1", not_listening.Port, User, Password),
              0u);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Internet_Connect(session, "127.0.0.1", silent.Port, User, Password), 0u);
    // Guards that the limits are applied at all (the defaults are 10 and 20 s).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace nrvnc
