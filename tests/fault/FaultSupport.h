// Shared pieces of the fault tests: the texts the user must see (pinned by their bytes), a
// temporary program directory, file helpers, a stopwatch, and a view that records what a
// transfer shows.
#pragma once

#include <chrono>
#include <string>

#include "RecordingView.h"
#include "TestFiles.h"

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

using testsupport::RawGet;
using testsupport::ReadBytes;
using testsupport::SavedForm;
using testsupport::TempDir;
using testsupport::WriteBytes;

}  // namespace fault
