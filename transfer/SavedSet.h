// The saved set: the pages one capture leaves in the program directory (ZAVOCVRV.HTM,
// ZAVOCVST.HTM, ZAVOCVCH.HTM and ZAVOCV00.HTM on) and the file that says when it was captured
// (ZAVOCVTM.TXT). A capture replaces it as a whole or not
// at all, through a journal:
//   1. the pages are written into the staging folder inside the program directory;
//   2. they reach the disk together (one flush), then a commit marker is put in the folder;
//   3. the set in the program directory moves into the staging folder's "old" folder, the
//      new pages move in, and "old" becomes the backup folder (one generation);
//   4. the marker and the staging folder go.
// After a crash or a power loss, a staging folder with its marker is carried through steps
// 3 and 4 at the next start, and one without it is removed: the program directory holds
// the old set or the new one, never a mix. Qt-free; errors raise EFCreateError.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "SysFile.h"

class TWorkList;

namespace SavedSet {

// True for the name of a file of the saved set.
bool IsSetFile(const std::string& name);

// Names of the set's files in folder (ending with '/'), sorted.
std::vector<std::string> SetFiles(const std::string& folder);

// The number of reservation pages (ZAVOCV00.HTM ...) in folder (ending with '/').
int ReservationCount(const std::string& folder);

// The local date on which the set in folder (ending with '/') was captured, from its
// capture-time file. None when the set has no such file (it was captured before the program
// kept one) or the file does not hold a date.
std::optional<std::chrono::sys_days> CaptureDay(const std::string& folder);

// The capture-time file's bytes for a capture at timestamp ("YYYY/MM/DD hh:mm:ss").
std::string CaptureTimeText(const std::string& timestamp);

// programDir + the staging and the backup folder, each ending with '/'.
std::string StagingDir(const std::string& programDir);
std::string BackupDir(const std::string& programDir);

// Finishes or removes what a crash left: a staging folder with its commit marker is rolled
// forward, one without it is removed. Called at start-up and before every change of the set.
void Recover(const std::string& programDir);

// Swaps the backup with the saved set through the same journal; false when there is no
// backup (nothing changes then).
bool RestoreBackup(const std::string& programDir, const std::function<void()>& afterStep = nullptr);

}  // namespace SavedSet

// One capture's staging folder. Created empty (after Recover); removed again on every way
// out unless Commit went through, so a failed or stopped capture leaves nothing behind.
class SavedSetStaging {
  public:
    explicit SavedSetStaging(std::string programDir);
    SavedSetStaging(const SavedSetStaging&) = delete;
    SavedSetStaging& operator=(const SavedSetStaging&) = delete;
    ~SavedSetStaging();

    // Writes one page of the new set, readable by its owner only; not flushed yet.
    void Save(const std::string& name, const std::string& bytes);
    // The same with the work list's text (CR LF after every line), streamed into the file
    // rather than built beside the page first.
    void Save(const std::string& name, const TWorkList& lines);

    // Reservation pages saved so far.
    int ReservationCount() const { return reservations_; }

    // Flushes the staged pages once, writes the commit marker and replaces the saved set.
    void Commit();

    // Tests: called after each step of the commit that a power loss could interrupt; a test
    // throws from it to stop the commit there as a crash would.
    std::function<void()> AfterStep;

  private:
    // Creates the page, lets write fill it and starts it on its way to the disk.
    void Write(const std::string& name, const std::function<bool(Sys::File&)>& write);

    std::string programDir_;
    std::string staging_;
    std::vector<std::string> names_;
    int reservations_ = 0;
    bool committed_ = false;
};
