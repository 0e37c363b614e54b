#include "SavedSet.h"

#include <algorithm>
#include <string_view>

#include "SysFile.h"
#include "SysUtils.h"
#include "Texts.h"
#include "WorkList.h"

namespace {

constexpr char kMarker[] = "COMMIT";
constexpr char kOldFolder[] = "old/";
constexpr char kDiscardFolder[] = "discard";

using Sys::Exists;
using Sys::RemoveTree;
using Sys::SyncFolder;

void MakeFolder(const std::string& path) {
    // Only the owner may look inside: the pages hold the recorder's passwords.
    if (Sys::MakeFolder(path, true) == Sys::FolderResult::Failed) {
        const std::string shown = path.back() == '/' ? path.substr(0, path.size() - 1) : path;
        throw EFCreateError(Texts::CannotCreateFolderMessage(shown));
    }
}

void Move(const std::string& from, const std::string& to) {
    if (!Sys::MoveReplacing(from, to)) throw EFCreateError(FileCreateErrorMessage(to));
}

void Step(const std::function<void()>& afterStep) {
    if (afterStep) afterStep();
}

std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += name + "\n";
    return list;
}

// The commit marker: the names of the new set, one a line, and a last line that says the list
// is whole. Written in place and flushed with its folder: one flush fewer than a temporary
// file and a rename, and a marker that a power loss cut short lacks its last line.
constexpr char kMarkerEnd[] = "END\n";

// A page or marker file: created (or emptied) for writing, the owner's only.
Sys::FileOpen OwnerOnlyFile() {
    Sys::FileOpen how;
    how.access = Sys::FileAccess::Write;
    how.creation = Sys::FileCreation::CreateOrTruncate;
    how.ownerOnly = true;
    return how;
}

void WriteMarker(const std::string& folder, const std::vector<std::string>& names) {
    const std::string path = folder + kMarker;
    Sys::File file = Sys::OpenFile(path, OwnerOnlyFile());
    bool ok = file.Valid() && file.WriteAll(NameList(names) + kMarkerEnd) && file.Flush();
    ok = file.Close() && ok;
    if (!ok) {
        Sys::RemoveFile(path);
        throw EFCreateError(FileCreateErrorMessage(path));
    }
    SyncFolder(folder);
}

// True when folder holds a whole commit marker: the new set may be moved in.
bool MarkerComplete(const std::string& folder) {
    std::string marker;
    if (Sys::TryReadWholeFile(folder + kMarker, marker) != Sys::ReadStatus::Ok) return false;
    const size_t end = sizeof kMarkerEnd - 1;
    return marker.size() >= end && marker.compare(marker.size() - end, end, kMarkerEnd) == 0 &&
           (marker.size() == end || marker[marker.size() - end - 1] == '\n');
}

// Steps 3 and 4 of the journal; every step can be repeated after a crash. A file of the new
// set is in place once the staging folder no longer holds it.
void RollForward(const std::string& programDir, const std::function<void()>& afterStep) {
    const std::string staging = SavedSet::StagingDir(programDir);
    const std::string old = staging + kOldFolder;
    std::string marker;
    if (Sys::TryReadWholeFile(staging + kMarker, marker) != Sys::ReadStatus::Ok)
        throw EFCreateError(FileOpenErrorMessage(staging + kMarker));
    std::vector<std::string> incoming;
    for (size_t start = 0, end; (end = marker.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string name = marker.substr(start, end - start);
        if (SavedSet::IsSetFile(name)) incoming.push_back(name);
    }
    for (const std::string& name : SavedSet::SetFiles(programDir)) {
        const bool alreadyNew =
            std::find(incoming.begin(), incoming.end(), name) != incoming.end() &&
            !Exists(staging + name);
        if (alreadyNew) continue;
        MakeFolder(old);
        Move(programDir + name, old + name);
    }
    for (const std::string& name : incoming) {
        if (Exists(staging + name)) Move(staging + name, programDir + name);
    }
    SyncFolder(programDir);
    Step(afterStep);
    if (Exists(old)) {
        SyncFolder(old);
        const std::string backup = SavedSet::BackupDir(programDir);
        if (Exists(backup)) {
            RemoveTree(staging + kDiscardFolder);
            Move(backup, staging + kDiscardFolder);
        }
        Move(old, backup);
        SyncFolder(programDir);
        Step(afterStep);
    }
    // The new set and the backup are on disk now. Without its marker the folder holds nothing
    // that is still needed; neither step waits for the disk: should a power loss bring the
    // marker back, the next start runs these steps again, which changes nothing but this.
    Sys::RemoveFile(staging + kMarker);
    Step(afterStep);
    RemoveTree(staging);
}

}  // namespace

