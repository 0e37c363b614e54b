// Shared pieces of the fault tests: the texts the user must see, a temporary program
// directory, file helpers, an independent page fetch, and a view that records what a
// transfer shows.
#pragma once

#include <chrono>
#include <string>

#include "RecordingView.h"
#include "ScriptedPeer.h"
#include "SimTexts.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "Texts.h"

namespace fault {

// The texts the user must see. Their bytes are pinned with the program's own texts and the
// recorder's; here they are named as the fault cases read.
using Texts::kCaptureFailed;
using Texts::kLfCr;
using Texts::kReportSeparator;
using Texts::kRestoreCommFailed;
inline constexpr const char* kEntryFailed = Texts::kRestoreEntryFailed;
inline constexpr const char* kGetFailed = Texts::kFailGet;
inline constexpr const char* kRegistered = recsim::texts::kEntryDone;

using Clock = std::chrono::steady_clock;

using testsupport::RawGet;
using testsupport::ReadBytes;
using testsupport::SavedForm;
using testsupport::TempDir;
using testsupport::WriteBytes;

}  // namespace fault
