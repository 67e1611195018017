// Whole runs after start-up against a fake flash tool: what each mode asks the tool to do,
// and the exit code it ends with. The end-to-end tests run the same modes with the
// substitute tool as a real process.
#include "app/run_modes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "adapter/inventory/catalog_files.h"
#include "app/program.h"
#include "support/fake_flash_tool.h"
#include "support/ui_capture.h"

namespace {

std::string Port(const std::string& id, int function, const std::string& version) {
  auto value = [](const char* name, const std::string& v) {
    return std::string("<") + name + " value=\"" + v + "\"/>";
  };
  return "<device>" + value("device_id", id) + value("venid", "4040") + value("devid", "0100") +
         value("subvenid", "1234") + value("subdevid", "00AB") +
         value("macaddress", "00:0E:1E:00:00:0" + std::to_string(function)) +
         value("product_id", "P3") + value("busnumber", "4") + value("devicenumber", "0") +
         value("funcnumber", std::to_string(function)) + "<fw_item>" + value("type", "rom") +
         value("active_version", version) + "</fw_item></device>";
}

// Three ports against a package at 4.0.600: older, equal, newer.
const std::string kReport = "<zelt_rom_discovery><type value=\"RAVARE_NIC\"/><devices>" +
                            Port("NIC1", 0, "4.0.556") + Port("NIC2", 1, "4.0.600") +
                            Port("NIC3", 2, "4.0.700") + "</devices></zelt_rom_discovery>";

const std::string kDiscover = "nxflash.exe -d tempNicList.xml";
std::string Flash(int function) {
  return "nxflash.exe -i 4:0." + std::to_string(function) + " -f -a";
}

// A package directory with the catalog, made the current directory, and one run in it.
class PackageRun {
 public:
  explicit PackageRun(const std::string& typed = "") : typed_(typed) {
    test::WriteBytes(
        package_.File("NICFWData.xml"),
        test::CatalogText(test::CatalogEntryXml("4040", "0100", "1234", "00AB", "4.0.600")));
    tool.report = kReport;
  }

  int Run(std::vector<std::string> args) {
    test::ScopedCurrentDirectory cwd(package_.path());
    args.insert(args.begin(), "Quorvane.exe");
    std::vector<const char*> argv;
    for (const std::string& w : args) argv.push_back(w.c_str());
    ParsedCommandLine parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    // The user interface is made with the line's modes, as start-up makes it.
    UiSettings modes;
    modes.answers = parsed.options.answers;
    modes.debug = parsed.options.debug;
    capture_ = std::make_unique<test::CapturedUi>(typed_, modes);
    int code = static_cast<int>(RunAfterStartUp(capture_->ui(), tool, parsed, nullptr, &record));
    EXPECT_FALSE(test::Exists(package_.File("tempNicList.xml")));
    return code;
  }
  std::string Log() const { return capture_->Log(); }

  // Each port's decision:cause:outcome, in the record's order.
  std::string Ports() const {
    std::string ports;
    for (const PortRecord& p : record.ports)
      ports += (ports.empty() ? "" : " ") + p.decision + ":" + p.cause + ":" + p.outcome;
    return ports;
  }

  test::FakeFlashTool tool;
  RunRecord record;

