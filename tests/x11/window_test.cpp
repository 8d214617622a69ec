// Forms as real X windows: title, frame, position, state and the kept
// drawing.
#include "tests/x11/x11_test_support.h"
// clang-format off
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>
// clang-format on

namespace x11_test {
namespace {

using nrvnc::Rgb;

class Window_Test : public X11_Test {};

TEST_F(Window_Test, ShownFormCarriesItsTitleFixedSizeAndNoCloseButton) {
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("  Norvane 16"), events);
    Show(*form);
    Window w = As_X11(*form).Handle();

    EXPECT_EQ(client_->String_Property(w, "WM_NAME", XA_STRING), "  Norvane 16");
    EXPECT_EQ(client_->String_Property(w, "_NET_WM_NAME", client_->Atom_Of("UTF8_STRING")),
              "  Norvane 16");

    // The outer rectangle is the form's: 1500 twips = 100 px at 96 dpi; the
    // client area lies 3 px in from the sides and 23 px below the top.
    auto r = client_->Root_Rect(w);
    EXPECT_EQ(r.X, 100 + 3);
    EXPECT_EQ(r.Y, 80 + 23);
    EXPECT_EQ(r.W, 400 - 6);
    EXPECT_EQ(r.H, 267 - 26);  // 4000 twips is 266.67 px
    EXPECT_DOUBLE_EQ(form->Scale_Width(), 6000 - 6 * 15);

    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(client_->Dpy(), w, &hints, &supplied));
    EXPECT_TRUE(hints.flags & PMinSize);
    EXPECT_TRUE(hints.flags & PMaxSize);
    EXPECT_EQ(hints.min_width, r.W);
    EXPECT_EQ(hints.max_width, r.W);
    EXPECT_EQ(hints.min_height, r.H);
    EXPECT_EQ(hints.max_height, r.H);

    // _MOTIF_WM_HINTS: flags, functions, decorations. Move only; border and
    // title, no menu, no minimise, no close.
    Atom motif = client_->Atom_Of("_MOTIF_WM_HINTS");
    auto motif_hints = client_->Long_Property(w, "_MOTIF_WM_HINTS", motif);
    ASSERT_GE(motif_hints.size(), 3u);
    EXPECT_EQ(motif_hints[1], 4);      // move
    EXPECT_EQ(motif_hints[2], 2 | 8);  // border, title

    // A new caption reaches both names.
    form->Set_Caption("  Enter Port Number  ");
    Settle();
    EXPECT_EQ(client_->String_Property(w, "_NET_WM_NAME", client_->Atom_Of("UTF8_STRING")),
              "  Enter Port Number  ");
    EXPECT_EQ(client_->String_Property(w, "WM_NAME", XA_STRING), "  Enter Port Number  ");
}

TEST_F(Window_Test, MovingAndResizingFollowTheForm) {
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("move"), events);
    Show(*form);
    form->Set_Left(3000);
    form->Set_Top(1500);
    form->Set_Width(4500);
    form->Set_Height(3000);
    Settle();
    auto r = client_->Root_Rect(As_X11(*form).Handle());
    EXPECT_EQ(r.X, 200 + 3);
    EXPECT_EQ(r.Y, 100 + 23);
    EXPECT_EQ(r.W, 300 - 6);
    EXPECT_EQ(r.H, 200 - 26);
}

TEST_F(Window_Test, HiddenMinimisedAndRestored) {
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("state"), events);
    Window w = As_X11(*form).Handle();
    Settle();
    EXPECT_EQ(client_->Map_State(w), IsUnmapped);  // loaded, not shown
    Show(*form);

    // No window manager runs under this Xvfb: minimised means off screen.
    form->Set_State(nrvnc::Window_State::Minimized);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return client_->Map_State(w) == IsUnmapped; }));
    form->Set_State(nrvnc::Window_State::Normal);
    form->Bring_To_Top();
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return client_->Map_State(w) == IsViewable; }));

    form->Hide();
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return client_->Map_State(w) == IsUnmapped; }));
    form->Show();
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return client_->Map_State(w) == IsViewable; }));
}

TEST_F(Window_Test, BringToTopRaisesAboveAnotherWindowAndTakesTheFocus) {
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("front"), events);
    Show(*form);
    Window w = As_X11(*form).Handle();
    Display* c = client_->Dpy();
    Window cover = XCreateSimpleWindow(c, client_->Root(), 0, 0, 800, 600, 0, 0, 0xFFFFFF);
    XMapRaised(c, cover);
    XSetInputFocus(c, cover, RevertToParent, CurrentTime);
    XSync(c, False);
    auto r = client_->Root_Rect(w);
    ASSERT_EQ(client_->Pixel_At(r.X + 10, r.Y + 10), Rgb(255, 255, 255));

    form->Bring_To_Top();
    ASSERT_TRUE(Pump_Until(*runtime_, [&] {
        Window focus;
        int revert;
        XGetInputFocus(c, &focus, &revert);
        return focus == w;
    }));
    EXPECT_EQ(client_->Pixel_At(r.X + 10, r.Y + 10), Rgb(0, 0, 0));
    XDestroyWindow(c, cover);
}

