#include "platform/x11/ftp.h"

// Only the types and constants come from the header: the library itself is
// loaded when the first connection is made (see Curl_Library).
#define CURL_DISABLE_TYPECHECK 1
#include <curl/curl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "builtin_values.h"

namespace nrvnc {

// libcurl, loaded with dlopen at the first connection. Linked in, it and its
// dependencies (TLS, Kerberos, LDAP, SSH, HTTP/2...) were loaded and
// initialised at every start, for a download that most runs never make.
// Without it the download fails at its first step, as with a server that
// cannot be reached.
struct Curl_Library {
    CURLcode (*Global_Init)(long);
    CURL* (*Easy_Init)();
    CURLcode (*Setopt)(CURL*, CURLoption, ...);
    CURLcode (*Perform)(CURL*);
    CURLcode (*Getinfo)(CURL*, CURLINFO, ...);
    void (*Cleanup)(CURL*);
    char* (*Escape)(CURL*, const char*, int);
    void (*Free)(void*);
    const char* (*Strerror)(CURLcode);
};

namespace {

template <typename F>
bool Bind(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

// The library of that file name (empty: the usual names), loaded once and
// kept to the end; nullptr when there is none.
const Curl_Library* Load_Curl(const std::string& file_name) {
    // Never destroyed: the library stays loaded to the end of the process.
    static auto* loaded = new std::map<std::string, std::unique_ptr<Curl_Library>>;
    auto found = loaded->find(file_name);
    if (found != loaded->end()) return found->second.get();
    std::unique_ptr<Curl_Library>& result = (*loaded)[file_name];
    std::vector<std::string> names{file_name};
    if (file_name.empty()) names = {"libcurl.so.4", "libcurl-gnutls.so.4"};
    void* library = nullptr;
    for (const std::string& name : names)
        if ((library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) != nullptr) break;
    if (library == nullptr) return nullptr;
    auto curl = std::make_unique<Curl_Library>();
    if (!Bind(library, "curl_global_init", curl->Global_Init) ||
        !Bind(library, "curl_easy_init", curl->Easy_Init) ||
        !Bind(library, "curl_easy_setopt", curl->Setopt) ||
        !Bind(library, "curl_easy_perform", curl->Perform) ||
        !Bind(library, "curl_easy_getinfo", curl->Getinfo) ||
        !Bind(library, "curl_easy_cleanup", curl->Cleanup) ||
        !Bind(library, "curl_easy_escape", curl->Escape) ||
        !Bind(library, "curl_free", curl->Free) ||
        !Bind(library, "curl_easy_strerror", curl->Strerror) ||
        curl->Global_Init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        dlclose(library);
        return nullptr;
    }
    result = std::move(curl);
    return result.get();
}

}  // namespace

struct Curl_Ftp_Client::Connection {
    Handle Session = 0;
    const Curl_Library* Lib = nullptr;
    CURL* Curl = nullptr;
    long Quit_Wait_Ms = 2000;
    std::string Base_Url;              // "ftp://host:port/"
    std::string Folder_Path;           // escaped, each part followed by '/'
    std::vector<std::string> Folders;  // unescaped parts of the current folder

    ~Connection() {
        if (Curl == nullptr) return;
        Say_Goodbye();
        Lib->Cleanup(Curl);
    }

    // The goodbye, bounded: libcurl would wait for the answer to QUIT as
    // long as for any answer of the server. We say QUIT ourselves and wait
    // at most Quit_Wait_Ms, then shut the socket down, so that libcurl's
    // own QUIT fails at once and it only closes the socket.
    void Say_Goodbye() {
        curl_socket_t fd = CURL_SOCKET_BAD;
        if (Lib->Getinfo(Curl, CURLINFO_ACTIVESOCKET, &fd) != CURLE_OK || fd == CURL_SOCKET_BAD)
            return;  // no connection left open: nothing to say
        static const char quit[] = "QUIT\r\n";
        if (send(fd, quit, sizeof quit - 1, MSG_NOSIGNAL) ==
            static_cast<ssize_t>(sizeof quit - 1)) {
            auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(Quit_Wait_Ms);
            std::string reply;
            char buffer[256];
            // Up to the end of the first line of the answer, or the peer's close.
            while (reply.find('\n') == std::string::npos) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                deadline - std::chrono::steady_clock::now())
                                .count();
                pollfd entry{fd, POLLIN, 0};
                if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) <= 0) break;
                ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got <= 0 && !(got < 0 && (errno == EAGAIN || errno == EINTR))) break;
                if (got > 0) reply.append(buffer, static_cast<size_t>(got));
            }
        }
        shutdown(fd, SHUT_RDWR);
    }
};