 private:
  std::string typed_;
  std::unique_ptr<test::CapturedUi> capture_;
  test::TempDir package_;
};

// Where -d has the tool write, in the private directory beside the report.
std::string PrivateReport() {
  return std::string(".quorvane-report") + platform::PathSeparator() + "report.xml";
}

struct Case {
  std::vector<std::string> args;
  std::string typed;
  int exit_code;
  std::vector<std::string> calls;
  std::string outcome;  // the run record's
  std::string ports;    // as PackageRun::Ports shows them; "" is not checked
};

TEST(RunModes, EachModeAsksTheToolForWhatItNeedsAndEndsWithItsCode) {
  const std::vector<std::string> post_run = {kDiscover};  // the hardware-flags check
  auto then = [&](std::vector<std::string> calls) {
    calls.insert(calls.end(), post_run.begin(), post_run.end());
    return calls;
  };
  const Case cases[] = {
      {{},
       "y\ny\ny\n",
       2,
       then({kDiscover, Flash(0), Flash(1), Flash(2)}),
       "updated",
       "flash:answered:updated flash:answered:re-flashed flash:answered:downgraded"},
      // empty answers take "n" for equal and newer
      {{}, "n\n\n\n", 3, then({kDiscover}), "nothing-selected", ""},
      {{},
       "y\nq\n",
       3,
       then({kDiscover}),
       "cancelled",  // quit: nothing flashed
       "skip:quit:not-attempted skip:answered:not-attempted none:quit:not-attempted"},
      {{}, "c\ny\n\n", 2, then({kDiscover, Flash(1)}), "updated", ""},
      {{"-s"},
       "",
       2,
       then({kDiscover, Flash(0)}),
       "updated",
       "flash:policy:updated skip:equal:not-attempted skip:newer:not-attempted"},
      {{"-s", "-f"}, "", 2, then({kDiscover, Flash(0), Flash(1), Flash(2)}), "updated", ""},
      {{"-y", "-g"},
       "",
       2,
       then({kDiscover, Flash(0), Flash(2)}),
       "updated",
       "flash:policy:updated skip:equal:not-attempted flash:policy:downgraded"},
      {{"-n"},
       "",
       4,
       {kDiscover},  // no post-run check after -n
       "recommended",
       "skip:report-only:not-attempted skip:report-only:not-attempted "
       "skip:report-only:not-attempted"},
      {{"-c"},
       "",
       0,
       then({kDiscover}),
       "shown",
       "none:none:not-attempted "
       "none:none:not-attempted none:none:not-attempted"},
      {{"-d", "r.xml"},
       "",
       1,
       then({kDiscover, "nxflash.exe -d " + PrivateReport()}),
       "report-written",
       ""},
      {{"-u", "absent.xml"}, "", 0, {}, "apply-file-missing", ""},
      {{"-ql"}, "", 1, then({kDiscover}), "version-file-missing", ""},
      {{"-v", "v.xml"}, "", 0, then({kDiscover}), "driver-allowed", ""},
      {{"-x"}, "", 0, {}, "usage", ""},  // rejected: usage text only
  };
  for (const Case& c : cases) {
    std::string what = c.args.empty() ? "(none)" : c.args[0];
    PackageRun run(c.typed);
    EXPECT_EQ(run.Run(c.args), c.exit_code) << what << " " << c.typed;
    EXPECT_EQ(run.tool.calls, c.calls) << what << " " << c.typed;
    EXPECT_STREQ(OutcomeWord(run.record.outcome), c.outcome.c_str()) << what << " " << c.typed;
    if (!c.ports.empty()) {
      EXPECT_EQ(run.Ports(), c.ports) << what << " " << c.typed;
    }
  }
}

TEST(RunModes, FailuresOfTheToolEndWithExitCodeZero) {
  struct Failure {
    std::vector<std::string> args;
    void (*fault)(test::FakeFlashTool*);
    std::string logged;           // what only this failure logs, last before the closing time stamp
    std::string outcome, reason;  // the run record's
    std::string failed_output;    // the record's failed call's ("" when none failed)
  } cases[] = {
      {{"-s"},
       [](test::FakeFlashTool* t) { t->flash_exit["4:0.0"] = 7; },
       "\nNIC firmware update completed with errors. \n",
       "failed",
       "",
       ""},
      {{"-s", "-f"},
       [](test::FakeFlashTool* t) { t->flash_exit["4:0.1"] = 7; },
       "\nNIC firmware update completed with errors. \n",
       "partly-failed",
       "",
       ""},
      {{"-s"},
       [](test::FakeFlashTool* t) { t->discover_exit = 2; },
       "Device discovery failed with error code 2\n"
       "VerifyDependencies: No supported network adapters for firmware upgrade.\n"
       "Dependencies Failed -- Driver and firmware set are not allowed for update.\n",
       "discovery-failed",
       "tool-exit-code",
       "output of nxflash.exe -d tempNicList.xml"},
      {{"-d", "r.xml"},
       [](test::FakeFlashTool* t) { t->missing_reports = {PrivateReport()}; },
       "\nFailed to generate NIC discovery report to r.xml.\n",
       "report-failed",
       "no-report",
       ""},
      {{"-u", "NICFWData.xml"},
       [](test::FakeFlashTool* t) { t->apply_exit = 4; },
       "Error: Failed to process discovery file NICFWData.xml.\n",
       "apply-failed",
       "tool-exit-code",
       "output of nxflash.exe -u NICFWData.xml"},
  };
  for (const Failure& c : cases) {
    PackageRun run;
    c.fault(&run.tool);
    EXPECT_EQ(run.Run(c.args), 0) << c.args[0];
    std::string log = run.Log();
    EXPECT_NE(log.find(c.logged + "Upgrade completed: "), std::string::npos) << log;
    EXPECT_STREQ(OutcomeWord(run.record.outcome), c.outcome.c_str()) << c.args[0];
    EXPECT_EQ(run.record.reason, c.reason) << c.args[0];
    const std::optional<CallRecord>& failed = run.record.failed_call;
    EXPECT_EQ(failed ? failed->output.value_or("") : "", c.failed_output) << c.args[0];
  }
}

TEST(RunModes, DebugTracesEveryVersionParsed) {
  PackageRun run;
  run.Run({"-c", "-debug"});
  for (const char* version : {"4.0.600", "4.0.556", "4.0.700"})
    EXPECT_NE(run.Log().find("Parsed version to be " + std::string(version) + " \n"),
              std::string::npos)
        << version;
}

}  // namespace
