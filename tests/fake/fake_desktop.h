// The fake desktop: an in-memory implementation of the whole platform seam,
// deterministic and fast, for the unit and flow tests.
//
// Time moves only when the code sleeps or lets events run (each Do_Events
// advances the clock by 1 ms). Things that happen "later" (a viewer
// opening its status window after 500 ms) are entries of a timeline run by
// the clock. A scripted operator acts on what is on screen, one step after
// the other, inside Do_Events.
//
// A test that waits for something that never comes fails with Fake_Stuck
// instead of hanging. Fault injection throws Fake_Crash, which is not a
// Runtime_Error and so passes every handler of the program, like a power
// cut would.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/form_model.h"
#include "platform/platform.h"

namespace nrvnc::fake {

struct Fake_Stuck {
    std::string What;
};
struct Fake_Crash {};

class Fake_Desktop;

// ---- clock ----
class Fake_Clock : public Clock {
  public:
    explicit Fake_Clock(Fake_Desktop& d) : d_(d) {}
    uint32_t Tick_Count() override { return now; }
    void Sleep_Ex(uint32_t milliseconds, bool) override { Advance(milliseconds); }
    int Weekday() override { return weekday; }

    void Advance(uint32_t milliseconds);  // runs the timeline entries that fall due

    uint32_t now = 1000;
    int weekday = 2;             // Monday
    uint64_t elapsed_total = 0;  // milliseconds moved since the start, without wrap

  private:
    Fake_Desktop& d_;
};

// ---- files ----
class Fake_Files : public File_System {
  public:
    std::string Working_Directory() override { return "C:\\Work"; }
    std::string Native_Path(const std::string& path) override { return path; }
    bool Ordinary_File_Exists(const std::string& path) override {
        return files.count(path) && !hidden.count(path);
    }
    bool Folder_Exists(const std::string& path) override { return folders.count(path) > 0; }
    void Create_Folder(const std::string& path) override;
    std::string Read_Head(const std::string& path, std::size_t max_bytes) override;
    void Write_File(const std::string& path, const std::string& bytes) override {
        files[path] = bytes;
    }
    // "<beside>.tmp<n>"; fails with nothing left when that name is unwritable.
    std::string Write_Temporary_File(const std::string& beside_path,
                                     const std::string& bytes) override;
    void Replace_File(const std::string& from, const std::string& to) override;
    void Delete_File(const std::string& path) override;
    std::optional<std::string> Environment_Variable(const std::string& name) override {
        if (!environment.count(name)) return std::nullopt;
        return environment[name];
    }

    std::map<std::string, std::string> files;  // path as the program spells it -> bytes
    std::set<std::string> hidden;              // files that exist but do not count
    std::set<std::string> folders;
    std::set<std::string> unreadable;  // reading raises
    std::set<std::string> uncreatable_folders;
    std::set<std::string> unwritable;  // writing a file of this path raises
    int temporaries_made = 0;
    std::map<std::string, std::string> environment;

    // Every mutating step counts one point; the step numbered crash_at_point
    // throws Fake_Crash before it happens (a write dies half-way).
    int points = 0;
    int crash_at_point = -1;
    std::map<std::string, int> reads;  // path -> times its head was read

  private:
    void Point() {
        if (points++ == crash_at_point) throw Fake_Crash{};
    }
};

// ---- processes and windows ----
struct Viewer_Behaviour {
    // Times in ms after the start; a negative value means never.
    int Status_Window_After = 500;
    int Status_Window_Closes_After = 2000;  // connected
    int Error_Box_After = -1;               // connection failed
    int Exits_After = -1;                   // the process ends by itself
};

class Fake_Processes : public Processes {
  public:
    explicit Fake_Processes(Fake_Desktop& d) : d_(d) {}
    uint32_t Start(const std::string& command_line, Show_State show) override;
    std::vector<Process_Entry> List() override;
    // Every call is timed in terminate_times; process 0 is never acted on.
    void Terminate(uint32_t process_id) override;

    // What a started program does, by its command name ("vncviewer").
    std::map<std::string, std::function<void(uint32_t pid)>> programs;
    // Shortcut: the viewer's windows over time.
    void Script_Viewer(const Viewer_Behaviour& behaviour);
    void End(uint32_t pid);  // the process and its windows are gone

    std::vector<Process_Entry> running;
    std::vector<std::pair<std::string, Show_State>> started;  // command lines
    bool start_raises = false;
    bool start_returns_zero = false;
    uint32_t next_pid = 4000;
    std::vector<uint32_t> start_times, list_times, terminate_times;  // clock at each call

