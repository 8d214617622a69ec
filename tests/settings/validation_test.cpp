#include "settings/validation.h"

#include <gtest/gtest.h>

#include <string>

#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

struct Address_Case {
    std::string Text;
    bool As_Repeater;  // Valid_Address with 0
    bool As_Host;      // Valid_Address with 1
};

TEST(Valid_Address, Repeater_Needs_A_Dotted_Address_Host_May_Be_A_Name) {
    const Address_Case cases[] = {
        {"10.1.1.254", true, true},
        {"1.1.1.1", true, true},
        {"254.254.254.254", true, true},
        {"10.1.1.255", false, true},  // fails as an address, passes as a name
        {"10.0.1.1", false, true},
        {"0.1.1.1", false, true},
        {"10.1.1.0", false, true},
        {"192.168.0.10", false, true},
        {"10.1.1", false, true},  // too few pieces
        {"10.1", false, true},
        {"10", false, true},
        {"1.2.3.4.5", true, true},     // the fourth piece is 4.5
        {"1.2.3.254.1", false, true},  // 254.1 is above 254
        {"1.2.3.4.5.6", false, true},  // 4.5.6 is no number
        {"1.2.3.", false, true},       // empty fourth piece
        {"1..2.3", false, true},
        {" 1.2.3.4", true, true},  // blanks around a number are allowed
        {"1.2.3.4 ", true, true},
        {"+1.2.3.4", true, true},
        {"-1.2.3.4", false, true},
        {"1.2.3.1e2", true, true},  // 100
        {"1.2.3.1e3", false, true},
        {"1.2.3.0.5", false, true},  // 0.5 is below 1
        {"1.2.3.1.5", true, true},
        {"a.b.c.d", false, true},
        {"repeater.example.com", false, true},
        {"Host Computer Name or IP Address", false, true},
        {"my-pc", false, true},
        {".local", false, false},
        {".1.2.3.4", false, false},
        {"a/b", false, false},
        {"a\\b", false, false},
        {"a:b", false, false},
        {"a*b", false, false},
        {"a?b", false, false},
        {"a<b", false, false},
        {"a>b", false, false},
        {"a|b", false, false},
        {"a\"b", false, false},
        {"host:", false, false},
        // The first character is scanned as well.
        {"/x", false, false},
        {"\\x", false, false},
        {":x", false, false},
        {"*x", false, false},
        {"?x", false, false},
        {"<x", false, false},
        {">x", false, false},
        {"|x", false, false},
        {"\"x", false, false},
        {"x.", false, true},  // a period counts only in the first place
        {"", false, false},
    };
    fake::Fake_Desktop d;
    Misc m(d.platform());
    for (const Address_Case& c : cases) {
        SCOPED_TRACE("text \"" + c.Text + "\"");
        m.Repeater_IP = c.Text;
        m.Host_Name = "untouched";
        EXPECT_EQ(Valid_Address(m, 0), c.As_Repeater);
        // Any selector other than 1 checks the repeater address.
        EXPECT_EQ(Valid_Address(m, 7), c.As_Repeater);
        m.Host_Name = c.Text;
        m.Repeater_IP = "untouched";
        EXPECT_EQ(Valid_Address(m, 1), c.As_Host);
        EXPECT_EQ(m.Host_Name, c.Text);
        EXPECT_EQ(m.Repeater_IP, "untouched");
    }
}

TEST(Valid_Address, Long_Host_Names_Are_Scanned_Whole) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    m.Host_Name = std::string(300, 'h');
    EXPECT_TRUE(Valid_Address(m, 1));
    // A forbidden character at the very end of a long name is still found.
    m.Host_Name = std::string(300, 'h') + "|";
    EXPECT_FALSE(Valid_Address(m, 1));
    m.Host_Name = std::string(100000, 'h') + "*" + std::string(10, 'h');
    EXPECT_FALSE(Valid_Address(m, 1));
}

TEST(Valid_Port, Exactly_Four_Decimal_Digits) {
    const std::pair<std::string, bool> cases[] = {
        {"5901", true},
        {"0000", true},
        {"9999", true},
        {"0080", true},
        {"590", false},
        {"59a1", false},
        {"59010", false},
        {" 590", false},
        {"590 ", false},
        {"+590", false},
        {"-590", false},
        {"59.1", false},
        {"5e01", false},
        {"", false},
        {"٥٩٠١", false},
        {std::string("59\0"
                     "1",
                     4),
         false},
    };
    fake::Fake_Desktop d;
    Misc m(d.platform());
    for (const auto& [port, valid] : cases) {
        SCOPED_TRACE("port \"" + port + "\"");
        m.Port_Num = port;
        EXPECT_EQ(Valid_Port(m), valid);
        EXPECT_EQ(m.Port_Num, port);
    }
}

}  // namespace
}  // namespace nrvnc
