#include <windows.h>
// The system's ReplaceFile (a macro for ReplaceFileW) is not ours.
#undef ReplaceFile

#include <atomic>
#include <filesystem>

#include "SysFile.h"
#include "SysPath.h"
#include "SysProcess.h"
#include "Win32Util.h"

namespace Sys {

const bool kHasFileModes = false;

namespace {

using Win32::WidePath;

std::atomic<unsigned long long> fileSizeLimit{0};

HANDLE Native(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

FileError ErrorFromLast(DWORD err) {
    switch (err) {
        case ERROR_SUCCESS:
            return FileError::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return FileError::Missing;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return FileError::Exists;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return FileError::Denied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileError::Full;
        default:
            return FileError::Other;
    }
}

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(WidePath(path).c_str());
}

bool IsFolderAttribute(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (Valid()) ::CloseHandle(Native(handle_));
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

File::~File() {
    if (Valid()) ::CloseHandle(Native(handle_));
}

bool File::WriteAll(const char* data, size_t size) {
    if (const unsigned long long limit = fileSizeLimit.load(); limit != 0) {
        LARGE_INTEGER at{};
        LARGE_INTEGER zero{};
        if (!::SetFilePointerEx(Native(handle_), zero, &at, FILE_CURRENT) ||
            static_cast<unsigned long long>(at.QuadPart) + size > limit) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
    }
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(size - done > (1u << 30) ? (1u << 30) : size - done);
        DWORD written = 0;
        if (!::WriteFile(Native(handle_), data + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

long long File::Read(char* buffer, size_t size) {
    const DWORD chunk = static_cast<DWORD>(size > (1u << 30) ? (1u << 30) : size);
    DWORD read = 0;
    if (!::ReadFile(Native(handle_), buffer, chunk, &read, nullptr)) return -1;
    return read;
}

long long File::Size() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Native(handle_), &size)) return -1;
    return size.QuadPart;
}

bool File::Truncate(long long size) {
    // Sets the end without moving the file position, as ftruncate does.
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return ::SetFileInformationByHandle(Native(handle_), FileEndOfFileInfo, &end, sizeof end) != 0;
}

bool File::Flush() {
    return ::FlushFileBuffers(Native(handle_)) != 0;
}

void File::StartFlush() {}

bool File::IsRegular() const {
    if (::GetFileType(Native(handle_)) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(Native(handle_), &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool File::OwnedByUser() const {
    return true;
}

bool File::NarrowToOwner() {
    return true;
}

bool File::Close() {
    if (!Valid()) return true;
    const HANDLE h = Native(handle_);
    handle_ = -1;
    return ::CloseHandle(h) != 0;
}

File OpenFile(const std::string& path, const FileOpen& how, FileError* error) {
    auto fail = [&](FileError why) {
        if (error) *error = why;
        return File();
    };
    // A folder cannot be opened as a file on Windows (the call says "access denied"): it is
    // told apart first, as POSIX tells it.
    if (IsFolderAttribute(Attributes(path))) return fail(FileError::NotRegular);
    DWORD access = FILE_READ_ATTRIBUTES;
    switch (how.access) {
        case FileAccess::Read:
            access |= GENERIC_READ;
            break;
        case FileAccess::Write:
            access |= GENERIC_WRITE;
            break;
        case FileAccess::Append:
            access |= FILE_APPEND_DATA | SYNCHRONIZE;
            break;
    }
    DWORD disposition = OPEN_EXISTING;
    switch (how.creation) {
        case FileCreation::OpenExisting:
            break;
        case FileCreation::OpenOrCreate:
        case FileCreation::CreateOrTruncate:
            disposition = OPEN_ALWAYS;
            break;
        case FileCreation::CreateNew:
            disposition = CREATE_NEW;
            break;
    }
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (how.noFollow) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    // Others may read, write, rename and delete it meanwhile, as on POSIX.
    const HANDLE h = ::CreateFileW(WidePath(path).c_str(), access,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return fail(ErrorFromLast(::GetLastError()));
    File file(reinterpret_cast<std::intptr_t>(h));
    if (!file.IsRegular()) return fail(FileError::NotRegular);
    if (how.creation == FileCreation::CreateOrTruncate && !file.Truncate(0))
        return fail(ErrorFromLast(::GetLastError()));
    if (error) *error = FileError::None;
    return file;
}

namespace {

std::atomic<unsigned> tempCounter{0};

// Paths a user typed may still hold '\' between their parts.
size_t LastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

std::string DirectoryPart(const std::string& path) {
    const size_t slash = LastSeparator(path);
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash);
}

}  // namespace

bool ReplaceFileWith(const std::string& path, const std::function<bool(File&)>& write,
                     const ReplaceOptions& options) {
    const std::string directory = DirectoryPart(path);
    const size_t slash = LastSeparator(path);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    // A folder, or a file made read-only on purpose, is not replaced.
    const DWORD old = Attributes(path);
    if (old != INVALID_FILE_ATTRIBUTES &&
        (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        return false;

    std::string tempPath;
    File file;
    FileOpen how;
    how.access = FileAccess::Write;
    how.creation = FileCreation::CreateNew;
    for (int attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
        tempPath = directory + "/." + base + ".tmp" + std::to_string(ProcessId()) + "." +
                   std::to_string(tempCounter.fetch_add(1));
        FileError error = FileError::None;
        file = OpenFile(tempPath, how, &error);
        if (!file.Valid() && error != FileError::Exists) break;
    }
    if (!file.Valid()) return false;

    bool ok = write(file);
    if (ok && options.flush) ok = file.Flush();
    ok = file.Close() && ok;
    // Written through: the rename is on the disk when the call returns.
    if (ok)
        ok = ::MoveFileExW(WidePath(tempPath).c_str(), WidePath(path).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        ::DeleteFileW(WidePath(tempPath).c_str());
        return false;
    }
    return true;
}

PathInfo Inspect(const std::string& path, bool followLinks) {
    PathInfo info;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
        const FileError error = ErrorFromLast(::GetLastError());
        info.kind = error == FileError::Missing ? PathKind::Missing : PathKind::Unknown;
        return info;
    }
    DWORD attributes = data.dwFileAttributes;
    ULARGE_INTEGER size{};
    size.LowPart = data.nFileSizeLow;
    size.HighPart = data.nFileSizeHigh;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (!followLinks) {
            info.kind = PathKind::Link;
            return info;
        }
        // What the link points to.
        const HANDLE h = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            info.kind = PathKind::Missing;
            return info;
        }
        BY_HANDLE_FILE_INFORMATION target{};
        const bool known = ::GetFileInformationByHandle(h, &target);
        ::CloseHandle(h);
        if (!known) {
            info.kind = PathKind::Unknown;
            return info;
        }
        attributes = target.dwFileAttributes;
        size.LowPart = target.nFileSizeLow;
        size.HighPart = target.nFileSizeHigh;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        info.kind = PathKind::Folder;
    else if (attributes & FILE_ATTRIBUTE_DEVICE)
        info.kind = PathKind::Other;
    else
        info.kind = PathKind::File;
    info.size = static_cast<long long>(size.QuadPart);
    return info;
}

FolderResult MakeFolder(const std::string& path, bool /*ownerOnly*/) {
    // The folder takes the rights its parent hands down: in the user's profile, the user's own.
    if (::CreateDirectoryW(WidePath(path).c_str(), nullptr)) return FolderResult::Created;
    if (::GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(path)) return FolderResult::Existed;
    return FolderResult::Failed;
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE h = ::FindFirstFileW((WidePath(path) + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = Win32::Narrow(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
    return names;
}

bool RemoveFile(const std::string& path) {
    if (::DeleteFileW(WidePath(path).c_str())) return true;
    const DWORD err = ::GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

bool RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(WidePath(path)), ec);
    return !Exists(path);
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    // A folder moves to a free name only; a file replaces the file there.
    const DWORD flags = IsFolderAttribute(Attributes(from))
                            ? MOVEFILE_WRITE_THROUGH
                            : MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    return ::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), flags) != 0;
}

void SyncFolder(const std::string&) {
    // Renames are written through; Windows has no flush of a folder's entries.
}

bool CanWriteFolder(const std::string& folder) {
    // The folder's rights decide, which no attribute tells: a file is made to find out, and
    // goes when it is closed.
    std::wstring base = WidePath(folder);
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring probe = base + L".zavoconv-probe-" + std::to_wstring(ProcessId()) +
                                   L"-" + std::to_wstring(tempCounter.fetch_add(1));
        const HANDLE h =
            ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

std::string ResolveLink(const std::string& path) {
    return path;
}

std::string MakeTempFolder(const std::string& prefix) {
    const std::string base = TempFolder() + prefix;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = base + std::to_string(ProcessId()) + "-" +
                                   std::to_string(::GetTickCount64() % 100000) + "-" +
                                   std::to_string(tempCounter.fetch_add(1));
        if (::CreateDirectoryW(WidePath(folder).c_str(), nullptr)) return folder + "/";
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

void LimitFileSizeForTests(unsigned long long limit) {
    fileSizeLimit.store(limit);
}

}  // namespace Sys
