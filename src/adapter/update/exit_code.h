// The exit codes deployment frameworks read; the meaning of each number depends on the mode.
#pragma once

enum class ExitCode : int {
  // Start-up refused, command line rejected, an unexpected error, the driver rule refused
  // the update, an upgrade failed, -d or -u failed.
  kFailed = 0,
  kShown = 0,               // -c showed its table
  kDriverAllowed = 0,       // -v: the driver rule allows the update
  kVersionFileFound = 0,    // -ql
  kReportWritten = 1,       // -d
  kVersionFileMissing = 1,  // -ql
  kUpdateComplete = 2,
  kDriverRefused = 2,       // -v
  kNoAdapters = 2,          // -c
  kNothingSelected = 3,     // the user quit, or nothing was selected
  kRecommended = 4,         // -n
  kNoAdaptersForCheck = 4,  // -ql
  kNotRecommendedSame = 5,
  kNotRecommendedNewer = 6,
};