  private:
    Fake_Desktop& d_;
};

class Fake_Windows : public Desktop {
  public:
    // By the exact title: the tests open every window with the title the
    // program looks for (letter case is the real backends' contract).
    bool Window_Exists(const std::string& title) override;
    void Post_Taskbar_Command(int command) override { taskbar_commands.push_back(command); }

    void Open(const std::string& title, uint32_t owner_pid = 0) {
        windows.emplace_back(title, owner_pid);
    }
    void Close(const std::string& title) {
        std::erase_if(windows, [&](const auto& w) { return w.first == title; });
    }

    std::vector<std::pair<std::string, uint32_t>> windows;  // title, owner
    std::vector<int> taskbar_commands;
};

// ---- network ----
struct Endpoint {
    // Accept_Then_Reset: connected for one look at the state, then an error.
    enum class Kind { Accept, Accept_Then_Reset, Refuse } What = Kind::Accept;
    uint32_t After_Ms = 5;  // when it accepts or refuses
};

struct Fake_Connection_Log {
    std::string Host;
    int32_t Port;
    std::optional<uint32_t> Closed;
};

struct Fake_Ftp_Server {  // known by the plain name only
    bool Has_Folder = true;
    std::optional<std::string> File;  // Repeater.Dat content (as stored, LF or CR LF)
};

class Fake_Ftp : public Ftp_Client {
  public:
    explicit Fake_Ftp(Fake_Desktop& d) : d_(d) {}
    Handle Internet_Open(const std::string& agent) override;
    Handle Internet_Connect(Handle session, const std::string& server, uint16_t port,
                            const std::string& user, const std::string& password) override;
    bool Set_Current_Directory(Handle connection, const std::string& folder) override;
    bool Get_File(Handle connection, const std::string& remote_name, const std::string& local_path,
                  bool ascii, std::size_t max_bytes) override;
    void Close_Handle(Handle handle) override { open_handles.erase(handle); }

    std::optional<Fake_Ftp_Server> server;  // the program's server; none: unknown
    int sessions_opened = 0;
    std::set<Handle> open_handles;

  private:
    bool Live(Handle h) const { return folders_.count(h) && open_handles.count(h); }
    Fake_Desktop& d_;
    Handle next_ = 100;
    std::map<Handle, std::string> folders_;  // connection -> current folder
};

class Fake_Network : public Network {
  public:
    explicit Fake_Network(Fake_Desktop& d) : ftp(d), d_(d) {}
    std::unique_ptr<Tcp_Socket> Create_Tcp_Socket() override;
    Ftp_Client& Ftp() override { return ftp; }
    bool Check_Internet_Connection(const std::string& url) override {
        internet_checks.push_back(url);
        return internet_ok;
    }

    // "host:port" -> behaviour; anything not listed never answers.
    std::map<std::string, Endpoint> endpoints;
    std::set<std::string> unresolvable;  // host names: Connect raises
    bool internet_ok = true;
    std::vector<std::string> internet_checks;
    std::vector<Fake_Connection_Log> connections;
    Fake_Ftp ftp;

  private:
    Fake_Desktop& d_;
};

// ---- forms ----
class Fake_Metrics : public Text_Metrics {
  public:
    explicit Fake_Metrics(Fake_Desktop& d) : d_(d) {}
    // A character is 0.6 em wide; a line is 1.15 em high (1 em = size x 20 twips).
    double Text_Width(const Font_Spec& font, const std::string& text) const override;
    double Text_Height(const Font_Spec& font, const std::string& text) const override;
    // Whole pixels at the screen's vertical resolution, unless a font has
    // its own list of sizes.
    float Renderable_Size(const std::string& font_name, float size) const override;

    std::map<std::string, std::vector<float>> fixed_sizes;  // font -> the only sizes it has

  private:
    Fake_Desktop& d_;
};

// A loaded form, listed in live while it exists.
class Fake_Form : public Form_Model {
  public:
    Fake_Form(std::vector<Fake_Form*>& live, const Form_Design& design, Form_Events& events,
              const Text_Metrics& metrics, Frame_Insets frame)
        : Form_Model(design, events, metrics, frame), live_(live) {
        live_.push_back(this);
    }
    ~Fake_Form() override { std::erase(live_, this); }

