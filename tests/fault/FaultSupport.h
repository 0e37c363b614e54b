// Shared pieces of the fault tests: the texts the user must see (pinned by their bytes), a
// temporary program directory, file helpers, a stopwatch, the process's memory, and a view
// that records what a transfer shows.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "TransferView.h"

namespace fault {

// "RD-X4との通信に失敗しました。"
inline constexpr char kCaptureFailed[] =
    "RD-"
    "X4\x82\xc6\x82\xcc\x92\xca\x90M\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42";
// "RD-X4EXとの通信に失敗しました。"
inline constexpr char kRestoreCommFailed[] =
    "RD-X4EX\x82\xc6\x82\xcc\x92\xca\x90M\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81"
    "\x42";
// "RD-X4EXへの予約に失敗した…かも。"
inline constexpr char kEntryFailed[] =
    "RD-X4EX\x82\xd6\x82\xcc\x97\x5c\x96\xf1\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xbd\x81\x63\x82\xa9"
    "\x82\xe0\x81\x42";
// "RDからの取得に失敗しました"
inline constexpr char kGetFailed[] =
    "RD\x82\xa9\x82\xe7\x82\xcc\x8e\xe6\x93\xbe\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82"
    "\xbd";
// "RD-X4の設定を取り込みました。"
inline constexpr char kCaptureDone[] =
    "RD-"
    "X4\x82\xcc\x90\xdd\x92\xe8\x82\xf0\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd\x82\xdc\x82\xb5\x82\xbd\x81"
    "\x42";
// "番目の予約："
inline constexpr char kReportSeparator[] = "\x94\xd4\x96\xda\x82\xcc\x97\x5c\x96\xf1\x81\x46";
// "正常に登録できました"
inline constexpr char kRegistered[] =
    "\x90\xb3\x8f\xed\x82\xc9\x93o\x98^\x82\xc5\x82\xab\x82\xdc\x82\xb5\x82\xbd";
// Messages join their parts with LF CR.
inline constexpr char kLfCr[] = "\n\r";

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// A fresh directory under the system's temporary directory, removed with its files.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zavo-fault-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern + "/";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }

    // The names of the files in the directory.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            names.insert(e.path().filename().string());
        return names;
    }

  private:
    std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

// What a saved page holds for a body: lines split at CR LF, lone CR or lone LF, the text
// cut at its first NUL, every line followed by CR LF.
inline std::string SavedForm(const std::string& body) {
    const std::string text = body.substr(0, body.find('\0'));
    std::string out, line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += line + "\r\n";
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) out += line + "\r\n";
    return out;
}

// The body of an HTTP/1.0 GET of target from 127.0.0.1:port, read until the server closes;
// independent of the program's own client.
inline std::string RawGet(int port, const std::string& target) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        throw std::runtime_error("connect failed");
    }
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buf[8192];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;)
        answer.append(buf, static_cast<size_t>(n));
    close(fd);
    const size_t end = answer.find("\r\n\r\n");
    if (end == std::string::npos) throw std::runtime_error("no header end from " + target);
    return answer.substr(end + 4);
}

// Resident memory now, and the process's peak so far, in bytes.
inline size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}
inline size_t PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<size_t>(usage.ru_maxrss) * 1024;
}

// Records what a transfer shows, in order.
class RecordingView : public TransferView {
  public:
    struct Message {
        MessageKind Kind;
        std::string Text;
        bool operator==(const Message&) const = default;
    };
    std::vector<Message> Messages;
    std::vector<std::string> Statuses;
    std::vector<bool> Cursor;

    void SetStatus(const std::string& sjis) override { Statuses.push_back(sjis); }
    void SetBusyCursor(bool busy) override { Cursor.push_back(busy); }
    void ShowMessage(MessageKind kind, const std::string& sjis) override {
        Messages.push_back({kind, sjis});
    }
};

inline void PrintTo(const RecordingView::Message& m, std::ostream* os) {
    *os << "{kind " << static_cast<int>(m.Kind) << ", \"";
    for (unsigned char c : m.Text) {
        if (c >= 0x20 && c < 0x7f) {
            *os << c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            *os << hex;
        }
    }
    *os << "\"}";
}

}  // namespace fault