namespace SavedSet {

bool IsSetFile(const std::string& name) {
    if (name == Texts::kListPageFile || name == Texts::kSetupPageFile ||
        name == Texts::kChannelPageFile || name == Texts::kCaptureTimeFile)
        return true;
    return name.size() == 12 && name.compare(0, 6, "ZAVOCV") == 0 && name[6] >= '0' &&
           name[6] <= '9' && name[7] >= '0' && name[7] <= '9' && name.compare(8, 4, ".HTM") == 0;
}

std::vector<std::string> SetFiles(const std::string& folder) {
    std::vector<std::string> names = Sys::ListFolder(folder);
    std::erase_if(names, [](const std::string& name) { return !IsSetFile(name); });
    std::sort(names.begin(), names.end());
    return names;
}

int ReservationCount(const std::string& folder) {
    int count = 0;
    for (const std::string& name : SetFiles(folder))
        if (name[6] >= '0' && name[6] <= '9') ++count;
    return count;
}

std::optional<std::chrono::sys_days> CaptureDay(const std::string& folder) {
    std::string text;
    if (Sys::TryReadWholeFile(folder + Texts::kCaptureTimeFile, text) != Sys::ReadStatus::Ok)
        return std::nullopt;
    // "YYYY/MM/DD": nothing else counts, so a damaged file never passes for a date.
    if (text.size() < 10 || text[4] != '/' || text[7] != '/') return std::nullopt;
    int parts[3] = {0, 0, 0};
    const size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int k = 0; k < 3; ++k) {
        for (size_t i = starts[k]; i < starts[k] + lengths[k]; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            parts[k] = parts[k] * 10 + (text[i] - '0');
        }
    }
    const std::chrono::year_month_day day{std::chrono::year{parts[0]},
                                          std::chrono::month{static_cast<unsigned>(parts[1])},
                                          std::chrono::day{static_cast<unsigned>(parts[2])}};
    if (!day.ok()) return std::nullopt;
    return std::chrono::sys_days{day};
}

std::string CaptureTimeText(const std::string& timestamp) {
    return timestamp + "\r\n";
}

std::string StagingDir(const std::string& programDir) {
    return programDir + Texts::kStagingFolder + "/";
}

std::string BackupDir(const std::string& programDir) {
    return programDir + Texts::kBackupFolder + "/";
}

void Recover(const std::string& programDir) {
    // A marker in the backup folder was written by a swap that stopped before the folder
    // became the staging folder: the backup itself is untouched.
    Sys::RemoveFile(BackupDir(programDir) + kMarker);
    const std::string staging = StagingDir(programDir);
    if (!Exists(staging)) return;
    // A marker that is not whole was cut short before any page moved: nothing to finish.
    if (MarkerComplete(staging)) {
        RollForward(programDir, nullptr);
    } else {
        RemoveTree(staging);
    }
}

bool RestoreBackup(const std::string& programDir, const std::function<void()>& afterStep) {
    Recover(programDir);
    const std::string backup = BackupDir(programDir);
    const std::vector<std::string> names = SetFiles(backup);
    if (names.empty()) return false;
    // The marker goes in first: once the folder is renamed it is a committed staging folder.
    WriteMarker(backup, names);
    Step(afterStep);
    Move(backup, StagingDir(programDir));
    SyncFolder(programDir);
    Step(afterStep);
    RollForward(programDir, afterStep);
    return true;
}

}  // namespace SavedSet

SavedSetStaging::SavedSetStaging(std::string programDir)
    : programDir_(std::move(programDir)), staging_(SavedSet::StagingDir(programDir_)) {
    SavedSet::Recover(programDir_);
    MakeFolder(staging_);
}

SavedSetStaging::~SavedSetStaging() {
    if (!committed_) RemoveTree(staging_);
}

void SavedSetStaging::Save(const std::string& name, const std::string& bytes) {
    Write(name, [&bytes](Sys::File& file) { return file.WriteAll(bytes); });
}

void SavedSetStaging::Save(const std::string& name, const TWorkList& lines) {
    Write(name, [&lines](Sys::File& file) {
        return lines.WriteText(
            [&file](std::string_view piece) { return file.WriteAll(piece.data(), piece.size()); });
    });
}

void SavedSetStaging::Write(const std::string& name, const std::function<bool(Sys::File&)>& write) {
    const std::string path = staging_ + name;
    Sys::File file = Sys::OpenFile(path, OwnerOnlyFile());
    bool ok = file.Valid() && write(file);
    // The page starts on its way to the disk while the next one is fetched; nothing waits
    // for it here. Commit makes sure it has arrived.
    if (ok) file.StartFlush();
    ok = file.Close() && ok;
    if (!ok) throw EFCreateError(FileCreateErrorMessage(path));
    if (std::find(names_.begin(), names_.end(), name) == names_.end()) {
        names_.push_back(name);
        if (name[6] >= '0' && name[6] <= '9') ++reservations_;
    }
}

void SavedSetStaging::Commit() {
    // One flush for the whole set. The pages' data is already on its way (Save started it);
    // the first fsync waits for it and commits the file system's journal, which holds every
    // staged page's creation, so the others find little or nothing left to do. Unlike a sync
    // of the whole file system, this never waits for other programs' writes.
    for (const std::string& name : names_) {
        // Opened for writing: Windows flushes only a file that may be written.
        Sys::FileOpen how;
        how.access = Sys::FileAccess::Write;
        Sys::File page = Sys::OpenFile(staging_ + name, how);
        if (!page.Valid() || !page.Flush())
            throw EFCreateError(FileCreateErrorMessage(staging_ + name));
    }
    SyncFolder(staging_);
    Step(AfterStep);
    WriteMarker(staging_, names_);
    // From here on the new set wins: what is left undone now is done at the next start.
    committed_ = true;
    Step(AfterStep);
    RollForward(programDir_, AfterStep);
}
