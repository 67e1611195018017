// End-to-end fixture: a temporary package directory holding a copy of the sample package,
// with its own temporary directory and system drive, where the real utility is run.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/process.h"

namespace test {

std::string UtilityPath();  // Quorvane.exe or quorvane beside the test binary
std::string ToolPath();     // the substitute nxflash.exe beside it
std::string SamplePackageDir();

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the utility in the package directory with these arguments and this typed input.
  ProcessResult Run(const std::vector<std::string>& args, const std::string& input = "");
  // Runs a copy of the utility placed in the package directory, where no tool stands beside it.
  ProcessResult RunWithoutTool(const std::vector<std::string>& args);

  const std::string& package_dir() const { return package_; }
  std::string PackageFile(const std::string& name) const { return Join(package_, name); }
  std::string LogPath() const;
  std::string Log() const { return ReadText(LogPath()); }
  // The run records beside the log; every one is held to the schema when the test ends.
  std::string RecordPath() const;
  std::vector<nlohmann::json> Records() const;
  // The latest record (null, and a failure, when there is none).
  nlohmann::json LastRecord() const;
  const std::string& temp_dir() const { return temp_; }
  const std::string& drive_dir() const { return drive_; }

 private:
  TempDir root_;
  std::string package_;
  std::string temp_;
  std::string drive_;
  std::string saved_tmp_;
  std::string saved_tmpdir_;
  std::string saved_drive_;
};

}  // namespace test
