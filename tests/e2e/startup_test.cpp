// Start-up, command line and the opening and closing lines of a run, through the real
// executable.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "support/package.h"

namespace {

using test::PackageTest;

const std::string kDashes(77, '-');

using test::Contains;

TEST_F(PackageTest, MissingCatalogStopsBeforeTheBanner) {
  test::RemoveIfPresent(PackageFile("NICFWData.xml"));
  test::ProcessResult r = Run({"-h"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output, "Supporting file NICFWData.xml is missing. Cannot proceed.\n");
  std::string log = Log();
  EXPECT_TRUE(Contains(log, "Supporting file NICFWData.xml is missing. Cannot proceed.\n"));
  EXPECT_FALSE(Contains(log, kDashes));
  nlohmann::json record = LastRecord();
  EXPECT_EQ(record["outcome"], "catalog-missing");
  EXPECT_EQ(record["message"], "Supporting file NICFWData.xml is missing. Cannot proceed.");
  EXPECT_EQ(record["arguments"], nlohmann::json::array({"-h"}));
}

TEST_F(PackageTest, HelpShowsBannerAndUsageAndNoClosingLines) {
  test::ProcessResult r = Run({"-h"});
  EXPECT_EQ(r.exit_code, 0);
  std::string banner_start = kDashes +
                             "\nZelt Orla-Series RavAre P3 Online Firmware Upgrade "
                             "Utility for Windows (";
  EXPECT_EQ(r.output.rfind(banner_start, 0), 0u) << r.output;
  EXPECT_FALSE(Contains(r.output, std::string(78, '-')));
  EXPECT_TRUE(Contains(r.output, "\n" + kDashes + "\n\nUSAGE: "));
  EXPECT_TRUE(Contains(r.output, "-h  Display this help menu.\n"));

  std::string log = Log();
  EXPECT_EQ(log.rfind("Checking for any other instance of RavAre tool!\n" + kDashes, 0), 0u) << log;
  EXPECT_TRUE(Contains(log, "Command line supplied:\n\t"));
  EXPECT_TRUE(Contains(log, " -h \n"));
  EXPECT_TRUE(Contains(log, "Upgrade began: "));
  EXPECT_TRUE(Contains(log, "USAGE: "));
  EXPECT_FALSE(Contains(log, "Upgrade completed"));
  EXPECT_FALSE(Contains(log, "Exiting with code"));
  nlohmann::json record = LastRecord();
  EXPECT_EQ(record["outcome"], "usage");
  // The usage text's first line: the program's name without its folder, then the options.
  const std::string usage = record.value("message", "");
  EXPECT_EQ(usage.rfind("USAGE: ", 0), 0u) << usage;
  EXPECT_TRUE(Contains(usage, "uorvane [-c] [-d <filename>]")) << usage;
  EXPECT_EQ(usage.find_first_of("/\\"), std::string::npos) << usage;
}

// A package folder, a -d name and a -v name outside the ANSI code page: the banner shows the
// utility's true version, and both reports are written under their names.
TEST_F(PackageTest, AnyFolderAndFileNameWorks) {
  const std::string banner = Run({"-h"}).output;
  const size_t from = banner.find(" (");
  const std::string version = banner.substr(from, banner.find(")\n", from) + 2 - from);
  ASSERT_NE(version.find(" ("), std::string::npos) << banner;
  const std::string folder = PackageFile("\xD0\xBF\xD0\xB0\xD0\xBA\xD0\xB5\xD1\x82");  // пакет
  ASSERT_TRUE(platform::MakeDirectory(folder));
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::u8path(package_dir()), ec)) {
    if (!entry.is_directory())
      fs::copy_file(entry.path(), fs::u8path(folder) / entry.path().filename(), ec);
  }
  const std::string utility =
      test::Join(folder, fs::u8path(test::UtilityPath()).filename().u8string());
  fs::copy_file(fs::u8path(test::UtilityPath()), fs::u8path(utility), ec);
  fs::copy_file(fs::u8path(test::ToolPath()), fs::u8path(folder) / "nxflash.exe", ec);

  test::ProcessResult r = test::RunProcess({utility, "-h"}, folder);
  EXPECT_NE(r.output.find(version), std::string::npos) << r.output;
  const std::string report = "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.xml";  // отчёт.xml
  r = test::RunProcess({utility, "-s", "-d", report}, folder);
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_TRUE(Contains(test::ReadText(test::Join(folder, report)), "<zelt_rom_discovery"));
  const std::string version_only = "\xE7\x89\x88\xE6\x9C\xAC.xml";  // 版本.xml
  r = test::RunProcess({utility, "-s", "-v", version_only}, folder);
  EXPECT_TRUE(Contains(test::ReadText(test::Join(folder, version_only)), "<zelt_rom_discovery"));
}

// A file name longer than 259 characters is refused rather than cut.
TEST_F(PackageTest, RejectedLinesShowUsage) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"-s", "-y"}, {"-d", std::string(260, 'r')}}) {
    test::RemoveIfPresent(LogPath());
    EXPECT_EQ(Run(args).exit_code, 0);
    std::string log = Log();
    EXPECT_TRUE(Contains(log, "USAGE: ")) << args[1];
    EXPECT_FALSE(Contains(log, "Exiting with code")) << args[1];
  }
}

TEST_F(PackageTest, SlashOptionsAreEchoedWithADash) {
  Run({"/s", "/x"});
  EXPECT_TRUE(Contains(Log(), " -s -x \n"));
}

TEST_F(PackageTest, SilentKeepsBannerAndUsageOffTheConsole) {
  test::ProcessResult r = Run({"-s", "-h"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output, "");
  std::string log = Log();
  EXPECT_TRUE(Contains(log, kDashes));
  EXPECT_TRUE(Contains(log, "USAGE: "));
}

TEST_F(PackageTest, LogIsAppendedAcrossRuns) {
  Run({"-h"});
  std::string first = Log();
  Run({"-h"});
  std::string both = Log();
  EXPECT_EQ(both.substr(0, first.size()), first);
  EXPECT_GT(both.size(), first.size());
  EXPECT_TRUE(Contains(both.substr(first.size()), "Checking for any other instance"));
}

}  // namespace
