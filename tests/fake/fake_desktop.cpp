#include "tests/fake/fake_desktop.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "builtin_values.h"

namespace nrvnc::fake {

namespace {

std::string Parent(const std::string& path) {
    auto cut = path.find_last_of('\\');
    return cut == std::string::npos ? "" : path.substr(0, cut);
}

Runtime_Error Denied() {
    return Runtime_Error(Error_Number::Permission_Denied, "Permission denied");
}
Runtime_Error Not_Found() {
    return Runtime_Error(Error_Number::File_Not_Found, "File not found");
}

}  // namespace

void Fake_Clock::Advance(uint32_t milliseconds) {
    for (uint32_t i = 0; i < milliseconds; ++i) {
        ++now;  // wraps like the real counter
        ++elapsed_total;
        d_.Run_Due();
    }
}

// ---- files ----

void Fake_Files::Create_Folder(const std::string& path) {
    Point();
    if (uncreatable_folders.count(path)) throw Denied();
    if (!Parent(path).empty() && !folders.count(Parent(path)))
        throw Runtime_Error(Error_Number::Path_Not_Found, "Path not found");
    if (folders.count(path) || files.count(path))
        throw Runtime_Error(Error_Number::Path_File_Access_Error, "Path/File access error");
    folders.insert(path);
}

std::string Fake_Files::Read_Head(const std::string& path, std::size_t max_bytes) {
    ++reads[path];
    if (unreadable.count(path)) throw Denied();
    if (!files.count(path)) throw Not_Found();
    return files[path].substr(0, max_bytes);
}

std::string Fake_Files::Write_Temporary_File(const std::string& beside_path,
                                             const std::string& bytes) {
    std::string path = beside_path + ".tmp" + std::to_string(++temporaries_made);
    if (!Parent(path).empty() && !folders.count(Parent(path)))
        throw Runtime_Error(Error_Number::Path_Not_Found, "Path not found");
    if (unwritable.count(path)) throw Denied();
    // A crash leaves what was written so far; a reported failure nothing.
    for (std::size_t size : {std::size_t{0}, bytes.size() / 2, bytes.size()}) {
        Point();
        files[path] = bytes.substr(0, size);
    }
    return path;
}

void Fake_Files::Replace_File(const std::string& from, const std::string& to) {
    if (!files.count(from)) throw Not_Found();
    if (unwritable.count(to)) throw Denied();
    Point();
    files[to] = files[from];
    files.erase(from);
}

void Fake_Files::Delete_File(const std::string& path) {
    if (!files.count(path)) throw Not_Found();
    Point();
    files.erase(path);
}

// ---- processes and windows ----

uint32_t Fake_Processes::Start(const std::string& command_line, Show_State show) {
    start_times.push_back(d_.clock.now);
    started.emplace_back(command_line, show);
    if (start_raises) throw Not_Found();
    if (start_returns_zero) return 0;
    std::string name = command_line.substr(0, command_line.find(' '));
    uint32_t pid = next_pid++;
    // Listed under its file name, as the system lists it ("vncviewer.exe" on Windows).
    running.push_back(
        {name == Builtin::Viewer_Command_Name ? Builtin::Viewer_File_Name : name, pid});
    if (programs.count(name)) programs[name](pid);
    return pid;
}

std::vector<Process_Entry> Fake_Processes::List() {
    list_times.push_back(d_.clock.now);
    return running;
}

void Fake_Processes::Terminate(uint32_t process_id) {
    terminate_times.push_back(d_.clock.now);
    if (process_id != 0) End(process_id);
}

void Fake_Processes::End(uint32_t pid) {
    std::erase_if(running, [&](const Process_Entry& p) { return p.Process_ID == pid; });
    std::erase_if(d_.windows.windows, [&](const auto& w) { return w.second == pid; });
}

void Fake_Processes::Script_Viewer(const Viewer_Behaviour& b) {
    programs["vncviewer"] = [this, b](uint32_t pid) {
        // While the process lives, the action happens that many ms after the start.
        auto later = [this, pid](int ms, std::function<void()> action) {
            if (ms >= 0)
                d_.At(static_cast<uint32_t>(ms), [this, pid, action] {
                    if (std::any_of(running.begin(), running.end(),
                                    [&](const Process_Entry& p) { return p.Process_ID == pid; }))
                        action();
                });
        };
        const std::string& command = started.back().first;
        std::string host = "ID";
        if (command.find(" -proxy ") == std::string::npos) {  // the host follows the password
            auto at = command.find("qx4817 ") + 7;
            host = command.substr(at, command.find(' ', at) - at);
        }
        std::string status = "VNC Viewer Status for " + host;
        later(b.Status_Window_After, [=, this] { d_.windows.Open(status, pid); });
        later(b.Status_Window_Closes_After, [=, this] {
            d_.windows.Close(status);
            d_.windows.Open("Remote Desktop - Viewer", pid);
        });
        later(b.Error_Box_After, [=, this] { d_.windows.Open("VncViewer Message Box", pid); });
        later(b.Exits_After, [=, this] { End(pid); });
    };
}

bool Fake_Windows::Window_Exists(const std::string& title) {
    return std::any_of(windows.begin(), windows.end(),
                       [&](const auto& w) { return w.first == title; });
}

// ---- network ----

class Fake_Socket : public Tcp_Socket {
  public:
    explicit Fake_Socket(Fake_Network& n, Fake_Clock& c) : net_(n), clock_(c) {}
    void Close() override {
        if (log_ >= 0 && !net_.connections[log_].Closed) net_.connections[log_].Closed = clock_.now;
        log_ = -1;
        state_ = Socket_State::Closed;
        reset_next_ = false;
    }
    void Set_Remote_Host(const std::string& host) override { host_ = host; }
    void Set_Remote_Port(int32_t port) override {
        if (port < 0 || port > 65535) throw Runtime_Error(380, "Invalid property value");
        port_ = port;
    }
    void Connect() override {
        if (state_ != Socket_State::Closed)
            throw Runtime_Error(40020, "Invalid operation at current state");
        if (net_.unresolvable.count(host_))
            throw Runtime_Error(11001, "Authoritative answer: Host not found");
        log_ = static_cast<int>(net_.connections.size());
        net_.connections.push_back({host_, port_, std::nullopt});
        started_ = clock_.now;
        state_ = Socket_State::Connecting;
    }
    int State() override {
        if (reset_next_) {  // the peer reset the connection it accepted
            reset_next_ = false;
            state_ = Socket_State::Error;
        }
        auto it = net_.endpoints.find(host_ + ":" + std::to_string(port_));
        if (state_ != Socket_State::Connecting || it == net_.endpoints.end() ||
            clock_.now - started_ < it->second.After_Ms)
            return state_;
        reset_next_ = it->second.What == Endpoint::Kind::Accept_Then_Reset;
        state_ = it->second.What == Endpoint::Kind::Refuse ? Socket_State::Error
                                                           : Socket_State::Connected;
        return state_;
    }

