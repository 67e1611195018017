// The process-wide option and outcome bits of one run, and the file name given with
// -d, -u or -v.
#pragma once

#include <cstdint>
#include <string>

namespace RunFlags {

enum Bit : uint32_t {
  Debug = 0x1,
  ShowInstalled = 0x2,
  WriteReport = 0x4,
  Rewrite = 0x8,
  Force = 0x10,
  Downgrade = 0x20,
  ReportOnly = 0x40,
  VersionOnlyCheck = 0x80,
  Silent = 0x200,
  ApplyReport = 0x400,
  VersionOnlyReport = 0x800,
  AssumeDefault = 0x1000,
  UserCancelled = 0x4000,
  UpdateRecommended = 0x10000,
  SameVersion = 0x20000,
  InstalledNewer = 0x40000,
  UpdateFailed = 0x80000,
  UpdateDone = 0x100000,
  SkipAdapter = 0x200000,
};

uint32_t Value();
bool IsSet(uint32_t bits);
void Set(uint32_t bits);
void Clear(uint32_t bits);
// Back to the start of a run: no bit set and no file name.
void Reset();

}  // namespace RunFlags

// The longest file name -d, -u and -v accept (a 260-character buffer with its terminator).
constexpr size_t kMaxReportFileName = 259;

const std::string& ReportFileName();
void SetReportFileName(const std::string& name);
