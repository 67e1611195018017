// The fault matrix: one fault per row, tried in one mode through the real executable and the
// substitute tool. Every row checks the exit code, that exactly the intended ports were
// flashed, that no file of the package was changed or lost, and that the run ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "platform/platform.h"
#include "support/package.h"
#include "support/sim.h"

namespace {

using test::SimFaults;
using test::SimPort;
using Calls = std::vector<std::string>;

bool IsWindowsHost() {
  return platform::PathSeparator() == '\\';
}

constexpr auto& Port = test::SimPortAt;

// The sample catalog offers 4.0.600 for these ports.
const SimPort kOlder = Port("NIC1", "4", "4.0.556");
const SimPort kOlder2 = Port("NIC2", "5", "4.0.556");
const std::string kFlash4 = "nxflash.exe -i 4:0.0 -f -a";
const std::string kFlash5 = "nxflash.exe -i 5:0.0 -f -a";
const char kGivenReport[] = "given.xml";  // what -d tempNicList.xml copies (report_file)
const char kUserReport[] = "report.xml";  // the file a -d, -u or -v row names

enum class Setup {
  kNone,
  kNoTool,             // the utility runs from a folder without the tool
  kToolNotExecutable,  // ... beside a tool without execute permission
  kToolDirectory,      // ... beside a directory named as the tool
  kReportGiven,        // text is the discovery report the tool hands over
  kReportForOption,    // text is the report the row's -u reads ("" for the tool's own)
  kCatalog,            // text replaces NICFWData.xml ("" removes it)
  kCatalogVersion,     // text replaces the catalog's 4.0.600
  kStaleLock,
  kHeldLock,        // a lock directory that cannot be removed, because it is not empty
  kLockDirectory,   // an empty lock directory
  kLogDirectory,    // the log's path is a directory
  kSecondInstance,  // the row's run starts, with another temporary directory, during another run
  kReportAside,     // report.xml exists; text "taken": every name it could be moved to is
                    // taken; "link": report.xml.previous is a dangling link
  kReportLinked,    // the row's report file is a hard link to text, a file of the package
  kCaptureLinked,   // hwflagStatus.dat is a hard link to text, a file of the package
  kLogLinked,       // the log is a hard link to text, a file of the package
};

struct Row;
void PrintTo(const Row& row, std::ostream* os);

struct Row {
  std::string name;
  std::vector<std::string> args;
  int exit_code;
  Calls flashes;                     // the " -f -a" calls, in order
  std::vector<std::string> updated;  // device IDs at the package version afterwards
  std::vector<SimPort> ports{kOlder};
  SimFaults faults;
  std::string input;
  Setup setup = Setup::kNone;
  std::string text;
  std::string skip;             // why the row does not run yet
  std::string outcome, reason;  // the run record's words; reason "" is the outcome word
  std::string flags;            // the record's finding/action of the first port, when given

