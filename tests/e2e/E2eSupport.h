// Helpers of the end-to-end tests: the shared file helpers and a port that refuses.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "TestFiles.h"

namespace e2e {

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

inline std::string NormalizeLines(const std::string& body) {
    return testsupport::SavedForm(body);
}

// A port on 127.0.0.1 that refuses every connection while this object lives: the socket is
// bound but never listens, so no other test can be handed the port meanwhile.
class RefusingPort {
  public:
    RefusingPort() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("cannot reserve a port");
        port_ = ntohs(addr.sin_port);
    }
    ~RefusingPort() { close(fd_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int Port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

using testsupport::RawGet;

}  // namespace e2e