namespace {

bool Starts_With_No_Case(const std::string& text, const char* prefix) {
    return strncasecmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

// The host of "host", "ftp://host" or "ftp://host/...", bracketed when it is
// an IPv6 address so that it can stand in a URL.
std::string Url_Host(const std::string& server) {
    std::string host = Starts_With_No_Case(server, "ftp://") ? server.substr(6) : server;
    host = host.substr(0, host.find('/'));
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    return host;
}

std::string Escape(const Curl_Library& lib, CURL* curl, const std::string& text) {
    char* escaped = lib.Escape(curl, text.c_str(), static_cast<int>(text.size()));
    if (escaped == nullptr) return text;
    std::string result(escaped);
    lib.Free(escaped);
    return result;
}

struct Download {
    int Fd = -1;
    bool Ascii = false;
    size_t Max_Bytes = 0;
    size_t Received = 0;
};

bool Write_All(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t put = write(fd, data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

// In text mode libcurl turns the server's CR LF line ends into LF on Linux;
// the file is to hold CR LF lines, as the server sent them.
size_t Write_To_File(char* data, size_t size, size_t count, void* user) {
    Download& download = *static_cast<Download*>(user);
    size_t total = size * count;
    // Past the bound nothing more is written; the short count ends the transfer.
    if (total > download.Max_Bytes - download.Received) return 0;
    download.Received += total;
    if (!download.Ascii) return Write_All(download.Fd, data, total) ? total : 0;
    std::string text;
    text.reserve(total + total / 8);
    for (size_t i = 0; i < total; ++i) {
        if (data[i] == '\n') text += '\r';
        text += data[i];
    }
    // A short count makes libcurl end the transfer with a write error.
    return Write_All(download.Fd, text.data(), text.size()) ? total : 0;
}

size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// A fresh file beside path, created with the permissions a new file gets.
int Create_Temporary_Beside(const std::string& path, std::string& temporary) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".part" + std::to_string(getpid()) + "_" + std::to_string(++counter);
        int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

Curl_Ftp_Client::Curl_Ftp_Client(uint16_t port_for_0, Ftp_Timeouts timeouts,
                                 std::string curl_library)
    : Port_For_0(port_for_0 != 0 ? port_for_0 : Builtin::FTP_Port),
      Timeouts(timeouts),
      Library_Name(std::move(curl_library)) {}

Curl_Ftp_Client::~Curl_Ftp_Client() = default;

Ftp_Client::Handle Curl_Ftp_Client::Internet_Open(const std::string& agent) {
    Handle session = Next_Handle++;
    Sessions[session] = agent;
    return session;
}

Ftp_Client::Handle Curl_Ftp_Client::Internet_Connect(Handle session, const std::string& server,
                                                     uint16_t port, const std::string& user,
                                                     const std::string& password) {
    auto found = Sessions.find(session);
    if (found == Sessions.end() || Url_Host(server).empty()) {
        Last_Error_Text = "no such session, or no server";
        return 0;
    }
    if (Lib == nullptr) Lib = Load_Curl(Library_Name);
    if (Lib == nullptr) {
        Last_Error_Text = "libcurl is not installed";
        return 0;
    }
    auto connection = std::make_unique<Connection>();
    connection->Session = session;
    connection->Lib = Lib;
    connection->Quit_Wait_Ms = Timeouts.Quit_Ms;
    connection->Curl = Lib->Easy_Init();
    if (connection->Curl == nullptr) {
        Last_Error_Text = "libcurl could not be initialised";
        return 0;
    }
    connection->Base_Url =
        "ftp://" + Url_Host(server) + ":" + std::to_string(port == 0 ? Port_For_0 : port) + "/";

    CURL* curl = connection->Curl;
    Lib->Setopt(curl, CURLOPT_USERAGENT, found->second.c_str());
    Lib->Setopt(curl, CURLOPT_USERNAME, user.c_str());
    Lib->Setopt(curl, CURLOPT_PASSWORD, password.c_str());
    Lib->Setopt(curl, CURLOPT_NOSIGNAL, 1L);
    Lib->Setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, Timeouts.Connect_Ms);
    Lib->Setopt(curl, CURLOPT_TIMEOUT_MS, Timeouts.Total_Ms);
    // Any one answer of the server (the goodbye is bounded on its own).
    Lib->Setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                std::max(1L, (Timeouts.Total_Ms + 999) / 1000));
    // Active mode: the server connects back for the data, as it expects.
    Lib->Setopt(curl, CURLOPT_FTPPORT, "-");
    Lib->Setopt(curl, CURLOPT_FTP_USE_EPRT, 0L);
    Lib->Setopt(curl, CURLOPT_ACCEPTTIMEOUT_MS, Timeouts.Connect_Ms);

    // Logging in is all this step does.
    Lib->Setopt(curl, CURLOPT_URL, connection->Base_Url.c_str());
    Lib->Setopt(curl, CURLOPT_NOBODY, 1L);
    Lib->Setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
    if (!Perform(*connection)) return 0;

    Handle handle = Next_Handle++;
    Connections[handle] = std::move(connection);
    return handle;
}

bool Curl_Ftp_Client::Set_Current_Directory(Handle handle, const std::string& folder) {
    Connection* connection = Find_Connection(handle);
    if (connection == nullptr || folder.empty()) return false;

    std::vector<std::string> folders =
        folder.front() == '/' ? std::vector<std::string>() : connection->Folders;
    std::string::size_type start = 0;
    while (start <= folder.size()) {
        std::string::size_type end = folder.find('/', start);
        if (end == std::string::npos) end = folder.size();
        std::string part = folder.substr(start, end - start);
        if (part == "..") {
            if (!folders.empty()) folders.pop_back();
        } else if (!part.empty() && part != ".") {
            folders.push_back(part);
        }
        start = end + 1;
    }
    std::string path;
    for (const std::string& part : folders) path += Escape(*Lib, connection->Curl, part) + "/";

    // A URL that ends in '/' with no body asks libcurl only to enter the folder.
    std::string url = connection->Base_Url + path;
    Lib->Setopt(connection->Curl, CURLOPT_URL, url.c_str());
    Lib->Setopt(connection->Curl, CURLOPT_NOBODY, 1L);
    Lib->Setopt(connection->Curl, CURLOPT_WRITEFUNCTION, Discard);
    if (!Perform(*connection)) return false;
    connection->Folders = std::move(folders);
    connection->Folder_Path = path;
    return true;
}

bool Curl_Ftp_Client::Get_File(Handle handle, const std::string& remote_name,
                               const std::string& local_path, bool ascii, size_t max_bytes) {
    Connection* connection = Find_Connection(handle);
    if (connection == nullptr || remote_name.empty() || local_path.empty()) return false;

    std::string temporary;
    int fd = Create_Temporary_Beside(local_path, temporary);
    if (fd < 0) {
        Last_Error_Text = strerror(errno);
        return false;
    }

    std::string url = connection->Base_Url + connection->Folder_Path +
                      Escape(*Lib, connection->Curl, remote_name);
    CURL* curl = connection->Curl;
    Lib->Setopt(curl, CURLOPT_URL, url.c_str());
    Lib->Setopt(curl, CURLOPT_NOBODY, 0L);
    Lib->Setopt(curl, CURLOPT_TRANSFERTEXT, ascii ? 1L : 0L);
    Lib->Setopt(curl, CURLOPT_WRITEFUNCTION, Write_To_File);
    Download download{fd, ascii, max_bytes};
    Lib->Setopt(curl, CURLOPT_WRITEDATA, &download);
    bool done = Perform(*connection);
    Lib->Setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
    Lib->Setopt(curl, CURLOPT_WRITEDATA, nullptr);
    Lib->Setopt(curl, CURLOPT_TRANSFERTEXT, 0L);

    if (done && fsync(fd) != 0 && errno != EINVAL) {
        Last_Error_Text = strerror(errno);
        done = false;
    }
    if (close(fd) != 0 && done) {
        Last_Error_Text = strerror(errno);
        done = false;
    }
    if (done && rename(temporary.c_str(), local_path.c_str()) != 0) {
        Last_Error_Text = strerror(errno);
        done = false;
    }
    if (!done) unlink(temporary.c_str());
    return done;
}

void Curl_Ftp_Client::Close_Handle(Handle handle) {
    if (Connections.erase(handle) > 0) return;
    if (Sessions.erase(handle) > 0) {
        // Closing a session closes what was opened through it.
        std::erase_if(Connections,
                      [handle](const auto& entry) { return entry.second->Session == handle; });
    }
}

Curl_Ftp_Client::Connection* Curl_Ftp_Client::Find_Connection(Handle handle) {
    auto found = Connections.find(handle);
    return found == Connections.end() ? nullptr : found->second.get();
}

bool Curl_Ftp_Client::Perform(Connection& connection) {
    char error_text[CURL_ERROR_SIZE] = "";
    Lib->Setopt(connection.Curl, CURLOPT_ERRORBUFFER, error_text);
    CURLcode result = Lib->Perform(connection.Curl);
    Lib->Setopt(connection.Curl, CURLOPT_ERRORBUFFER, nullptr);
    if (result == CURLE_OK) return true;
    Last_Error_Text = *error_text ? error_text : Lib->Strerror(result);
    return false;
}

}  // namespace nrvnc
