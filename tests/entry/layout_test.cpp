// Where the entry form puts its texts and controls, in twips, on a few
// well-chosen screens: where the designed sizes fit (1280 x 1024 and larger
// at 96, 120 and 144 dpi) the values are those of the original layout; the
// smaller and odd-resolution screens show how it steps down. That every
// screen fits at all resolutions is the sweep in tests/presentation.
#include <cstdio>

#include "presentation/presentation.h"
#include "tests/entry/entry_fixture.h"

namespace nrvnc::entry_test {
namespace {

class Entry_Layout : public Entry_Test {
  protected:
    // The screen as it waits, in a few numbers: the heading (x, y, size),
    // the entry box, the field (left, top, width, size), the first and last
    // hint (x, y, size) and the buttons (left, top, width, height, size).
    std::string Show(int width, int height, int dpi, int mode, bool found) {
        d.forms.screen_width_px = width;
        d.forms.screen_height_px = height;
        d.forms.Set_Dots_Per_Inch(dpi);
        d.forms.metrics.fixed_sizes.clear();  // whole pixels, as on a real screen
        Select_Display_Font(m);
        m.Repeater_Found = found;
        std::string seen;
        d.operator_.On_Screen(Caption_Of(mode))
            .Run([&] { seen = Summary(); })
            .Key(Key::Escape);
        EXPECT_EQ(Run_Screen(mode), Entry_Escape);
        return seen;
    }

    std::string Summary() {
        fake::Fake_Form& f = form();
        char buffer[200];
        std::string out;
        auto add = [&](const char* format, auto... values) {
            std::snprintf(buffer, sizeof buffer, format, values...);
            out += buffer;
        };
        const auto& ops = f.Drawing();
        std::vector<const Draw_Op*> texts;
        for (const Draw_Op& op : ops)
            if (op.What == Draw_Op::Kind::Text) texts.push_back(&op);
        for (std::size_t i = 0; i + 1 < ops.size(); ++i)
            if (ops[i].What == Draw_Op::Kind::Box && ops[i].Line_Width == 15)
                add("box %g %g %g %g; ", ops[i + 1].X1, ops[i + 1].Y1, ops[i + 1].X2,
                    ops[i + 1].Y2);
        for (const Draw_Op* t : {texts.at(0), texts.at(2), texts.back()})
            add("%.5s %g %g %g; ", t->Text.c_str(), t->X1, t->Y1, t->Font.Size);
        const Control_Model& field = control(Field_Id);
        add("field %g %g %g %g;", field.Left(), field.Top(), field.Width(), field.Font().Size);
        for (int id : {Exit_Id, Edit_IP_Id, Edit_Port_Id, Accept_Id}) {
            const Control_Model& b = control(id);
            if (b.Visible())
                add(" %d: %g %g %g %g %g;", id, b.Left(), b.Top(), b.Width(), b.Height(),
                    b.Font().Size);
        }
        return out;
    }
};

TEST_F(Entry_Layout, DUMP) {
    const struct { int W, H, Dpi, Mode; bool Found; } cases[] = {
        {1280, 1024, 96, 1, false}, {1280, 1024, 96, 2, true}, {1280, 1024, 96, 1, true},
        {1280, 1024, 96, 3, true}, {1280, 1024, 96, 4, true},
        {1920, 1080, 120, 1, false}, {1920, 1080, 120, 2, true},
        {1920, 1080, 144, 1, false}, {1920, 1080, 144, 2, true},
        {3840, 2160, 144, 4, true}, {3840, 2160, 96, 2, true}, {1280, 1024, 120, 2, true},
        {800, 600, 96, 1, false}, {1024, 768, 96, 2, true}, {1280, 1024, 100, 2, true},
        {1280, 1024, 110, 1, false}, {1280, 1024, 141, 2, true}, {2560, 1440, 168, 1, false},
        {3840, 2160, 288, 2, true}, {800, 600, 72, 2, true},
    };
    for (const auto& c : cases)
        std::printf("{%d, %d, %d, %d, %d, \"%s\"},\n", c.W, c.H, c.Dpi, c.Mode, c.Found,
                    Show(c.W, c.H, c.Dpi, c.Mode, c.Found).c_str());
}

}  // namespace
}  // namespace nrvnc::entry_test
