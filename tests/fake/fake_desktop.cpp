#include "tests/fake/fake_desktop.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include "builtin_values.h"

namespace nrvnc::fake {

namespace {

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool Ends_With(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

// ---- clock ----

void Fake_Clock::Advance(uint32_t milliseconds) {
    for (uint32_t i = 0; i < milliseconds; ++i) {
        ++now;  // wraps like the real counter
        ++elapsed_total;
        d_.Run_Due();
    }
}

void Fake_Clock::Sleep_Ex(uint32_t milliseconds, bool) { Advance(milliseconds); }

// ---- files ----

void Fake_Files::Point() {
    if (points++ == crash_at_point) throw Fake_Crash{crash_at_point};
}

bool Fake_Files::Ordinary_File_Exists(const std::string& path) {
    return files.count(path) && !hidden.count(path);
}

bool Fake_Files::Folder_Exists(const std::string& path) { return folders.count(path) > 0; }

void Fake_Files::Create_Folder(const std::string& path) {
    Point();
    operations.push_back("mkdir " + path);
    auto cut = path.find_last_of('\\');
    std::string parent = cut == std::string::npos ? "" : path.substr(0, cut);
    if (uncreatable_folders.count(path)) throw Runtime_Error(Error_Number::Permission_Denied, "Permission denied");
    if (!parent.empty() && !folders.count(parent))
        throw Runtime_Error(Error_Number::Path_Not_Found, "Path not found");
    if (folders.count(path) || files.count(path))
        throw Runtime_Error(Error_Number::Path_File_Access_Error, "Path/File access error");
    folders.insert(path);
}

std::string Fake_Files::Read_Head(const std::string& path, std::size_t max_bytes) {
    operations.push_back("read " + path);
    if (unreadable.count(path)) throw Runtime_Error(Error_Number::Permission_Denied, "Permission denied");
    auto it = files.find(path);
    if (it == files.end()) throw Runtime_Error(Error_Number::File_Not_Found, "File not found");
    return it->second.substr(0, max_bytes);
}

std::string Fake_Files::Write_Temporary_File(const std::string& beside_path,
                                             const std::string& bytes) {
    std::string path = beside_path + ".tmp" + std::to_string(++temporaries_made);
    operations.push_back("temp " + path);
    auto cut = path.find_last_of('\\');
    if (cut != std::string::npos && !folders.count(path.substr(0, cut)))
        throw Runtime_Error(Error_Number::Path_Not_Found, "Path not found");
    if (files.count(path)) throw Runtime_Error(Error_Number::Path_File_Access_Error, "File exists");
    if (unwritable.count(path))
        throw Runtime_Error(Error_Number::Permission_Denied, "Permission denied");
    // A crash leaves what was written so far; a reported failure nothing.
    Point();
    files[path] = "";
    Point();
    files[path] = bytes.substr(0, bytes.size() / 2);
    Point();
    files[path] = bytes;
    return path;
}

void Fake_Files::Replace_File(const std::string& from, const std::string& to) {
    operations.push_back("replace " + from + " -> " + to);
    auto it = files.find(from);
    if (it == files.end()) throw Runtime_Error(Error_Number::File_Not_Found, "File not found");
    if (unwritable.count(to)) throw Runtime_Error(Error_Number::Permission_Denied, "Permission denied");
    Point();
    files[to] = it->second;
    files.erase(from);
}

void Fake_Files::Delete_File(const std::string& path) {
    operations.push_back("delete " + path);
    if (!files.count(path)) throw Runtime_Error(Error_Number::File_Not_Found, "File not found");
    Point();
    files.erase(path);
}

std::optional<std::string> Fake_Files::Environment_Variable(const std::string& name) {
    auto it = environment.find(name);
    if (it == environment.end()) return std::nullopt;
    return it->second;
}

// ---- processes and windows ----

uint32_t Fake_Processes::Start(const std::string& command_line, Show_State show) {
    started.emplace_back(command_line, show);
    if (start_raises) throw Runtime_Error(Error_Number::File_Not_Found, "File not found");
    if (start_returns_zero) return 0;
    std::string name = command_line.substr(0, command_line.find(' '));
    uint32_t pid = next_pid++;
    // Listed under its file name, as the system lists it ("vncviewer.exe" on Windows).
    running.push_back({name == Builtin::Viewer_Command_Name ? Builtin::Viewer_File_Name : name, pid});
    auto it = programs.find(name);
    if (it != programs.end()) it->second(pid);
    return pid;
}

std::vector<Process_Entry> Fake_Processes::List() {
    if (list_raises) throw Runtime_Error(-2147217405, "Access denied");
    std::vector<Process_Entry> list{{"System", 4}, {"explorer", 1200}};
    list.insert(list.end(), running.begin(), running.end());
    return list;
}

void Fake_Processes::Terminate(uint32_t process_id) {
    terminated.push_back(process_id);
    if (process_id == 0) return;
    std::erase_if(running, [&](const Process_Entry& p) { return p.Process_ID == process_id; });
    d_.windows.Close_All_Of(process_id);
}

void Fake_Processes::Script_Viewer(const Viewer_Behaviour& b) {
    programs["vncviewer"] = [this, b](uint32_t pid) {
        auto alive = [this, pid] {
            return std::any_of(running.begin(), running.end(),
                               [&](const Process_Entry& p) { return p.Process_ID == pid; });
        };
        std::string command = started.back().first;
        bool proxy = command.find(" -proxy ") != std::string::npos;
        std::string host;
        if (!proxy) {
            // the host stands after the password option
            std::istringstream words(command);
            std::string w, previous;
            while (words >> w) {
                if (previous == "qx4817") host = w;
                previous = w;
            }
        }
        std::string status = "VNC Viewer Status for " + (proxy ? std::string("ID") : host);
        if (b.Status_Window_After >= 0)
            d_.At(static_cast<uint32_t>(b.Status_Window_After), [this, alive, status, pid] {
                if (alive()) d_.windows.Open(status, pid);
            });
        if (b.Status_Window_Closes_After >= 0)
            d_.At(static_cast<uint32_t>(b.Status_Window_Closes_After), [this, alive, status, pid] {
                if (alive()) {
                    d_.windows.Close(status);
                    d_.windows.Open("Remote Desktop - Viewer", pid);
                }
            });
        if (b.Error_Box_After >= 0)
            d_.At(static_cast<uint32_t>(b.Error_Box_After), [this, alive, pid] {
                if (alive()) d_.windows.Open("VncViewer Message Box", pid);
            });
        if (b.Exits_After >= 0)
            d_.At(static_cast<uint32_t>(b.Exits_After), [this, pid] {
                std::erase_if(running, [&](const Process_Entry& p) { return p.Process_ID == pid; });
                d_.windows.Close_All_Of(pid);
            });
    };
}

bool Fake_Windows::Window_Exists(const std::string& title) {
    std::string wanted = Upper(title);
    return std::any_of(windows.begin(), windows.end(),
                       [&](const auto& w) { return Upper(w.first) == wanted; });
}

void Fake_Windows::Open(const std::string& title, uint32_t owner_pid) {
    windows.emplace_back(title, owner_pid);
}

void Fake_Windows::Close(const std::string& title) {
    std::erase_if(windows, [&](const auto& w) { return w.first == title; });
}

void Fake_Windows::Close_All_Of(uint32_t pid) {
    std::erase_if(windows, [&](const auto& w) { return w.second == pid && pid != 0; });
}

// ---- network ----

class Fake_Socket : public Tcp_Socket {
public:
    explicit Fake_Socket(Fake_Desktop& d) : d_(d) {}
    void Close() override {
        if (log_ >= 0 && !d_.network.connections[static_cast<std::size_t>(log_)].Closed)
            d_.network.connections[static_cast<std::size_t>(log_)].Closed = d_.clock.now;
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
        if (state_ != Socket_State::Closed) throw Runtime_Error(40020, "Invalid operation at current state");
        if (d_.network.unresolvable.count(host_)) throw Runtime_Error(11001, "Authoritative answer: Host not found");
        log_ = static_cast<int>(d_.network.connections.size());
        d_.network.connections.push_back({host_, port_, std::nullopt});
        started_ = d_.clock.now;
        state_ = Socket_State::Connecting;
    }
    int State() override {
        if (reset_next_) {  // the peer reset the connection it accepted
            reset_next_ = false;
            state_ = Socket_State::Error;
        }
        if (state_ != Socket_State::Connecting) return state_;
        auto it = d_.network.endpoints.find(host_ + ":" + std::to_string(port_));
        if (it == d_.network.endpoints.end() || it->second.What == Endpoint::Kind::Never_Answer)
            return state_;
        if (d_.clock.now - started_ < it->second.After_Ms) return state_;
        if (it->second.What != Endpoint::Kind::Refuse) {
            state_ = Socket_State::Connected;
            reset_next_ = it->second.What == Endpoint::Kind::Accept_Then_Reset;
        } else {
            state_ = Socket_State::Error;
        }
        return state_;
    }

private:
    Fake_Desktop& d_;
    std::string host_;
    int32_t port_ = 0;
    int state_ = Socket_State::Closed;
    uint32_t started_ = 0;
    int log_ = -1;
    bool reset_next_ = false;
};

std::unique_ptr<Tcp_Socket> Fake_Network::Create_Tcp_Socket() {
    ++sockets_created;
    return std::make_unique<Fake_Socket>(d_);
}

bool Fake_Network::Check_Internet_Connection(const std::string& url) {
    internet_checks.push_back(url);
    return internet_ok;
}

Ftp_Client::Handle Fake_Ftp::Internet_Open(const std::string& agent) {
    calls.push_back("open " + agent);
    Handle h = next_++;
    open_handles.insert(h);
    return h;
}

Ftp_Client::Handle Fake_Ftp::Internet_Connect(Handle session, const std::string& server, uint16_t port,
                                              const std::string& user, const std::string& password) {
    calls.push_back("connect " + server + " " + std::to_string(port) + " " + user + " " + password);
    if (!open_handles.count(session)) return 0;
    bool url_form = server.rfind("ftp://", 0) == 0;
    std::string name = url_form ? server.substr(6) : server;
    auto it = servers.find(name);
    if (it == servers.end() || it->second.Login_Refused) return 0;
    if (url_form ? !it->second.Accept_Url_Name : !it->second.Accept_Plain_Name) return 0;
    Handle h = next_++;
    open_handles.insert(h);
    connections_[h] = name;
    return h;
}

Fake_Ftp_Server* Fake_Ftp::Server_Of(Handle h) {
    auto it = connections_.find(h);
    if (it == connections_.end() || !open_handles.count(h)) return nullptr;
    return &servers[it->second];
}

bool Fake_Ftp::Set_Current_Directory(Handle connection, const std::string& folder) {
    calls.push_back("cd " + folder);
    Fake_Ftp_Server* s = Server_Of(connection);
    if (!s || !s->Has_Folder || folder != "VNCRepeater") return false;
    folders_[connection] = folder;
    return true;
}

bool Fake_Ftp::Get_File(Handle connection, const std::string& remote_name, const std::string& local_path,
                        bool ascii, std::size_t max_bytes) {
    calls.push_back("get " + remote_name + " " + local_path + (ascii ? " ascii" : " binary"));
    Fake_Ftp_Server* s = Server_Of(connection);
    if (!s || folders_[connection] != "VNCRepeater" || remote_name != "Repeater.Dat" || !s->File)
        return false;
    if (s->Local_Write_Fails) return false;
    std::string content = *s->File;
    if (ascii) {  // text transfer ends every line with CR LF
        std::string converted;
        for (std::size_t i = 0; i < content.size(); ++i) {
            if (content[i] == '\n' && (i == 0 || content[i - 1] != '\r')) converted += '\r';
            converted += content[i];
        }
        content = converted;
    }
    if (content.size() > max_bytes) return false;
    d_.files.files[local_path] = content;
    return true;
}

void Fake_Ftp::Close_Handle(Handle handle) {
    calls.push_back("close " + std::to_string(handle));
    open_handles.erase(handle);
}

// ---- forms ----

double Fake_Metrics::Text_Width(const Font_Spec& font, const std::string& text) const {
    return std::round(static_cast<double>(text.size()) * font.Size * 20.0 * 0.6 * (font.Bold ? 1.0 : 0.95));
}

double Fake_Metrics::Text_Height(const Font_Spec& font, const std::string&) const {
    // A whole number of pixels, as a real screen gives.
    double px = std::ceil(font.Size * 1.15 * 20.0 / d_.forms.twips_per_pixel_y);
    return px * d_.forms.twips_per_pixel_y;
}

float Fake_Metrics::Renderable_Size(const std::string& font_name, float size) const {
    auto it = fixed_sizes.find(font_name);
    if (it != fixed_sizes.end() && !it->second.empty()) {
        float best = it->second.front();
        for (float s : it->second)
            if (std::fabs(s - size) < std::fabs(best - size)) best = s;
        return best;
    }
    // As the X11 and Windows backends: the nearest whole pixel at the
    // screen's resolution, at least one.
    double dpi = 1440.0 / d_.forms.twips_per_pixel_y;
    if (std::fabs(dpi - std::round(dpi)) < 1e-9) dpi = std::round(dpi);
    long px = std::lround(size * dpi / 72.0);
    if (px < 1) px = 1;
    return static_cast<float>(static_cast<double>(px) * 72.0 / dpi);
}

Fake_Form::Fake_Form(Fake_Desktop& d, const Form_Design& design, Form_Events& events, Frame_Insets frame)
    : Form_Model(design, events, d.forms.metrics, frame), d_(d) {
    d_.forms.live.push_back(this);
}

Fake_Form::~Fake_Form() {
    std::erase(d_.forms.live, this);
}

std::unique_ptr<Form> Fake_Forms::Load_Form(const Form_Design& design, Form_Events& events) {
    Frame_Insets frame;
    if (design.Border != Border_Style::None) {
        double border = 3;  // pixels of frame on each side, and a 20-pixel title bar
        frame.Left = frame.Right = frame.Bottom = border * twips_per_pixel_x;
        frame.Top = (border + 20) * twips_per_pixel_y;
    }
    loaded_captions.push_back(design.Caption);
    return std::make_unique<Fake_Form>(d_, design, events, frame);
}

void Fake_Forms::Do_Events() {
    if (++do_events_calls > do_events_limit)
        throw Fake_Stuck{"the program kept waiting; operator steps left: " +
                         std::to_string(d_.operator_.Pending())};
    d_.clock.Advance(1);
    for (auto* f : std::vector<Fake_Form*>(live)) {
        if (std::find(live.begin(), live.end(), f) != live.end()) f->Run_Pending_Events();
    }
    d_.operator_.Act();
}

void Fake_Forms::Message_Box(const std::string& text, const std::string& title) {
    message_boxes.push_back({text, title});
    // The operator reads it and presses OK at once.
}

std::string Fake_Forms::Font(int index) const {
    if (index < 0 || index >= Font_Count()) throw Runtime_Error(Error_Number::Subscript_Out_Of_Range, "Subscript out of range");
    return fonts[static_cast<std::size_t>(index)];
}

Color Fake_Forms::System_Color(int index) const {
    switch (index) {
        case 8: return Rgb(0, 0, 0);          // window text
        case 14: return Rgb(255, 255, 255);   // highlighted text
        case 15: return Rgb(240, 240, 240);   // button face
        case 16: return Rgb(160, 160, 160);   // button shadow
        default: return Rgb(128, 128, 128);
    }
}

void Fake_Forms::Set_Dots_Per_Inch(int dpi) {
    twips_per_pixel_x = twips_per_pixel_y = 1440.0 / dpi;
}

// ---- operator ----

Operator& Operator::On(std::function<bool()> condition, const std::string& what) {
    // A general condition keeps the form found last, so that actions after it
    // go on acting there (every use checks it is still loaded).
    steps_.push_back({true, std::move(condition), nullptr, what});
    return *this;
}

bool Operator::Current_Is_Live() const {
    return current_ && std::find(d_.forms.live.begin(), d_.forms.live.end(), current_) !=
                           d_.forms.live.end();
}

Operator& Operator::On_Message(int number) {
    steps_.push_back({true, [this, number] { return (current_ = d_.Message_Form(number)) != nullptr; },
                      nullptr, "message " + std::to_string(number)});
    return *this;
}

Operator& Operator::On_Screen(const std::string& caption_start) {
    steps_.push_back({true, [this, caption_start] {
        Fake_Form* f = d_.Form_With_Caption(caption_start);
        if (!f || !f->Enabled() || f->Focused_Id() < 0) return false;
        current_ = f;
        return true;
    }, nullptr, "screen " + caption_start});
    return *this;
}

Operator& Operator::On_Message_Box() {
    return On([this] {
        if (d_.forms.message_boxes.size() <= boxes_seen_) return false;
        boxes_seen_ = d_.forms.message_boxes.size();
        return true;
    }, "system message box");
}

Operator& Operator::Add_Action(std::function<void()> action) {
    steps_.push_back({false, nullptr, std::move(action), "action"});
    return *this;
}

Operator& Operator::Press(int control_id) {
    return Add_Action([this, control_id] {
        if (Current_Is_Live()) current_->Deliver_Click(control_id);
    });
}

namespace {

// Key code and character of a character typed on the main keyboard.
std::pair<int, int> Key_Of(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isdigit(u)) return {u, u};
    if (std::isalpha(u)) return {std::toupper(u), u};
    switch (c) {
        case '.': return {Key::Period, '.'};
        case ' ': return {Key::Space, ' '};
        case '-': return {189, '-'};
        case '/': return {191, '/'};
        default: return {0, u};
    }
}

}  // namespace

Operator& Operator::Type(const std::string& text) {
    return Add_Action([this, text] {
        for (char c : text) {
            if (!Current_Is_Live()) return;
            auto [key, character] = Key_Of(c);
            current_->Deliver_Key(key, 0, character);
        }
    });
}

Operator& Operator::Key(int key_code, int character, int shift) {
    return Add_Action([this, key_code, character, shift] {
        if (Current_Is_Live()) current_->Deliver_Key(key_code, shift, character);
    });
}

Operator& Operator::Alt(char letter) {
    return Key(std::toupper(static_cast<unsigned char>(letter)), 0, Shift_Mask::Alt);
}

Operator& Operator::Clear_Field() {
    return Add_Action([this] {
        if (!Current_Is_Live()) return;
        current_->Deliver_Key(Key::End, 0, 0);
        for (int i = 0; i < 200; ++i) current_->Deliver_Key(Key::Back, 0, Key::Back);
    });
}

Operator& Operator::Run(std::function<void()> action) { return Add_Action(std::move(action)); }

void Operator::Act() {
    if (busy_) return;  // an action that lets events run must not re-enter
    busy_ = true;
    while (next_ < steps_.size()) {
        Step& s = steps_[next_];
        if (s.Is_Condition) {
            if (!s.Condition()) break;
            if (Current_Is_Live()) d_.seen.push_back(d_.Snapshot(*current_));
            ++next_;
        } else {
            ++next_;
            auto action = s.Action;
            action();
            break;  // one action per pass: the program reacts before the next one
        }
    }
    if (next_ == steps_.size()) {
        steps_.clear();
        next_ = 0;
    }
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

Fake_Form* Fake_Desktop::Message_Form(int number) const {
    std::string tail = "Message # " + std::to_string(number);
    for (auto* f : forms.live) {
        if (!f->Visible() || !Ends_With(f->Caption(), tail)) continue;
        if (number == 1) return f;  // the stand-by notice is up, disabled, without buttons
        // a waiting message is enabled and has its buttons up, one focused
        if (f->Enabled() && f->Focused_Id() >= 0) return f;
    }
    return nullptr;
}

Fake_Form* Fake_Desktop::Form_With_Caption(const std::string& caption_start) const {
    for (auto* f : forms.live)
        if (f->Visible() && f->Caption().rfind(caption_start, 0) == 0) return f;
    return nullptr;
}

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

void Fake_Desktop::At(uint32_t delay_ms, std::function<void()> action) {
    timeline_.push_back({clock.elapsed_total + delay_ms, order_++, std::move(action)});
}

void Fake_Desktop::Run_Due() {
    while (true) {
        auto it = std::min_element(timeline_.begin(), timeline_.end(), [](const Timed& a, const Timed& b) {
            return a.Due != b.Due ? a.Due < b.Due : a.Order < b.Order;
        });
        if (it == timeline_.end() || it->Due > clock.elapsed_total) return;
        auto action = std::move(it->Action);
        timeline_.erase(it);
        action();
    }
}

}  // namespace nrvnc::fake