TEST_F(Window_Test, DrawingSurvivesBeingCoveredAndCleared) {
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("drawing"), events);
    // Painted before it is shown, as the dialogs do.
    form->Box(300, 300, 1500, 1200, Rgb(255, 0, 0), true);  // 20..100 x 20..80 px
    form->Set_Draw_Width(3);
    form->Box(2250, 300, 3000, 1500, Rgb(0, 255, 255), false);  // edges at x = 150 and 200
    Show(*form);
    Settle();
    auto r = client_->Root_Rect(As_X11(*form).Handle());
    auto pixel = [&](int x, int y) { return client_->Pixel_At(r.X + x, r.Y + y); };

    auto expect_picture = [&] {
        EXPECT_EQ(pixel(20, 20), Rgb(255, 0, 0));   // corner, inclusive
        EXPECT_EQ(pixel(100, 80), Rgb(255, 0, 0));  // opposite corner, inclusive
        EXPECT_EQ(pixel(101, 81), Rgb(0, 0, 0));
        EXPECT_EQ(pixel(19, 50), Rgb(0, 0, 0));
        // A 3-pixel line centred on the edge: one pixel outside, one inside.
        for (int dx : {-1, 0, 1}) EXPECT_EQ(pixel(150 + dx, 60), Rgb(0, 255, 255)) << dx;
        EXPECT_EQ(pixel(148, 60), Rgb(0, 0, 0));
        EXPECT_EQ(pixel(152, 60), Rgb(0, 0, 0));
    };
    expect_picture();

    // Another client's window covers the form and goes away; the server
    // puts the drawing back without the program painting.
    Display* c = client_->Dpy();
    Window cover = XCreateSimpleWindow(c, client_->Root(), r.X, r.Y, 300, 200, 0, 0, 0xFFFFFF);
    XMapRaised(c, cover);
    XSync(c, False);
    EXPECT_EQ(pixel(50, 50), Rgb(255, 255, 255));
    XDestroyWindow(c, cover);
    XSync(c, False);
    expect_picture();

    XClearArea(c, As_X11(*form).Handle(), 0, 0, 0, 0, True);
    XSync(c, False);
    Settle();
    expect_picture();

    // Cls forgets the drawing.
    form->Cls();
    Settle();
    EXPECT_EQ(pixel(50, 50), Rgb(0, 0, 0));
}

TEST_F(Window_Test, PrintedTextIsDrawnTransparentlyInTheTextColour) {
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("text"), events);
    form->Box(0, 0, 3000, 1500, Rgb(0, 0, 255), true);
    form->Set_Fore_Color(Rgb(255, 255, 0));
    form->Set_Current_X(300);
    form->Set_Current_Y(300);
    form->Print("HHHH");
    Show(*form);
    Settle();
    auto r = client_->Root_Rect(As_X11(*form).Handle());
    int text_w = static_cast<int>(form->Text_Width("HHHH") / 15);
    int text_h = static_cast<int>(form->Text_Height("HHHH") / 15);
    ASSERT_GT(text_w, 20);
    int yellow = 0, blue = 0, other = 0;
    for (int y = 20; y < 20 + text_h; ++y)
        for (int x = 20; x < 20 + text_w; ++x) {
            auto p = client_->Pixel_At(r.X + x, r.Y + y);
            if (p == Rgb(255, 255, 0))
                ++yellow;
            else if (p == Rgb(0, 0, 255))
                ++blue;
            else
                ++other;  // anti-aliased edges
        }
    EXPECT_GT(yellow, 40);
    // The text's cell keeps the blue under it.
    EXPECT_GT(blue, yellow);
    // Print moved the position one line down, to the left edge.
    EXPECT_DOUBLE_EQ(form->Current_X(), 0);
    EXPECT_DOUBLE_EQ(form->Current_Y(), 300 + form->Text_Height("HHHH"));
}

