// The run record: one JSON line per run in nxflash-runs.jsonl beside the log, the same run's
// facts as the log tells people, in a closed vocabulary for machines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "adapter/inventory/adapter_inventory.h"
#include "adapter/inventory/hardware_flags.h"
#include "adapter/tool/flash_tool.h"
#include "app/options.h"
#include "base/expected.h"
#include "platform/platform.h"
#include "ui/user_interface.h"

constexpr const char kRunRecordFileName[] = "nxflash-runs.jsonl";
constexpr const char kOldRunRecordFileName[] = "nxflash-runs.1.jsonl";
// A file past this size before a write is kept under the old name and a new one begins.
constexpr uint64_t kRunRecordFileLimit = 10u * 1024 * 1024;

// How a run ended; several share an exit code, none shares a word.
enum class Outcome {
  kUsage,
  kCatalogMissing,
  kAnotherRun,
  kLockUnavailable,
  kStartUpError,
  kUnexpectedError,
  kInterrupted,
  kToolMissing,
  kDiscoveryFailed,
  kReportRefused,
  kNoAdapter,
  kDriverRefused,
  kUpdated,
  kPartlyFailed,
  kFailed,
  kNothingSelected,
  kCancelled,
  kRecommended,
  kNotRecommended,
  kInstalledNewer,
  kShown,
  kReportWritten,
  kReportFailed,
  kApplied,
  kApplyFileMissing,
  kApplyFailed,
  kDriverAllowed,
  kVersionFileFound,
  kVersionFileMissing,
};
// The record's words, one for each value of its field.
const char* OutcomeWord(Outcome outcome);
const char* ModeWord(RunMode mode);
const char* AnswerWord(Answer answer);  // y, n, q or c
const char* FindingWord(HardwareFlagsState state);
const char* ActionWord(PortFlagsCheck::Action action);

// A flash tool call as the record shows it; output only when the call failed.
struct CallRecord {
  std::string command;
  int64_t exit_code = 0;
  uint64_t duration_ms = 0;
  std::optional<std::string> output;
};
CallRecord RecordOfCall(const ToolRun& run);

struct FlagsRecord {
  std::string finding;  // enabled, disabled, unknown
  std::string action;   // reset, reset-failed, none
};

struct PortRecord {
  std::string device_id, mac, bdf, product, pci_id, installed_before, package_version;
  std::string decision = "none";  // flash, skip, none
  std::string cause = "none";     // answered, policy, equal, newer, report-only, duplicate, quit
  std::optional<std::string> answer;  // y, n, c, q
  std::optional<CallRecord> tool;
  std::string outcome = "not-attempted";  // updated, re-flashed, downgraded, failed
  std::optional<std::string> version_after;
  std::optional<FlagsRecord> hardware_flags;
};
PortRecord RecordOfPort(const AdapterRecord& port);

struct RunRecord {
  std::string version, host, user;
  uint32_t pid = 0;
  std::string start, end;
  std::vector<std::string> arguments;
  std::string mode = "update";
  int exit_code = 0;
  Outcome outcome = Outcome::kUnexpectedError;
  std::string reason;  // empty: the outcome word
  std::string message;
  std::optional<std::string> takes_effect;
  std::vector<PortRecord> ports;
  std::optional<CallRecord> failed_call;

  // Names how the run ended; message is the log's line for it (a line break is no part of it).
  void Conclude(Outcome how, const std::string& why, const std::string& line);
};

// A record of this process with its start time, words and mode filled in.
RunRecord BeginRunRecord(const std::vector<std::string>& arguments, const std::string& mode);
// The record as one JSON line, without its line end.
std::string RunRecordLine(const RunRecord& record);
// The record file beside the log.
std::string RunRecordPath(const std::string& log_path);
// Appends the line and its line end with one write, never through a link nor onto a refused
// file; a file past the limit is first kept under the old name.
Expected<void, platform::OpenStatus> AppendRunRecord(const std::string& path,
                                                     const std::string& line,
                                                     const platform::FileIds& refused);

// The event a run files in the host's system log: its level, its ID (one per class of
// outcome) and its text.
struct RunEvent {
  platform::EventLevel level = platform::EventLevel::kInformation;
  uint32_t id = 0;
  std::string text;
};
constexpr uint32_t kEventCompleted = 1000;
constexpr uint32_t kEventPartial = 2000;
constexpr uint32_t kEventRefused = 3000;
constexpr uint32_t kEventFailed = 4000;
RunEvent EventOf(const RunRecord& record);
// Where the event goes; the product files it with platform::ReportRunEvent.
using EventSink = bool (*)(platform::EventLevel, uint32_t, const std::string&);