  private:
    Fake_Network& net_;
    Fake_Clock& clock_;
    std::string host_;
    int32_t port_ = 0;
    int state_ = Socket_State::Closed;
    uint32_t started_ = 0;
    int log_ = -1;
    bool reset_next_ = false;
};

std::unique_ptr<Tcp_Socket> Fake_Network::Create_Tcp_Socket() {
    return std::make_unique<Fake_Socket>(*this, d_.clock);
}

Ftp_Client::Handle Fake_Ftp::Internet_Open(const std::string&) {
    ++sessions_opened;
    open_handles.insert(next_);
    return next_++;
}

Ftp_Client::Handle Fake_Ftp::Internet_Connect(Handle session, const std::string& name,
                                              uint16_t port, const std::string& user,
                                              const std::string& password) {
    if (!open_handles.count(session) || !server || port != 0 || name != Builtin::FTP_Server_Name ||
        user != Builtin::FTP_User_Name || password != Builtin::FTP_Password)
        return 0;
    open_handles.insert(next_);
    folders_[next_] = "";
    return next_++;
}

bool Fake_Ftp::Set_Current_Directory(Handle connection, const std::string& folder) {
    if (!Live(connection) || !server->Has_Folder || folder != "VNCRepeater") return false;
    folders_[connection] = folder;
    return true;
}

bool Fake_Ftp::Get_File(Handle connection, const std::string& remote_name,
                        const std::string& local_path, bool ascii, std::size_t max_bytes) {
    if (!Live(connection) || folders_[connection] != "VNCRepeater" ||
        remote_name != "Repeater.Dat" || !server->File)
        return false;
    const std::string& file = *server->File;
    std::string content;
    for (std::size_t i = 0; i < file.size(); ++i) {
        // text transfer ends every line with CR LF
        if (ascii && file[i] == '\n' && (i == 0 || file[i - 1] != '\r')) content += '\r';
        content += file[i];
    }
    if (content.size() > max_bytes) return false;
    d_.files.files[local_path] = content;
    return true;
}

// ---- forms ----

double Fake_Metrics::Text_Width(const Font_Spec& font, const std::string& text) const {
    return std::round(static_cast<double>(text.size()) * font.Size * 20.0 * 0.6 *
                      (font.Bold ? 1.0 : 0.95));
}

double Fake_Metrics::Text_Height(const Font_Spec& font, const std::string&) const {
    // A whole number of pixels, as a real screen gives.
    double tpp = d_.forms.twips_per_pixel_y;
    return std::ceil(font.Size * 1.15 * 20.0 / tpp) * tpp;
}

float Fake_Metrics::Renderable_Size(const std::string& font_name, float size) const {
    auto it = fixed_sizes.find(font_name);
    if (it != fixed_sizes.end() && !it->second.empty())
        return *std::min_element(it->second.begin(), it->second.end(), [&](float a, float b) {
            return std::fabs(a - size) < std::fabs(b - size);
        });
    // As the X11 and Windows backends: the nearest whole pixel at the
    // screen's resolution, at least one.
    double dpi = 1440.0 / d_.forms.twips_per_pixel_y;
    if (std::fabs(dpi - std::round(dpi)) < 1e-9) dpi = std::round(dpi);
    long px = std::max(1L, std::lround(size * dpi / 72.0));
    return static_cast<float>(static_cast<double>(px) * 72.0 / dpi);
}

std::unique_ptr<Form> Fake_Forms::Load_Form(const Form_Design& design, Form_Events& events) {
    Frame_Insets frame;
    if (design.Border != Border_Style::None) {
        // 3 pixels of frame on each side, and a 20-pixel title bar
        frame.Left = frame.Right = frame.Bottom = 3 * twips_per_pixel_x;
        frame.Top = 23 * twips_per_pixel_y;
    }
    return std::make_unique<Fake_Form>(live, design, events, metrics, frame);
}

void Fake_Forms::Do_Events() {
    if (++do_events_calls_ > do_events_limit)
        throw Fake_Stuck{"the program kept waiting; operator steps left: " +
                         std::to_string(d_.operator_.Pending())};
    d_.clock.Advance(1);
    for (auto* f : std::vector<Fake_Form*>(live))
        if (std::find(live.begin(), live.end(), f) != live.end()) f->Run_Pending_Events();
    d_.operator_.Act();
}

std::string Fake_Forms::Font(int index) const {
    if (index < 0 || index >= Font_Count())
        throw Runtime_Error(Error_Number::Subscript_Out_Of_Range, "Subscript out of range");
    return fonts[static_cast<std::size_t>(index)];
}

Color Fake_Forms::System_Color(int index) const {
    switch (index) {
        case 15:
            return Rgb(240, 240, 240);  // button face
        case 16:
            return Rgb(160, 160, 160);  // button shadow
        default:
            return Rgb(128, 128, 128);
    }
}

// ---- operator ----

bool Operator::Current_Is_Live() const {
    return std::find(d_.forms.live.begin(), d_.forms.live.end(), current_) != d_.forms.live.end();
}

// A visible form whose caption passes the test, made the current one. A
// general condition keeps the form found last, so that actions after it go
// on acting there.
bool Operator::Find(const std::function<bool(const Fake_Form&)>& wanted) {
    for (auto* f : d_.forms.live)
        if (f->Visible() && wanted(*f)) {
            current_ = f;
            return true;
        }
    return false;
}

Operator& Operator::On_Message(int number) {
    std::string tail = "Message # " + std::to_string(number);
    // The stand-by notice (1) is up, disabled, without buttons; a waiting
    // message is enabled and has its buttons up, one focused.
    return On([=, this] {
        return Find([&](const Fake_Form& f) {
            return f.Caption().ends_with(tail) &&
                   (number == 1 || (f.Enabled() && f.Focused_Id() >= 0));
        });
    });
}

Operator& Operator::On_Screen(const std::string& caption_start) {
    return On([=, this] {
        return Find([&](const Fake_Form& f) {
            return f.Caption().starts_with(caption_start) && f.Enabled() && f.Focused_Id() >= 0;
        });
    });
}

Operator& Operator::Type(const std::string& text) {
    return Run([this, text] {
        for (unsigned char c : text) {
            // The key code of a character typed on the main keyboard.
            int key = std::isalnum(c) ? std::toupper(c)
                      : c == '.'      ? Key::Period
                      : c == '-'      ? 189
                                      : 0;
            if (Current_Is_Live()) current_->Deliver_Key(key, 0, c);
        }
    });
}

Operator& Operator::Press(int control_id) {
    return Run([=, this] {
        if (Current_Is_Live()) current_->Deliver_Click(control_id);
    });
}

Operator& Operator::Key(int key_code, int character, int shift) {
    return Run([=, this] {
        if (Current_Is_Live()) current_->Deliver_Key(key_code, shift, character);
    });
}

Operator& Operator::Clear_Field() {
    return Run([this] {
        for (int i = 0; i < 201 && Current_Is_Live(); ++i)
            current_->Deliver_Key(i ? Key::Back : Key::End, 0, i ? Key::Back : 0);
    });
}

void Operator::Act() {
    if (busy_) return;  // an action that lets events run must not re-enter
    busy_ = true;
    while (next_ < steps_.size()) {
        Step& s = steps_[next_];
        if (s.Condition && !s.Condition()) break;
        ++next_;
        if (s.Condition) {
            if (Current_Is_Live()) d_.seen.push_back(d_.Snapshot(*current_));
        } else {
            auto action = s.Action;
            action();
            break;  // one action per pass: the program reacts before the next one
        }
    }
    if (next_ == steps_.size()) steps_.clear(), next_ = 0;
    busy_ = false;
}

// ---- desktop ----

Fake_Desktop::Fake_Desktop()
    : clock(*this),
      processes(*this),
      network(*this),
      forms(*this),
      operator_(*this),
      platform_{clock, files, processes, windows, network, forms} {}

Screen_Snapshot Fake_Desktop::Snapshot(const Fake_Form& form) const {
    Screen_Snapshot s;
    s.Caption = form.Caption();
    for (const auto& op : form.Drawing())
        if (op.What == Draw_Op::Kind::Text) s.Texts.push_back(op.Text);
    for (auto* c : form.Controls_In_Tab_Order()) {
        if (!c->Visible()) continue;
        if (c->Kind() == Control_Kind::Command_Button)
            s.Buttons[c->Id()] = c->Caption();
        else
            s.Field = c->Text();
    }
    return s;
}

void Fake_Desktop::Run_Due() {
    while (!timeline_.empty() && timeline_.begin()->first <= clock.elapsed_total) {
        auto action = std::move(timeline_.begin()->second);
        timeline_.erase(timeline_.begin());
        action();
    }
}

}  // namespace nrvnc::fake
