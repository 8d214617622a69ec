// Where the entry form puts its texts and controls, in twips, on one screen
// worked by hand from the designed layout. That every screen fits at all
// resolutions, and how sizes step down, is the sweep in tests/presentation.
#include <cstdio>
#include <string>
#include <vector>

#include "presentation/presentation.h"
#include "tests/entry/entry_fixture.h"

namespace nrvnc::entry_test {
namespace {

// A font that has only some sizes keeps the designed rules: the heading the
// largest size not above 16, the hints not above 12, the field three sizes
// below the heading.
TEST_F(Entry_Test, LayoutWorkedByHandForAFontWithFewSizes) {
    d.forms.metrics.fixed_sizes["Courier New"] = {8, 9, 10, 11, 12, 14, 16, 18, 20};
    Select_Display_Font(m);
    m.Repeater_Found = true;
    // The entry box (its inner line), the heading and the first and last
    // hint (x, y, size), the field (left, top, width, size), the buttons
    // Exit Program and Accept (left, top, width, height, size).
    std::string seen;
    auto add = [&](const char* format, auto... values) {
        char buffer[120];
        std::snprintf(buffer, sizeof buffer, format, values...);
        seen += buffer;
    };
    d.operator_.On_Screen(Host_Caption)
        .Run([&] {
            const auto& ops = form().Drawing();
            std::vector<const Draw_Op*> texts;
            for (std::size_t i = 0; i < ops.size(); ++i) {
                if (ops[i].What == Draw_Op::Kind::Text) texts.push_back(&ops[i]);
                if (ops[i].What == Draw_Op::Kind::Box && ops[i].Line_Width == 15)
                    add("box %g %g %g %g; ", ops[i + 1].X1, ops[i + 1].Y1, ops[i + 1].X2,
                        ops[i + 1].Y2);
            }
            for (const Draw_Op* t : {texts.at(0), texts.at(2), texts.back()})
                add("%.5s %g %g %g; ", t->Text.c_str(), t->X1, t->Y1, t->Font.Size);
            for (int id : {Field_Id, Exit_Id, Accept_Id}) {
                const Control_Model& c = control(id);
                add("%d: %g %g %g %g %g; ", id, c.Left(), c.Top(), c.Width(), c.Height(),
                    c.Font().Size);
            }
        })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);
    // A 21510 x 8085 client area at 96 dpi, the heading (62 characters of
    // 192 twips) centred on it.
    EXPECT_EQ(seen,
              "box 6069 2377.5 15441 3330; ENTER 4803 1001.25 16; Press 8019 4440 12; "
              "Press 7587 5340 12; 1: 10932 2617.5 4224 405 11; 14: 1200 6990 2352 495 14; "
              "11: 18966 6990 1344 495 14; ");
}

}  // namespace
}  // namespace nrvnc::entry_test