  private:
    std::vector<Fake_Form*>& live_;
};

struct Message_Box_Log {
    std::string Text, Title;
};

class Fake_Forms : public Forms_Runtime {
  public:
    explicit Fake_Forms(Fake_Desktop& d) : metrics(d), d_(d) {}
    std::unique_ptr<Form> Load_Form(const Form_Design& design, Form_Events& events) override;
    void Do_Events() override;
    // The operator reads it and presses OK at once.
    void Message_Box(const std::string& text, const std::string& title) override {
        message_boxes.push_back({text, title});
    }
    std::string App_Title() const override { return "NRVNC"; }
    double Screen_Width() const override { return screen_width_px * twips_per_pixel_x; }
    double Screen_Height() const override { return screen_height_px * twips_per_pixel_y; }
    double Twips_Per_Pixel_X() const override { return twips_per_pixel_x; }
    double Twips_Per_Pixel_Y() const override { return twips_per_pixel_y; }
    int Font_Count() const override { return static_cast<int>(fonts.size()); }
    std::string Font(int index) const override;
    Color System_Color(int index) const override;

    // 96 dots per inch: 15 twips per pixel; 120: 12.
    void Set_Dots_Per_Inch(int dpi) { twips_per_pixel_x = twips_per_pixel_y = 1440.0 / dpi; }

    int screen_width_px = 1920, screen_height_px = 1080;
    double twips_per_pixel_x = 15, twips_per_pixel_y = 15;
    std::vector<std::string> fonts{"Arial", "Courier New", "Times New Roman"};
    Fake_Metrics metrics;
    std::vector<Fake_Form*> live;  // loaded forms, in load order
    std::vector<Message_Box_Log> message_boxes;
    uint64_t do_events_limit = 400'000;  // 400 s of fake time: a stuck run fails fast

  private:
    uint64_t do_events_calls_ = 0;
    Fake_Desktop& d_;
};

// ---- what the operator sees, and the operator ----
struct Screen_Snapshot {
    std::string Caption;
    std::vector<std::string> Texts;      // printed texts, in drawing order, blanks kept
    std::map<int, std::string> Buttons;  // shown buttons: id -> caption
    std::string Field;                   // the text box's text, if one is shown
};

class Operator {
  public:
    explicit Operator(Fake_Desktop& d) : d_(d) {}

    // Conditions: the next step waits until this is on screen.
    Operator& On_Message(int number);                       // a message dialog # number, waiting
    Operator& On_Screen(const std::string& caption_start);  // an entry screen
    Operator& On(std::function<bool()> condition) {
        steps_.push_back({std::move(condition), nullptr});
        return *this;
    }

    // Actions on the form the last condition found.
    Operator& Press(int control_id);          // mouse click on a control
    Operator& Type(const std::string& text);  // keys of the main keyboard
    Operator& Key(int key_code, int character = 0, int shift = 0);
    Operator& Alt(char letter) {
        return Key(std::toupper(static_cast<unsigned char>(letter)), 0, Shift_Mask::Alt);
    }
    Operator& Clear_Field();  // End, then Backspace until empty
    Operator& Run(std::function<void()> action) {
        steps_.push_back({nullptr, std::move(action)});
        return *this;
    }

    bool Done() const { return steps_.empty(); }
    std::size_t Pending() const { return steps_.size(); }
    void Act();  // called inside Do_Events
    Fake_Form* Current() const { return Current_Is_Live() ? current_ : nullptr; }
    bool Current_Is_Live() const;

  private:
    struct Step {
        std::function<bool()> Condition;  // a step is a condition or an action
        std::function<void()> Action;
    };
    bool Find(const std::function<bool(const Fake_Form&)>& wanted);
    Fake_Desktop& d_;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    Fake_Form* current_ = nullptr;
    bool busy_ = false;
};

class Fake_Desktop {
  public:
    Fake_Desktop();

    Platform& platform() { return platform_; }

    Screen_Snapshot Snapshot(const Fake_Form& form) const;

    // Runs an action at a given time from now on the fake clock.
    void At(uint32_t delay_ms, std::function<void()> action) {
        timeline_.emplace(clock.elapsed_total + delay_ms, std::move(action));
    }
    void Run_Due();

    Fake_Clock clock;
    Fake_Files files;
    Fake_Processes processes;
    Fake_Windows windows;
    Fake_Network network;
    Fake_Forms forms;
    Operator operator_;
    std::vector<Screen_Snapshot> seen;  // what the operator looked at, in order

  private:
    // Due time -> action; actions due together run in the order they were added.
    std::multimap<uint64_t, std::function<void()>> timeline_;
    Platform platform_;
};

}  // namespace nrvnc::fake
