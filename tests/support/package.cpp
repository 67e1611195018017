#include "support/package.h"

#include <cstdlib>
#include <filesystem>

#include "platform/platform.h"
#include "support/run_records.h"

namespace test {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool IsWindowsHost() {
  return platform::PathSeparator() == '\\';
}

}  // namespace

std::string UtilityPath() {
  return Join(BinaryDir(), IsWindowsHost() ? "Quorvane.exe" : "quorvane");
}
std::string ToolPath() {
  return Join(BinaryDir(), "nxflash.exe");
}
std::string SamplePackageDir() {
  return Join(BinaryDir(), "package");
}

void PackageTest::SetUp() {
  package_ = root_.File("package");
  temp_ = root_.File("temp");
  drive_ = root_.File("drive");
  ASSERT_TRUE(platform::MakeDirectory(package_));
  ASSERT_TRUE(platform::MakeDirectory(temp_));
  ASSERT_TRUE(platform::MakeDirectory(drive_));
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(SamplePackageDir(), ec))
    std::filesystem::copy_file(entry.path(), Join(package_, entry.path().filename().string()), ec);

  // Children inherit these: each test has its own temporary directory (lock file) and, on
  // Linux, its own system drive (log file). Under Wine the log lives in the private prefix.
  saved_tmp_ = Env("TMP");
  saved_tmpdir_ = Env("TMPDIR");
  saved_drive_ = Env("SYSTEMDRIVE");
  SetEnvironment("TMP", temp_);
  SetEnvironment("TMPDIR", temp_);
  SetEnvironment("SYSTEMDRIVE", drive_);
  test::RemoveIfPresent(LogPath());
  test::RemoveIfPresent(RecordPath());
}

void PackageTest::TearDown() {
  for (const nlohmann::json& record : Records())
    EXPECT_EQ(SchemaFindings(record, RunRecordSchema()), "") << record.dump();
  SetEnvironment("TMP", saved_tmp_);
  SetEnvironment("TMPDIR", saved_tmpdir_);
  SetEnvironment("SYSTEMDRIVE", saved_drive_);
}

std::string PackageTest::LogPath() const {
  char sep = platform::PathSeparator();
  return platform::SystemDrive() + sep + "tlvsystem" + sep + "log" + sep + "nxflash.log";
}

std::string PackageTest::RecordPath() const {
  std::string log = LogPath();
  return log.substr(0, log.size() - std::string("nxflash.log").size()) + "nxflash-runs.jsonl";
}

std::vector<nlohmann::json> PackageTest::Records() const {
  return ReadRunRecords(RecordPath());
}

nlohmann::json PackageTest::LastRecord() const {
  std::vector<nlohmann::json> records = Records();
  EXPECT_FALSE(records.empty()) << "no run record";
  return records.empty() ? nlohmann::json() : records.back();
}

ProcessResult PackageTest::Run(const std::vector<std::string>& args, const std::string& input) {
  std::vector<std::string> argv{UtilityPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, package_, input);
}

ProcessResult PackageTest::RunWithoutTool(const std::vector<std::string>& args) {
  std::string copy = PackageFile(IsWindowsHost() ? "Quorvane.exe" : "quorvane");
  std::error_code ec;
  std::filesystem::copy_file(UtilityPath(), copy, ec);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add, ec);
  std::vector<std::string> argv{copy};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, package_);
}

}  // namespace test
