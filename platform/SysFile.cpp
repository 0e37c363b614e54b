// What both systems' sides of SysFile.h share.
#include "SysFile.h"

namespace Sys {

const char* FileErrorText(FileError error) {
    switch (error) {
        case FileError::None:
            return "no error";
        case FileError::Missing:
            return "no such file";
        case FileError::Exists:
            return "file exists";
        case FileError::NotRegular:
            return "not a regular file";
        case FileError::Denied:
            return "permission denied";
        case FileError::Full:
            return "disk full";
        case FileError::Other:
            break;
    }
    return "input/output error";
}

ReadStatus TryReadWholeFile(const std::string& path, std::string& bytes) {
    FileError error = FileError::None;
    File file = OpenFile(path, FileOpen{}, &error);
    if (!file.Valid())
        return error == FileError::Missing ? ReadStatus::Missing : ReadStatus::Failed;
    bytes.clear();
    if (const long long size = file.Size(); size > 0) bytes.reserve(static_cast<size_t>(size));
    char buffer[65536];
    for (;;) {
        const long long n = file.Read(buffer, sizeof buffer);
        if (n < 0) return ReadStatus::Failed;
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return ReadStatus::Ok;
}

bool ReplaceFile(const std::string& path, const std::string& bytes, const ReplaceOptions& options) {
    return ReplaceFileWith(
        path, [&bytes](File& file) { return file.WriteAll(bytes); }, options);
}

}  // namespace Sys
