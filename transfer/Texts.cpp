#include "Texts.h"

#include <cstdio>

namespace Texts {

std::string ReservationPageFile(int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", number);
    return std::string("ZAVOCV") + digits + ".HTM";
}

std::string RestoreConfirmText() {
    std::string twoBreaks = std::string(kLfCr) + kLfCr;
    return kRestoreConfirm1 + twoBreaks + kRestoreConfirm2 + twoBreaks + kRestoreConfirm3 +
           twoBreaks + kRestoreConfirm4 + kLfCr;
}

std::string CannotWriteMessage(const std::string& path) {
    return path + kCannotWriteSuffix;
}

std::string NoSuchReservationMessage(int number) {
    return std::to_string(number) + kNoSuchReservation;
}

std::string HttpFailureText(uint8_t cmd) {
    switch (cmd) {
        // The client's command codes; this library stays below the HTTP client, so the
        // numbers stand here with their names.
        case 0:  // GET
        case 2:  // HEAD
            return kFailGet;
        case 1:  // OPTIONS
            return kFailOptions;
        case 3:  // POST
            return kFailPost;
        case 4:  // PUT
            return kFailPut;
        case 8:  // DELETE
            return kFailDelete;
        case 11:  // TRACE
            return kFailTrace;
        default:
            return {};
    }
}

std::string CaptureDoneMessage(int count) {
    return std::string(kCaptureDone) + kLfCr + kCaptureSavedCount1 + std::to_string(count) +
           kCountSuffix;
}

std::string SmallerCaptureQuestion(int newCount, int savedCount) {
    return kSmallerCapture1 + std::to_string(newCount) + kSmallerCapture2 +
           std::to_string(savedCount) + kSmallerCapture3 + kLfCr + kSmallerCapture4;
}

std::string CannotCreateFolderMessage(const std::string& path) {
    return kCannotCreateFolderPrefix + path + kCannotCreateFolderSuffix;
}

std::string RestoreBackupQuestion(int backupCount, int currentCount) {
    return kRestoreBackup1 + std::to_string(backupCount) + kRestoreBackup2 + kLfCr +
           kRestoreBackup3 + std::to_string(currentCount) + kRestoreBackup4;
}

}  // namespace Texts
