// The run record's line, its file and the run's event.
#include "app/run_record.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "app/program.h"
#include "support/files.h"
#include "support/run_records.h"

namespace {

TEST(RunRecord, LineHoldsTheSchemaWithEveryFieldFilled) {
  RunRecord record = BeginRunRecord({"-s", "-f"}, "update");
  record.end = record.start;
  record.Conclude(Outcome::kPartlyFailed, "", "\nNIC firmware update completed with errors. \n");
  PortRecord port;
  port.device_id = "NIC1";
  port.decision = "flash";
  port.cause = "policy";
  port.answer = "y";
  port.tool = CallRecord{"nxflash.exe -i 4:0.0 -f -a", 7, 12, std::string("bad\xff image\n")};
  port.outcome = "failed";
  port.version_after = "4.0.556";
  port.hardware_flags = FlagsRecord{"enabled", "reset-failed"};
  record.ports = {port, PortRecord()};
  record.failed_call = CallRecord{"nxflash.exe -d tempNicList.xml", 98, 0, std::string()};
  record.takes_effect = "after reboot";

  std::string line = RunRecordLine(record);
  ASSERT_EQ(line.find('\n'), std::string::npos);
  nlohmann::json parsed = nlohmann::json::parse(line);
  EXPECT_EQ(test::SchemaFindings(parsed, test::RunRecordSchema()), "") << line;
  EXPECT_EQ(parsed["reason"], "partly-failed");
  EXPECT_EQ(parsed["message"], "NIC firmware update completed with errors.");
  // Bytes that are no UTF-8 reach the record replaced, never as a broken line.
  EXPECT_EQ(parsed["ports"][0]["tool"]["output"], "bad\xef\xbf\xbd image\n");
  EXPECT_EQ(parsed["ports"][1]["tool"], nullptr);
}

TEST(RunRecord, AFileOverItsLimitIsKeptUnderTheOldName) {
  test::TempDir dir;
  const std::string path = dir.File(kRunRecordFileName);
  const std::string old = dir.File(kOldRunRecordFileName);
  test::WriteBytes(old, "older\n");
  test::WriteBytes(path, std::string(kRunRecordFileLimit, 'x') + "\n");
  ASSERT_TRUE(AppendRunRecord(path, "{}", {}));
  ASSERT_TRUE(AppendRunRecord(path, "{\"a\":1}", {}));
  EXPECT_EQ(test::ReadText(path), "{}\n{\"a\":1}\n");  // CR LF on Windows, as the log
  EXPECT_EQ(test::ReadBytes(old).size(), kRunRecordFileLimit + 1);
}

// What the sink was handed, for the seam test.
std::vector<RunEvent>& Filed() {
  static std::vector<RunEvent> events;
  return events;
}

bool Keep(platform::EventLevel level, uint32_t id, const std::string& text) {
  Filed().push_back({level, id, text});
  return false;  // a host log that refuses changes nothing
}

TEST(RunRecord, EachOutcomeClassFilesItsEvent) {
  using platform::EventLevel;
  const struct {
    Outcome outcome;
    EventLevel level;
    uint32_t id;
  } cases[] = {
      {Outcome::kUpdated, EventLevel::kInformation, kEventCompleted},
      {Outcome::kShown, EventLevel::kInformation, kEventCompleted},
      {Outcome::kPartlyFailed, EventLevel::kWarning, kEventPartial},
      {Outcome::kInterrupted, EventLevel::kWarning, kEventPartial},
      {Outcome::kAnotherRun, EventLevel::kError, kEventRefused},
      {Outcome::kDriverRefused, EventLevel::kError, kEventRefused},
      {Outcome::kFailed, EventLevel::kError, kEventFailed},
      {Outcome::kToolMissing, EventLevel::kError, kEventFailed},
  };
  for (const auto& c : cases) {
    Filed().clear();
    RunRecord record;
    record.exit_code = 2;
    record.Conclude(c.outcome, "", "the line\n");
    FileRunEvent(record, Keep);
    ASSERT_EQ(Filed().size(), 1u) << OutcomeWord(c.outcome);
    EXPECT_EQ(Filed()[0].level, c.level) << OutcomeWord(c.outcome);
    EXPECT_EQ(Filed()[0].id, c.id) << OutcomeWord(c.outcome);
    EXPECT_EQ(Filed()[0].text, std::string("Quorvane run ended: ") + OutcomeWord(c.outcome) +
                                   ", exit code 2. the line");
  }
}

}  // namespace