  Row& Ports(std::vector<SimPort> p) { return ports = std::move(p), *this; }
  Row& Faults(const std::function<void(SimFaults&)>& change) { return change(faults), *this; }
  Row& Input(std::string typed) { return input = std::move(typed), *this; }
  Row& With(Setup s, std::string t = "") { return setup = s, text = std::move(t), *this; }
  Row& Skip(std::string why) { return skip = std::move(why), *this; }
  Row& Flags(std::string finding_action) { return flags = std::move(finding_action), *this; }
  Row& Is(std::string word, std::string why = "") {
    return outcome = std::move(word), reason = std::move(why), *this;
  }
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

Row R(std::string name, std::vector<std::string> args, int code, Calls flashes = {},
      std::vector<std::string> updated = {}) {
  Row row;
  row.name = std::move(name);
  row.args = std::move(args);
  row.exit_code = code;
  row.flashes = std::move(flashes);
  row.updated = std::move(updated);
  return row;
}

SimPort WithFlags(SimPort p, const std::function<void(SimPort&)>& change) {
  change(p);
  return p;
}

// A report the tool would write for kOlder, as text to be bent by a row.
std::string ValidReport() {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<zelt_rom_discovery version=\"1.0\"><type value=\"RAVARE_NIC\"/>"
         "<version value=\"1.0\"/><devices><device><device_id value=\"NIC1\"/>"
         "<venid value=\"4040\"/><devid value=\"0100\"/><subvenid value=\"1234\"/>"
         "<subdevid value=\"00AB\"/><macaddress value=\"00:0E:1E:00:00:04\"/>"
         "<product_id value=\"P3 Dual Port 10GbE Server Adapter\"/>"
         "<busnumber value=\"4\"/><devicenumber value=\"0\"/><funcnumber value=\"0\"/>"
         "<fw_item><type value=\"rom\"/><active_version value=\"4.0.556\"/>"
         "<version value=\"4.0.600\"/><action value=\"\"/></fw_item></device></devices>"
         "</zelt_rom_discovery>\n";
}

std::string Utf16(const std::string& ascii, bool mark) {
  std::string out = mark ? "\xFF\xFE" : "";
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

std::string DeeplyNested() {
  std::string text = ValidReport();
  const size_t depth = 100000;
  std::string nest;
  for (size_t i = 0; i < depth; ++i) nest += "<n>";
  for (size_t i = 0; i < depth; ++i) nest += "</n>";
  return text.insert(text.find("</devices>"), nest);
}

std::vector<Row> Rows() {
  const std::string valid = ValidReport();
  auto failing = [](int flash_exit) {
    return WithFlags(kOlder, [=](SimPort& p) { p.flash_exit = flash_exit; });
  };
  const std::string windows_only = IsWindowsHost() ? "" : "a name form of the Windows host";
  auto flagged = [](std::function<void(SimPort&)> change) {
    return WithFlags(Port("NIC1", "4", "4.0.555"), [&](SimPort& p) {
      p.hwflags = "2";
      change(p);
    });
  };
  return {
      // The tool.
      R("ToolMissing", {"-s"}, 0).Is("tool-missing").With(Setup::kNoTool),
      R("ToolMissingQueryList", {"-ql"}, 4).Is("tool-missing").With(Setup::kNoTool),
      R("ToolMissingShowInstalled", {"-c"}, 2).Is("tool-missing").With(Setup::kNoTool),
      R("ToolMissingDriverCheck", {"-v", kUserReport}, 2).Is("tool-missing").With(Setup::kNoTool),
      R("ToolNotExecutable", {"-s"}, 0).Is("tool-missing").With(Setup::kToolNotExecutable),
      R("ToolIsADirectory", {"-s"}, 0).Is("tool-missing").With(Setup::kToolDirectory),
      R("ToolCrashes", {"-s"}, 0).Is("discovery-failed", "tool-exit-code").Faults([](SimFaults& f) {
        f.crash = true;
      }),
      R("ToolCrashesShowInstalled", {"-c"}, 2)
          .Is("discovery-failed", "tool-exit-code")
          .Faults([](SimFaults& f) { f.crash = true; }),
      R("FlashFailsOnOnePort", {"-s"}, 0, {kFlash4, kFlash5}, {"NIC2"})
          .Is("partly-failed")
          .Ports({failing(7), kOlder2}),
      R("FlashFailsOnOnePortInteractive", {}, 0, {kFlash4, kFlash5}, {"NIC2"})
          .Is("partly-failed")
          .Ports({failing(7), kOlder2})
          .Input("y\ny\n"),
      R("FlashFailsOnOnePortOfAReport", {"-u", kUserReport}, 0, {}, {"NIC2"})
          .Is("apply-failed", "tool-exit-code")
          .Ports({failing(7), kOlder2})
          .With(Setup::kReportForOption),
      R("InfoQueryFails", {"-c"}, 0)
          .Flags("unknown/none")
          .Is("shown")
          .Ports({flagged([](SimPort& p) { p.info_exit = 5; })}),
      R("FlagsResetFails", {"-c"}, 0)
          .Flags("enabled/reset-failed")
          .Is("shown")
          .Ports({flagged([](SimPort& p) { p.hwflags_reset_exit = 5; })}),
      // The discovery report.
      R("ReportMissing", {"-s"}, 0).Is("discovery-failed", "no-report").Faults([](SimFaults& f) {
        f.report_missing = true;
      }),
      R("ReportMissingRecommend", {"-n"}, 0)
          .Is("discovery-failed", "no-report")
          .Faults([](SimFaults& f) { f.report_missing = true; }),
      R("ReportEmpty", {"-s"}, 0)
          .Is("discovery-failed", "report-unreadable")
          .With(Setup::kReportGiven, ""),
      R("ReportTruncated", {"-s"}, 0)
          .Is("discovery-failed", "report-unreadable")
          .With(Setup::kReportGiven, valid.substr(0, valid.size() / 2)),
      R("ReportNotXml", {"-s"}, 0)
          .Is("discovery-failed", "report-unreadable")
          .Faults([](SimFaults& f) { f.report_malformed = true; }),
      R("ReportNotXmlDiscovery", {"-d", kUserReport}, 0)
          .Is("discovery-failed", "report-unreadable")
          .Faults([](SimFaults& f) { f.report_malformed = true; }),
      R("UserReportNotXml", {"-u", kUserReport}, 0)
          .Is("apply-failed", "tool-exit-code")
          .With(Setup::kReportForOption, "not a report\n"),
      R("ReportUtf16WithMark", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .With(Setup::kReportGiven, Utf16(valid, true)),
      R("ReportUtf16WithoutMark", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .With(Setup::kReportGiven, Utf16(valid, false)),
      R("ReportHuge", {"-s"}, 2, {kFlash4}, {"NIC1"}).Is("updated").Faults([](SimFaults& f) {
        f.message_mb = 5;
      }),
      R("ReportDeeplyNested", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .With(Setup::kReportGiven, DeeplyNested()),
      R("ReportWrongFamily", {"-s"}, 0)
          .Is("report-refused", "other-family")
          .Faults([](SimFaults& f) { f.report_type = "VARORU_NIC"; }),
      R("ReportWrongFamilyAfterDevices", {"-s"}, 0)
          .Is("report-refused", "other-family")
          .Faults([](SimFaults& f) {
            f.report_type = "VARORU_NIC";
            f.type_after_devices = true;
          }),
      R("ReportWrongFamilyVersionOnly", {"-v", kUserReport}, 2)
          .Is("report-refused", "other-family")
          .Faults([](SimFaults& f) { f.report_type = "VARORU_NIC"; }),
      R("DuplicatePort", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .Ports({kOlder, Port("NIC9", "4", "4.0.556")}),
      R("DuplicatePortInteractive", {}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .Ports({kOlder, Port("NIC9", "4", "4.0.556")})
          .Input("y\ny\n"),
      R("DuplicatePortWrittenOtherwise", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .Ports({kOlder, Port("NIC7", " 4", "4.0.556"), Port("NIC8", "04", "4.0.556"),
                  Port("NIC9", "\t4", "4.0.556")}),
      R("DuplicatePortSpelledOtherwise", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .Ports({kOlder, Port("NIC7", "+4", "4.0.556"), Port("NIC8", "0x04", "4.0.556"),
                  Port("NIC9", "\n4", "4.0.556")}),
      R("DuplicatePortInLetterCase", {"-s"}, 2, {"nxflash.exe -i 0a:0.0 -f -a"}, {"NIC1"})
          .Is("updated")
          .Ports({Port("NIC1", "0a", "4.0.556"), Port("NIC2", "0A", "4.0.556")}),
      R("PortNumberNotANumber", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .Ports({kOlder, Port("NIC2", "4z", "4.0.556"), Port("NIC3", "-0", "4.0.556")}),
      R("ReportWrongFamilyAfterOtherFirmware", {"-s"}, 0)
          .Is("report-refused", "other-family")
          .Ports({kOlder, WithFlags(kOlder2, [](SimPort& p) { p.fw_type = "nvram"; })})
          .Faults([](SimFaults& f) {
            f.report_type = "VARORU_NIC";
            f.type_after_devices = true;
          }),
      R("FirmwareTypeRefused", {"-s"}, 0)
          .Is("report-refused", "firmware-type")
          .Ports({WithFlags(kOlder, [](SimPort& p) { p.fw_type = "nvram"; }), kOlder2}),
      // The catalog.
      R("CatalogMissing", {"-s"}, 0).Is("catalog-missing").With(Setup::kCatalog, ""),
      R("CatalogEmpty", {"-s"}, 0).Is("no-adapter").With(Setup::kCatalog, " "),
      R("CatalogGarbage", {"-s"}, 0)
          .Is("no-adapter")
          .With(Setup::kCatalog, "\x01\x02<nic_fw_package><<<&&"),
      R("CatalogVersionNegative", {"-s"}, 3)
          .Is("nothing-selected")
          .With(Setup::kCatalogVersion, "4.0.-1"),
      R("CatalogVersionEmptyPart", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .With(Setup::kCatalogVersion, "4..600"),
      R("CatalogVersionLetters", {"-s"}, 3)
          .Is("nothing-selected")
          .With(Setup::kCatalogVersion, "abc"),
      // The lock file, the log and the console.
      R("LockStale", {"-s"}, 2, {kFlash4}, {"NIC1"}).Is("updated").With(Setup::kStaleLock),
      R("LockHeld", {"-s"}, 0).Is("another-run", "lock-file-stuck").With(Setup::kHeldLock),
      R("LockIsADirectory", {"-c"}, 0)
          .Is("another-run", "lock-file-stuck")
          .With(Setup::kLockDirectory),
      R("LogUnwritable", {"-s"}, 2, {kFlash4}, {"NIC1"}).Is("updated").With(Setup::kLogDirectory),
      R("LogLinkedToCatalog", {"-s"}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .With(Setup::kLogLinked, "NICFWData.xml"),
      R("InputClosedAtFirstQuestion", {}, 3)
          .Is("nothing-selected")
          .Ports({kOlder, kOlder2})
          .Input(""),
      // End of input answers "no" to every later question: the port answered before it is
      // flashed, as the answer asked.
      R("InputClosedAtLaterQuestion", {}, 2, {kFlash4}, {"NIC1"})
          .Is("updated")
          .Ports({kOlder, kOlder2})
          .Input("y\n"),
      R("QuitAtFirstQuestion", {}, 3).Is("cancelled").Ports({kOlder, kOlder2}).Input("q\n"),
      R("AnswerLineOverLong", {}, 3)
          .Is("nothing-selected")
          .Ports({kOlder, kOlder2})
          .Input(std::string(100000, 'y') + "\nn\n"),
      // Report names aimed at the package's own files.
      R("DiscoveryReportOverCatalog", {"-d", "NICFWData.xml"}, 0)
          .Is("usage", "protected-report-file"),
      R("VersionReportOverTool", {"-v", "nxflash.exe"}, 0).Is("usage", "protected-report-file"),
      // A failed tool leaves an earlier report as it was, and the names beside it alone.
      R("DiscoveryReportFailsBesideTakenAsideNames", {"-d", kUserReport}, 0)
          .Is("report-failed", "tool-exit-code")
          .Faults([](SimFaults& f) { f.user_report_exit = 9; })
          .With(Setup::kReportAside, "taken"),
      R("DiscoveryReportFailsBesideADanglingLink", {"-d", kUserReport}, 0)
          .Is("report-failed", "tool-exit-code")
          .Faults([](SimFaults& f) { f.user_report_exit = 9; })
          .With(Setup::kReportAside, "link")
          .Skip(IsWindowsHost() ? "Wine 8 creates no symbolic links" : ""),
      R("DiscoveryReportLinkedToCatalog", {"-d", kUserReport}, 0)
          .Is("usage", "protected-report-file")
          .With(Setup::kReportLinked, "NICFWData.xml"),
      R("VersionReportLinkedToCatalog", {"-v", kUserReport}, 0)
          .Is("usage", "protected-report-file")
          .With(Setup::kReportLinked, "NICFWData.xml"),
      R("VersionReportLinkedToTool", {"-v", kUserReport}, 0)
          .Is("usage", "protected-report-file")
          .With(Setup::kReportLinked, "nxflash.exe"),
      R("DiscoveryReportLinkedToFirmwareImage", {"-d", kUserReport}, 0)
          .Is("usage", "protected-report-file")
          .With(Setup::kReportLinked, "p3fw_4_0_600.bin"),
      R("FlagsCaptureLinkedToCatalog", {"-c"}, 0)
          .Flags("unknown/none")
          .Is("shown")
          .Ports({flagged([](SimPort&) {})})
          .With(Setup::kCaptureLinked, "NICFWData.xml"),
      // Windows names that reach the catalog past its ordinary name.
      R("VersionReportDeviceNamespace", {"-v", "\\\\?\\{package}\\NICFWData.xml"}, 0)
          .Is("usage", "device-or-stream-name")
          .Skip(windows_only),
      R("VersionReportDeviceName", {"-v", "\\\\.\\{package}\\NICFWData.xml"}, 0)
          .Is("usage", "device-or-stream-name")
          .Skip(windows_only),
      R("VersionReportSlashedDeviceNamespace", {"-v", "//?/{package}/NICFWData.xml"}, 0)
          .Is("usage", "device-or-stream-name")
          .Skip(windows_only),
      // The tool leaves no lock file, so only the utility's own lock stands in the way.
      R("SecondInstance", {"-s"}, 0, {kFlash4}, {"NIC1"})
          .Is("another-run", "instance-lock")
          .Faults([](SimFaults& f) { f.no_lock = true; })
          .With(Setup::kSecondInstance),
  };
}

// Every file and folder of the package directory but the tool's own state, with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name == test::kSimConfigFile || name == test::kSimCallLogFile) continue;
    files[name] = entry.is_directory() ? "<directory>" : test::ReadBytes(entry.path().string());
  }
  return files;
}

class FaultMatrix : public test::PackageTest, public ::testing::WithParamInterface<Row> {
 protected:
  std::string Lock() const { return test::Join(temp_dir(), "ravare_lock_file"); }

  // Prepares the row's fault; returns the program to run.
  std::string Prepare(const Row& row) {
    test::WriteSimConfig(package_dir(), row.ports, row.faults);
    std::string program = test::UtilityPath();
    std::string beside = PackageFile(IsWindowsHost() ? "Quorvane.exe" : "quorvane");
    std::string tool = PackageFile("nxflash.exe");
    namespace fs = std::filesystem;
    switch (row.setup) {
      case Setup::kNone:
      case Setup::kSecondInstance:
        break;
      case Setup::kNoTool:
      case Setup::kToolNotExecutable:
      case Setup::kToolDirectory:
        fs::copy_file(test::UtilityPath(), beside);
        fs::permissions(beside, fs::perms::owner_exec, fs::perm_options::add);
        if (row.setup == Setup::kToolNotExecutable) {
          fs::copy_file(test::ToolPath(), tool);
          fs::permissions(tool, fs::perms::owner_read | fs::perms::owner_write);
        }
        if (row.setup == Setup::kToolDirectory) {
          EXPECT_TRUE(platform::MakeDirectory(tool));
        }
        program = beside;
        break;
      case Setup::kReportGiven:
        test::WriteBytes(PackageFile(kGivenReport), row.text);
        test::WriteSimConfig(package_dir(), row.ports, WithReportFile(row.faults));
        break;
      case Setup::kReportForOption:
        if (row.text.empty())
          test::RunProcess({test::ToolPath(), "-d", kUserReport}, package_dir());
        else
          test::WriteBytes(PackageFile(kUserReport), row.text);
        break;
      case Setup::kCatalog:
        if (row.text.empty())
          test::RemoveIfPresent(PackageFile("NICFWData.xml"));
        else
          test::WriteBytes(PackageFile("NICFWData.xml"), row.text);
        break;
      case Setup::kCatalogVersion: {
        std::string catalog = test::ReadText(PackageFile("NICFWData.xml"));
        size_t at = catalog.find("4.0.600");
        EXPECT_NE(at, std::string::npos);
        if (at != std::string::npos)
          test::WriteBytes(PackageFile("NICFWData.xml"), catalog.replace(at, 7, row.text));
        break;
      }
      case Setup::kStaleLock:
        test::WriteBytes(Lock(), "");
        break;
      case Setup::kHeldLock:
        EXPECT_TRUE(platform::MakeDirectory(Lock()));
        test::WriteBytes(test::Join(Lock(), "held"), "");
        break;
      case Setup::kLockDirectory:
        EXPECT_TRUE(platform::MakeDirectory(Lock()));
        break;
      case Setup::kLogDirectory:
        test::RemoveIfPresent(LogPath());
        fs::create_directories(LogPath());
        break;
      case Setup::kReportAside: {
        const std::string report = PackageFile(kUserReport);
        test::WriteBytes(report, "old");
        if (row.text == "link") {
          fs::create_symlink("nowhere", report + ".previous");
          break;
        }
        for (int n = 0; n < 100; ++n)
          test::WriteBytes(report + ".previous" + (n ? std::to_string(n) : ""), "taken");
        break;
      }
      case Setup::kReportLinked:
      case Setup::kCaptureLinked:
      case Setup::kLogLinked: {
        std::string target = PackageFile(row.text);
        if (!test::Exists(target)) {
          if (row.text == "nxflash.exe")
            fs::copy_file(test::ToolPath(), target);
          else
            test::WriteBytes(target, "a firmware image\n");
        }
        std::error_code ec;
        std::string link = row.setup == Setup::kReportLinked    ? PackageFile(kUserReport)
                           : row.setup == Setup::kCaptureLinked ? PackageFile("hwflagStatus.dat")
                                                                : LogPath();
        fs::create_directories(fs::path(link).parent_path(), ec);
        test::RemoveIfPresent(link);
        fs::create_hard_link(target, link, ec);
        EXPECT_FALSE(ec) << ec.message();
        break;
      }
    }
    test::RemoveIfPresent(PackageFile(test::kSimCallLogFile));
    return program;
  }

  static SimFaults WithReportFile(SimFaults faults) {
    faults.report_file = kGivenReport;
    return faults;
  }

  // Leaves nothing behind that the shared system drive of Wine would carry to the next test.
  void CleanUp(const Row& row) {
    std::error_code ec;
    if (row.setup == Setup::kLogDirectory || row.setup == Setup::kLogLinked)
      std::filesystem::remove(LogPath(), ec);
    if (row.setup == Setup::kHeldLock || row.setup == Setup::kLockDirectory)
      std::filesystem::remove_all(Lock(), ec);
  }

  Calls Flashes() const { return test::ReadFlashCalls(package_dir()); }

  // The row's run wrote the first record (a first run of its own ends after it): its words,
  // and a port entry for each flash with the call's outcome.
  void CheckRecord(const Row& row, int exit_code, bool first_run) {
    std::vector<nlohmann::json> records = Records();
    ASSERT_EQ(records.size(), first_run ? 2u : 1u);
    const nlohmann::json& record = records.front();
    EXPECT_EQ(record["exit_code"], exit_code);
    EXPECT_EQ(record["outcome"], row.outcome);
    EXPECT_EQ(record["reason"], row.reason.empty() ? row.outcome : row.reason);
    Calls flashed;
    for (const nlohmann::json& port : record["ports"]) {
      if (port["cause"] == "duplicate") {
        EXPECT_EQ(port["outcome"], "not-attempted");
      }
      if (port["tool"].is_null()) continue;
      flashed.push_back(port["tool"]["command"]);
      bool failed = port["tool"]["exit_code"] != 0;
      EXPECT_EQ(port["outcome"], failed ? "failed" : "updated") << port.dump();
      // The discovery after the run saw what the flash did (a given report stays as it was).
      if (row.setup != Setup::kReportGiven) {
        EXPECT_EQ(port["version_after"],
                  failed ? port["installed_before"] : port["package_version"])
            << port.dump();
      }
      EXPECT_EQ(port["tool"]["output"].is_null(), !failed) << port.dump();
    }
    if (!row.flags.empty()) {
      ASSERT_FALSE(record["ports"].empty());
      const nlohmann::json& flags = record["ports"][0]["hardware_flags"];
      EXPECT_EQ(flags.value("finding", "") + "/" + flags.value("action", ""), row.flags);
    }
    // -u flashes what its report lists, none of the record's ports; a first run flashes its own.
    if (!first_run && (row.args.empty() || row.args[0] != "-u")) {
      EXPECT_EQ(flashed, row.flashes);
    }
  }
};

TEST_P(FaultMatrix, Row) {
  const Row& row = GetParam();
  if (!row.skip.empty()) GTEST_SKIP() << row.skip;
  if (row.setup == Setup::kToolNotExecutable && IsWindowsHost())
    GTEST_SKIP() << "Windows runs a file without an execute permission";

  std::string program = Prepare(row);
  const auto before = Snapshot(package_dir());
  std::vector<std::string> argv{program};
  for (std::string arg : row.args) {
    size_t at = arg.find("{package}");
    std::string dir = package_dir();
    if (arg.rfind("//", 0) == 0) std::replace(dir.begin(), dir.end(), '\\', '/');
    if (at != std::string::npos) arg.replace(at, 9, dir);
    argv.push_back(arg);
  }

  std::unique_ptr<test::BackgroundProcess> first;
  if (row.setup == Setup::kSecondInstance) {
    SimFaults slow = row.faults;
    slow.delay_ms = 3000;
    test::WriteSimConfig(package_dir(), row.ports, slow);
    first = std::make_unique<test::BackgroundProcess>(argv, package_dir());
    for (int i = 0; i < 200 && test::ReadCallLog(package_dir()).empty(); ++i)
      platform::SleepMilliseconds(50);
    ASSERT_FALSE(test::ReadCallLog(package_dir()).empty()) << "the first run never started";
    // No user setting may lead the second run to a lock of its own.
    const std::string other_temp = test::Join(temp_dir(), "other");
    ASSERT_TRUE(platform::MakeDirectory(other_temp));
    test::SetEnvironment("TMP", other_temp);
    test::SetEnvironment("TMPDIR", other_temp);
  }

  // A hang guard, far above any run's time: a run that outlasts it is ended.
  test::ProcessResult r = test::RunProcess(argv, package_dir(), row.input, 60);
  EXPECT_FALSE(r.timed_out) << "the run did not end";
  if (first) {
    EXPECT_EQ(first->Wait(), 2) << "the first run goes on undisturbed";
  }
  CleanUp(row);

  EXPECT_EQ(r.exit_code, row.exit_code) << r.output;
  EXPECT_EQ(Flashes(), row.flashes);
  for (const SimPort& port : row.ports) {
    bool updated =
        std::find(row.updated.begin(), row.updated.end(), port.device_id) != row.updated.end();
    EXPECT_EQ(test::SimActiveVersion(package_dir(), port.device_id),
              !updated                              ? port.active_version
              : row.setup == Setup::kCatalogVersion ? row.text
                                                    : "4.0.600")
        << port.device_id;
  }
  const auto after = Snapshot(package_dir());
  for (const auto& file : before) {
    auto now = after.find(file.first);
    EXPECT_TRUE(now != after.end() && now->second == file.second) << file.first << " changed";
  }
  EXPECT_TRUE(test::Exists(test::ToolPath()));
  CheckRecord(row, r.exit_code, first != nullptr);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& row) { return row.param.name; });

}  // namespace
