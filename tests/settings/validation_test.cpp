#include "settings/validation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using Strings = std::vector<std::string>;

TEST(Valid_Address, Repeater_Needs_Four_Numbers_From_1_To_254_A_Host_May_Be_A_Name) {
    // Only the first three dots separate: "1.2.3.4.5" ends in the number 4.5.
    // Blanks around a number, a sign and an exponent make a host's dotted
    // address, never a repeater's. Long names are scanned whole.
    const std::string long_name(300, 'h'), long_starred = std::string(100000, 'h') + "*h";
    struct Group {
        Strings Texts;
        bool As_Repeater, As_Host;  // valid with selector 0, with selector 1
    };
    const Group groups[] = {
        {{"10.1.1.254", "1.1.1.1", "254.254.254.254", "1.2.3.4.5", "1.2.3.1.5", "1.2.3.4."}, 1, 1},
        {{" 1.2.3.4", "1.2.3.4 ", "+1.2.3.4", "1.2.3.1e2", "1.2.3.\t7\t", "1.2.3.1E+2"}, 0, 1},
        {{"10.1.1.255", "10.0.1.1", "0.1.1.1", "10.1.1.0", "192.168.0.10", "-1.2.3.4"}, 0, 1},
        {{"10.1.1", "10", "1.2.3.", "1..2.3", "1.2.3.254.1", "1.2.3.4.5.6", "1.2.3.0.5"}, 0, 1},
        {{"1.2.3.1e3", "1.2.3.0x10", "1.2.3.inf", "1.2.3.nan", "1.2.3.1e999", "1.2.3.e5"}, 0, 1},
        {{"1.2.3.1e", "1.2.3.--1", "1.2.3.1 2", "1.2.3.1,000", "a.b.c.d", "x.", "my-pc"}, 0, 1},
        {{"repeater.example.com", "Host Computer Name or IP Address", long_name}, 0, 1},
        {{"", ".local", ".1.2.3.4", "a/b", "a\\b", "a:b", "a*b", "a?b", "a<b", "a>b", "a|b"}, 0, 0},
        {{"a\"b", "/x", "\\x", ":x", "*x", "?x", "<x", ">x", "|x", "\"x", long_starred}, 0, 0},
    };
    fake::Fake_Desktop d;
    Misc m(d.platform());
    for (const auto& [texts, as_repeater, as_host] : groups) {
        for (const std::string& text : texts) {
            SCOPED_TRACE("text \"" + text.substr(0, 40) + "\"");
            m.Repeater_IP = text;
            m.Host_Name = "untouched";
            EXPECT_EQ(Valid_Address(m, 0), as_repeater);
            EXPECT_EQ(Valid_Address(m, 7), as_repeater);  // any selector but 1: the repeater
            m.Host_Name = text;
            m.Repeater_IP = "untouched";
            EXPECT_EQ(Valid_Address(m, 1), as_host);
            EXPECT_EQ(m.Host_Name + m.Repeater_IP, text + "untouched");
        }
    }
}

TEST(Valid_Port, Exactly_Four_Decimal_Digits) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    for (const auto& [ports, valid] :
         {std::pair{Strings{"5901", "0000", "9999", "0080"}, true},
          std::pair{Strings{"590", "59a1", "59010", " 590", "590 ", "+590", "-590", "59.1", "5e01",
                            "", "٥٩٠١", std::string("59\0001", 4)},
                    false}}) {
        for (const std::string& port : ports) {
            m.Port_Num = port;
            EXPECT_EQ(Valid_Port(m), valid) << port;
            EXPECT_EQ(m.Port_Num, port);
        }
    }
}

}  // namespace
}  // namespace nrvnc
