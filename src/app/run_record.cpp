#include "app/run_record.h"

#include <nlohmann/json.hpp>

#include <utility>

#include "messages/messages.h"
#include "ui/user_interface.h"

namespace {

using Json = nlohmann::ordered_json;

struct OutcomeInfo {
  const char* word;
  uint32_t event;
};

// In the order of Outcome.
constexpr OutcomeInfo kOutcomes[] = {
    {"usage", kEventRefused},
    {"catalog-missing", kEventRefused},
    {"another-run", kEventRefused},
    {"lock-unavailable", kEventRefused},
    {"start-up-error", kEventFailed},
    {"unexpected-error", kEventFailed},
    {"interrupted", kEventPartial},
    {"tool-missing", kEventFailed},
    {"discovery-failed", kEventFailed},
    {"report-refused", kEventRefused},
    {"no-adapter", kEventFailed},
    {"driver-refused", kEventRefused},
    {"updated", kEventCompleted},
    {"partly-failed", kEventPartial},
    {"failed", kEventFailed},
    {"nothing-selected", kEventCompleted},
    {"cancelled", kEventCompleted},
    {"recommended", kEventCompleted},
    {"not-recommended", kEventCompleted},
    {"installed-newer", kEventCompleted},
    {"shown", kEventCompleted},
    {"report-written", kEventCompleted},
    {"report-failed", kEventFailed},
    {"applied", kEventCompleted},
    {"apply-file-missing", kEventFailed},
    {"apply-failed", kEventFailed},
    {"driver-allowed", kEventCompleted},
    {"version-file-found", kEventCompleted},
    {"version-file-missing", kEventCompleted},
};
static_assert(sizeof kOutcomes / sizeof kOutcomes[0] ==
                  static_cast<size_t>(Outcome::kVersionFileMissing) + 1,
              "one row per outcome");

const OutcomeInfo& InfoOf(Outcome outcome) {
  return kOutcomes[static_cast<size_t>(outcome)];
}

// The log's lines end with line breaks and some begin with one; the record's line has none.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line.push_back(' ');
    } else {
      line.push_back(c);
    }
  }
  size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

template <typename T, typename F>
Json OrNull(const std::optional<T>& value, F to_json) {
  return value ? to_json(*value) : Json(nullptr);
}

Json CallJson(const CallRecord& call) {
  return {{"command", call.command},
          {"exit_code", call.exit_code},
          {"duration_ms", call.duration_ms},
          {"output", call.output ? Json(*call.output) : Json(nullptr)}};
}

Json PortJson(const PortRecord& port) {
  auto text = [](const std::string& s) { return Json(s); };
  return {{"device_id", port.device_id},
          {"mac", port.mac},
          {"bdf", port.bdf},
          {"product", port.product},
          {"pci_id", port.pci_id},
          {"installed_before", port.installed_before},
          {"package_version", port.package_version},
          {"decision", port.decision},
          {"cause", port.cause},
          {"answer", OrNull(port.answer, text)},
          {"tool", OrNull(port.tool, CallJson)},
          {"outcome", port.outcome},
          {"version_after", OrNull(port.version_after, text)},
          {"hardware_flags", OrNull(port.hardware_flags, [](const FlagsRecord& flags) {
             return Json{{"finding", flags.finding}, {"action", flags.action}};
           })}};
}

}  // namespace

const char* OutcomeWord(Outcome outcome) {
  return InfoOf(outcome).word;
}

const char* ModeWord(RunMode mode) {
  switch (mode) {
    case RunMode::kShowInstalled:
      return "show-installed";
    case RunMode::kWriteReport:
      return "write-report";
    case RunMode::kApplyReport:
      return "apply-report";
    case RunMode::kVersionOnlyCheck:
      return "version-only-check";
    case RunMode::kDependencyCheck:
      return "dependency-check";
    case RunMode::kUpdate:
      break;
  }
  return "update";
}

const char* AnswerWord(Answer answer) {
  switch (answer) {
    case Answer::kYes:
      return "y";
    case Answer::kNo:
      return "n";
    case Answer::kQuit:
      return "q";
    case Answer::kNextAdapter:
      break;
  }
  return "c";
}

