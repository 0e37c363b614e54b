// What a test sets up on the system around the program where the platform layer has no call
// for it, because the program never does it: file modes and owners, FIFOs and symbolic links
// planted in its way, a full disk, a fixed time zone, socket options it never touches. One
// implementation per system (TestSystem_posix.cpp, TestSystem_win32.cpp).
//
// Each call returns whether it could do its job. Where a premise cannot exist on a system
// (Windows has no FIFOs, no file modes, no TZ strings) the call returns false there, and the
// test skips with the reason instead of asserting something that does not apply.
#pragma once

#include <cstdint>
#include <string>

#include "SysSocket.h"

namespace testsupport {

// ---- files ----
// Sets the permission bits of path (POSIX chmod); false on failure or where files have none.
bool SetMode(const std::string& path, unsigned mode);
// Sets the process's file creation mask (POSIX umask) and gives the one before in old.
bool SetUmask(unsigned mask, unsigned& old);
// True when the process may read and write every file whatever its rights (POSIX root).
bool IsSuperUser();
// Hands path to another owner (POSIX chown, root only) and reads who owns it.
bool SetOwner(const std::string& path, unsigned user, unsigned group);
bool OwnerOf(const std::string& path, unsigned& user, unsigned& group);
// A FIFO at path; false where the system has none in its file system (Windows).
bool MakeFifo(const std::string& path);
// A symbolic link at link that points to target (which need not exist); false where a test
// cannot plant one (Windows asks for rights a user does not have).
bool MakeSymlink(const std::string& target, const std::string& link);

// A disk that fills up after limit bytes of any file the process writes (POSIX: the
// system's own file size limit, RLIMIT_FSIZE, which binds root too, with SIGXFSZ ignored so
// that the write fails instead of ending the process; Windows: the platform's seam,
// Sys::LimitFileSizeForTests). LiftFileSizeLimit puts things back.
bool LimitFileSize(unsigned long long limit);
void LiftFileSizeLimit();
// The same for a scope.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(unsigned long long limit) : ok_(LimitFileSize(limit)) {}
    ~FileSizeLimit() { LiftFileSizeLimit(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Ok() const { return ok_; }

  private:
    bool ok_;
};

// Makes the local time zone a fixed offset east of UTC without summer time (POSIX: a TZ
// string such as "JST-9"); false where the local time follows the system's zone settings
// instead (Windows). UseOwnTimeZone brings back the zone the process had.
bool UseFixedTimeZone(int minutesEast);
void UseOwnTimeZone();
// The same for a scope.
class FixedTimeZone {
  public:
    explicit FixedTimeZone(int minutesEast) : ok_(UseFixedTimeZone(minutesEast)) {}
    ~FixedTimeZone() { UseOwnTimeZone(); }
    FixedTimeZone(const FixedTimeZone&) = delete;
    FixedTimeZone& operator=(const FixedTimeZone&) = delete;
    bool Ok() const { return ok_; }

  private:
    bool ok_;
};

// True where the user's folders follow $HOME and the XDG variables and the system keeps its
// programs in /usr/bin and its kin (POSIX); Windows has %APPDATA% and Program Files instead.
bool HasXdgFolders();

// ---- sockets ----
// The socket's send buffer (SO_SNDBUF), so that a peer that stops reading stalls a send soon.
bool SetSendBuffer(Sys::SocketHandle socket, int bytes);
// The socket's linger option (SO_LINGER): on, and for how many seconds; on with 0 seconds is
// a close that resets the connection.
bool LingerOf(Sys::SocketHandle socket, bool& on, int& seconds);
// A socket bound to an ephemeral port of 127.0.0.1 that never listens: connects to the port
// are refused while it lives, and no one else is given the port. kNoSocket on failure.
Sys::SocketHandle BindLoopbackWithoutListening(uint16_t& port);

}  // namespace testsupport
