// Where the entry form puts its texts and controls, in twips, on a few
// well-chosen screens: where the designed sizes fit (1280 x 1024 and larger
// at 96, 120 and 144 dpi) the values are those of the original layout; the
// smaller and odd-resolution screens show how it steps down. That every
// screen fits at all resolutions is the sweep in tests/presentation.
#include <cstdio>
#include <string>
#include <vector>

#include "presentation/presentation.h"
#include "tests/entry/entry_fixture.h"

namespace nrvnc::entry_test {
namespace {

class Entry_Layout : public Entry_Test {
  protected:
    // The screen as it waits, in a few numbers: the heading (x, y, size),
    // the entry box, the field (left, top, width, size), the first and last
    // hint (x, y, size) and the buttons (left, top, width, height, size).
    // The font renders whole pixels, as on a real screen, or only the sizes
    // given.
    std::string Show(int width, int height, int dpi, int mode, bool found,
                     const std::vector<float>& font_sizes) {
        d.forms.screen_width_px = width;
        d.forms.screen_height_px = height;
        d.forms.Set_Dots_Per_Inch(dpi);
        d.forms.metrics.fixed_sizes["Courier New"] = font_sizes;
        Select_Display_Font(m);
        m.Repeater_Found = found;
        std::string seen;
        d.operator_.On_Screen(Caption_Of(mode)).Run([&] { seen = Summary(); }).Key(Key::Escape);
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

// The box; the heading "ENTER..." and the first and last hint "Press" (x, y,
// size); the field (left, top, width, size); the buttons 14 Exit Program,
// 13 Edit IP, 12 Edit Port #, 11 Accept (left, top, width, height, size).
TEST_F(Entry_Layout, Fixed_Twips_On_Chosen_Screens) {
    const struct {
        int Width, Height, Dpi, Mode;
        bool Found;
        const char* Seen;
    } cases[] = {
        // The original layout, where the designed sizes fit.
        {1280, 1024, 96, 1, false,
         "box 3010.5 2237.5 11299.5 3190; ENTER 1579.5 931.25 15.75; Press 4419 4206.67 12; Press "
         "531 5106.67 12; field 8746.5 2477.5 2268 13.5; 14: 1200 6570 2394 495 14.25; 13: 4434 "
         "6570 1881 495 14.25; 12: 8166 6570 2565 495 14.25; 11: 11742 6570 1368 495 14.25;"},
        {1280, 1024, 96, 2, true,
         "box 2538 2237.5 11772 3190; ENTER 1296 931.25 15.75; Press 4419 4206.67 12; Press 3987 "
         "5106.67 12; field 7329 2477.5 4158 13.5; 14: 1200 6570 2394 495 14.25; 11: 11742 6570 "
         "1368 495 14.25;"},
        {1280, 1024, 96, 1, true,
         "box 3010.5 2237.5 11299.5 3190; ENTER 1579.5 931.25 15.75; Press 4419 4396.67 12; Press "
         "531 4696.67 12; field 8746.5 2477.5 2268 13.5; 14: 1200 6570 2394 495 14.25; 11: 11742 "
         "6570 1368 495 14.25;"},
        {1920, 1080, 120, 1, false,
         "box 4554.5 1880 12653.5 2708; ENTER 3081.5 760 15.6; Press 5868 3501.33 12; Press 1980 "
         "4365.33 12; field 10181.5 2072 2244 13.8; 14: 960 5502 2318 486 13.8; 13: 5030 5502 1822 "
         "486 13.8; 12: 10521.5 5502 2484 486 13.8; 11: 14923 5502 1325 486 13.8;"},
        {1920, 1080, 144, 2, true,
         "box 2574 1541 11766 2308; ENTER 1218 585.5 16; Press 4434 2868.67 12; Press 4002 3738.67 "
         "12; field 7352 1701 4224 14.5; 14: 800 4495 2352 495 14; 11: 12196 4495 1344 495 14;"},
        {3840, 2160, 144, 4, true,
         "box 10734 3341 18006 4108; ENTER 10050 1485.5 16; Press 11634 5868.67 12; Press 11202 "
         "6738.67 12; field 13592 3501 4224 14.5; 14: 800 9895 2352 495 14; 11: 26596 9895 1344 "
         "495 14;"},
        // 800 x 600: everything steps down, the hints to 10 pixels, the
        // field to 9 points; 1024 x 768: the heading steps to 19 pixels.
        // 100, 110 and 141 dpi, where few sizes read back unchanged: the
        // sizes between them count; the heading three pixels above the field.
        {800, 600, 96, 1, false,
         "box 1417.5 1200 7492.5 2085; ENTER 472.5 465 11.25; Press 2745 2585 7.5; Press 315 3170 "
         "7.5; field 5587.5 1440 1620 9; 14: 1200 3502.5 1764 382.5 10.5; 13: 3016.5 3502.5 1386 "
         "382.5 10.5; 12: 4633.5 3502.5 1890 382.5 10.5; 11: 6702 3502.5 1008 382.5 10.5;"},
        {1024, 768, 96, 2, true,
         "box 1512 1614 9918 2517; ENTER 414 642 14.25; Press 2979 3118 12; Press 2547 4018 12; "
         "field 5871 1854 3762 12; 14: 1200 4650 2394 495 14.25; 11: 8862 4650 1368 495 14.25;"},
        {1280, 1024, 100, 2, true,
         "box 2239.3 2142.52 11498.3 3073.36; ENTER 976.3 884.06 15.84; Press 4242.3 4045.71 "
         "11.52; Press 3827.3 4908.51 11.52; field 7043.3 2372.52 4180 13.68; 14: 1152 6307.2 2298 "
         "475.2 13.68; 11: 11272.6 6307.2 1313 475.2 13.68;"},
        {1280, 1024, 110, 1, false,
         "box 2134.36 1938.33 10354.4 2812.53; ENTER 683.363 785.891 15.7091; Press 3856.36 3690.2 "
         "10.4727; Press 463.363 4475.38 10.4727; field 7837.36 2147.33 2268 13.7455; 14: 1047 "
         "5674.27 2309 490.909 13.7455; 13: 3893.18 5674.27 1814 490.909 13.7455; 12: 6946.04 "
         "5674.27 2474 490.909 13.7455; 11: 10121.7 5674.27 1320 490.909 13.7455;"},
        {1280, 1024, 141, 2, true,
         "box 1306.49 1495.47 8436.49 2227.47; ENTER 312.49 604.755 12.2553; Press 2193.49 2764.87 "
         "11.7447; Press 1770.99 3622.11 11.7447; field 5007.49 1658.47 3234 10.7234; 14: 817 "
         "4319.19 2316 490.213 13.7872; 11: 7601.98 4319.19 1324 490.213 13.7872;"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Show(c.Width, c.Height, c.Dpi, c.Mode, c.Found, {}), c.Seen)
            << c.Width << "x" << c.Height << " at " << c.Dpi << " dpi, mode " << c.Mode;
    }
}

// A font that has only some sizes keeps the designed rules: the heading the
// largest size not above 16, the hints not above 12, the field three sizes
// below the heading.
TEST_F(Entry_Layout, A_Font_With_Few_Sizes_Takes_Them_By_The_Rules) {
    // The values worked by hand for the original layout: a 21510 x 8085
    // client area, the heading (62 characters of 192 twips) centred on it.
    EXPECT_EQ(Show(1920, 1080, 96, 2, true, {8, 9, 10, 11, 12, 14, 16, 18, 20}),
              "box 6069 2377.5 15441 3330; ENTER 4803 1001.25 16; Press 8019 4440 12; "
              "Press 7587 5340 12; field 10932 2617.5 4224 11; 14: 1200 6990 2352 495 14; "
              "11: 18966 6990 1344 495 14;");
}

}  // namespace
}  // namespace nrvnc::entry_test
