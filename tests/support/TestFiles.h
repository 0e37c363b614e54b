// Files, temporary program directories and an independent page fetch, shared by the
// end-to-end and the fault tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

namespace testsupport {

// A fresh directory under the system's temporary directory, removed with its files.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zavo-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern + "/";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Ends with '/'.
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }

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

// The regular files of a folder with their bytes (none when the folder is missing).
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.is_regular_file()) files[e.path().filename().string()] = ReadBytes(e.path().string());
    return files;
}

// The permission bits of path (0xFFFF when it is missing).
inline unsigned ModeOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0xFFFF;
    return info.st_mode & 07777;
}

// What a saved page holds for a body: lines split at CR LF, lone CR or lone LF, the text
// cut at its first NUL, every line followed by CR LF.
inline std::string SavedForm(const std::string& body) {
    const std::string text = body.substr(0, body.find('\0'));
    std::string out;
    std::string line;
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
inline std::string RawGet(int port, const std::string& target,
                          const std::string& authorization = std::string()) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        throw std::runtime_error("connect failed");
    }
    std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    if (!authorization.empty()) request += "Authorization: " + authorization + "\r\n";
    request += "\r\n";
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

}  // namespace testsupport