const char* FindingWord(HardwareFlagsState state) {
  switch (state) {
    case HardwareFlagsState::kActive:
      return "enabled";
    case HardwareFlagsState::kDisabled:
      return "disabled";
    case HardwareFlagsState::kUnknown:
      break;
  }
  return "unknown";
}

const char* ActionWord(PortFlagsCheck::Action action) {
  switch (action) {
    case PortFlagsCheck::Action::kReset:
      return "reset";
    case PortFlagsCheck::Action::kResetFailed:
      return "reset-failed";
    case PortFlagsCheck::Action::kNone:
      break;
  }
  return "none";
}

CallRecord RecordOfCall(const ToolRun& run) {
  CallRecord call;
  call.command = run.command;
  call.exit_code = run.exit_code;
  call.duration_ms = run.duration_ms;
  if (run.exit_code != 0) call.output = run.output;
  return call;
}

PortRecord RecordOfPort(const AdapterRecord& port) {
  PortRecord record;
  record.device_id = port.device_id;
  record.mac = port.macaddress;
  record.bdf = port.bdf;
  record.product = port.product_id;
  record.pci_id = port.pci_id;
  FirmwareVersion installed = port.installed_version;
  FirmwareVersion available = port.available_version;
  record.installed_before = installed.Format();
  record.package_version = available.Format();
  return record;
}

void RunRecord::Conclude(Outcome how, const std::string& why, const std::string& line) {
  outcome = how;
  reason = why;
  message = OneLine(line);
}

RunRecord BeginRunRecord(const std::vector<std::string>& arguments, const std::string& mode) {
  RunRecord record;
  record.version = platform::OwnFileVersion().value_or(msg::kNoFileVersion);
  // The record names an unknown host or user with an empty text.
  record.host = platform::HostName().value_or(std::string());
  record.user = platform::UserName().value_or(std::string());
  record.pid = platform::ProcessId();
  record.start = platform::UtcTimeText();
  record.arguments = arguments;
  record.mode = mode;
  return record;
}

std::string RunRecordLine(const RunRecord& r) {
  Json ports = Json::array();
  for (const PortRecord& port : r.ports) ports.push_back(PortJson(port));
  Json record = {{"schema", 1},
                 {"version", r.version},
                 {"host", r.host},
                 {"user", r.user},
                 {"pid", r.pid},
                 {"start", r.start},
                 {"end", r.end},
                 {"arguments", r.arguments},
                 {"mode", r.mode},
                 {"exit_code", r.exit_code},
                 {"outcome", OutcomeWord(r.outcome)},
                 {"reason", r.reason.empty() ? OutcomeWord(r.outcome) : r.reason},
                 {"message", r.message},
                 {"takes_effect", r.takes_effect ? Json(*r.takes_effect) : Json(nullptr)},
                 {"ports", std::move(ports)}};
  if (r.failed_call) record["failed_call"] = CallJson(*r.failed_call);
  // Adapter data and tool output are not always UTF-8: such bytes become U+FFFD.
  return record.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string RunRecordPath(const std::string& log_path) {
  return log_path.substr(0, log_path.find_last_of("/\\") + 1) + kRunRecordFileName;
}

Expected<void, platform::OpenStatus> AppendRunRecord(const std::string& path,
                                                     const std::string& line,
                                                     const platform::FileIds& refused) {
  // A file whose size cannot be read is appended to as it is.
  if (platform::FileSize(path).value_or(0) > kRunRecordFileLimit) {
    const std::string old = path.substr(0, path.find_last_of("/\\") + 1) + kOldRunRecordFileName;
    Ignore(platform::RemoveFile(old), "usually there is none; then the rename tells");
    // A full file that could not be kept aside takes no more lines.
    if (!platform::RenameFile(path, old)) return MakeError(platform::OpenStatus::kFailed);
  }
  return platform::AppendLine(path, line, refused);
}

RunEvent EventOf(const RunRecord& record) {
  RunEvent event;
  event.id = InfoOf(record.outcome).event;
  event.level = event.id == kEventCompleted ? platform::EventLevel::kInformation
                : event.id == kEventPartial ? platform::EventLevel::kWarning
                                            : platform::EventLevel::kError;
  event.text = FormatText(msg::kRunEvent, OutcomeWord(record.outcome), record.exit_code,
                          record.message.c_str());
  return event;
}