TEST_F(Window_Test, ButtonsAndTextBoxesAreChildWindowsInTheirColours) {
    auto design = Dialog_Design("controls");
    nrvnc::Control_Design button;
    button.Id = 11;
    button.Caption = "&Accept";
    button.Back_Color = Rgb(255, 255, 255);
    button.Left = 750, button.Top = 1500, button.Width = 1500, button.Height = 600;
    button.Font = design.Font;
    nrvnc::Control_Design field;
    field.Id = 1;
    field.Kind = nrvnc::Control_Kind::Text_Box;
    field.Back_Color = Rgb(0, 255, 0);
    field.Left = 750, field.Top = 450, field.Width = 3000, field.Height = 405;
    field.Font = design.Font;
    field.Tab_Index = 1;
    design.Controls = {button, field};
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(design, events);
    Show(*form);
    Settle();
    auto r = client_->Root_Rect(As_X11(*form).Handle());
    // Inside the edges, off the caption.
    EXPECT_EQ(client_->Pixel_At(r.X + 50 + 4, r.Y + 100 + 4), Rgb(255, 255, 255));
    EXPECT_EQ(client_->Pixel_At(r.X + 50 + 190, r.Y + 30 + 20), Rgb(0, 255, 0));

    form->Item(11).Set_Back_Color(Rgb(128, 255, 128));
    form->Item(1).Set_Visible(false);
    Settle();
    EXPECT_EQ(client_->Pixel_At(r.X + 50 + 4, r.Y + 100 + 4), Rgb(128, 255, 128));
    EXPECT_EQ(client_->Pixel_At(r.X + 50 + 190, r.Y + 30 + 20), Rgb(0, 0, 0));
}

// The pixels of the cursor the pointer shows now.
std::vector<unsigned long> Cursor_Image(Client& client) {
    XSync(client.Dpy(), False);
    std::vector<unsigned long> pixels;
    if (XFixesCursorImage* image = XFixesGetCursorImage(client.Dpy())) {
        pixels.assign(image->pixels, image->pixels + image->width * image->height);
        XFree(image);
    }
    return pixels;
}

TEST_F(Window_Test, HourglassPointerIsTheWatchCursor) {
    Display* c = client_->Dpy();
    int event_base, error_base;
    if (!XFixesQueryExtension(c, &event_base, &error_base)) GTEST_SKIP() << "no XFIXES";
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("busy"), events);
    Show(*form);
    Window w = As_X11(*form).Handle();
    auto r = client_->Root_Rect(w);
    XTestFakeMotionEvent(c, -1, r.X + 20, r.Y + 20, CurrentTime);
    // The server shows a new cursor a moment after the change.
    std::vector<unsigned long> normal, watch;
    ASSERT_TRUE(Pump_Until(*runtime_, [&] {
        auto before = normal;
        normal = Cursor_Image(*client_);
        return normal.size() > 1 && normal == before;
    }));
    // What the watch cursor looks like on this display, set on the form's
    // window behind the runtime's back.
    Display* d = display_->Dpy();
    Cursor watch_cursor = XCreateFontCursor(d, XC_watch);
    XDefineCursor(d, w, watch_cursor);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] {
        watch = Cursor_Image(*client_);
        return watch.size() > 1 && watch != normal;
    }));
    XUndefineCursor(d, w);
    XFreeCursor(d, watch_cursor);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return Cursor_Image(*client_) == normal; }));

    form->Set_Pointer(nrvnc::Mouse_Pointer::Hourglass);
    EXPECT_TRUE(Pump_Until(*runtime_, [&] { return Cursor_Image(*client_) == watch; }));
    form->Set_Pointer(nrvnc::Mouse_Pointer::Default);
    EXPECT_TRUE(Pump_Until(*runtime_, [&] { return Cursor_Image(*client_) == normal; }));
}

TEST_F(Window_Test, ScreenSizeAndTwipsPerPixelFollowTheResolution) {
    EXPECT_DOUBLE_EQ(runtime_->Twips_Per_Pixel_X(), 15);
    EXPECT_DOUBLE_EQ(runtime_->Twips_Per_Pixel_Y(), 15);
    EXPECT_DOUBLE_EQ(runtime_->Screen_Width(), 1024 * 15);
    EXPECT_DOUBLE_EQ(runtime_->Screen_Height(), 768 * 15);
}

TEST(Resolution_Test, ServerResolutionAndXftDpiResource) {
    Xvfb server(120, "800x600x24");
    if (!server.Running()) GTEST_SKIP() << "Xvfb is not installed";
    {
        auto display = nrvnc::X11_Display::Open(server.Name());
        ASSERT_NE(display, nullptr);
        EXPECT_DOUBLE_EQ(display->Dpi(), 120);
        EXPECT_DOUBLE_EQ(display->Twips_Per_Pixel(), 12);
    }
    // A desktop that sets Xft.dpi decides the resolution.
    Client client(server.Name());
    ASSERT_NE(client.Dpy(), nullptr);
    std::string resources = "Xft.dpi:\t144\n";
    XChangeProperty(client.Dpy(), client.Root(), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(client.Dpy(), False);
    auto display = nrvnc::X11_Display::Open(server.Name());
    ASSERT_NE(display, nullptr);
    EXPECT_DOUBLE_EQ(display->Twips_Per_Pixel(), 10);
}

TEST(Open_Test, NoDisplayIsReportedNotCrashed) {
    EXPECT_EQ(nrvnc::X11_Display::Open(":987"), nullptr);
    EXPECT_EQ(nrvnc::X11_Display::Open_Failure(":987"), "cannot open the X display \":987\"");
}

}  // namespace
}  // namespace x11_test
