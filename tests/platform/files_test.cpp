// File names and the one open through which the utility writes a file.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/files.h"

namespace {

TEST(FileNames, DeviceNamespaceAndStreamFormsAreKnownByTheirText) {
  for (const char* name : {"\\\\?\\C:\\pkg\\NICFWData.xml", "\\\\.\\C:\\pkg\\NICFWData.xml",
                           "//?/C:/pkg/NICFWData.xml", "\\??\\C:\\pkg\\NICFWData.xml",
                           "/\\?\\C:\\pkg\\NICFWData.xml", "\\\\?\\UNC\\server\\share\\r.xml",
                           "report.xml:hidden", "C:\\pkg\\NICFWData.xml::$DATA", "C:x:y"})
    EXPECT_TRUE(platform::IsDeviceOrStreamName(name)) << name;
  for (const char* name : {"report.xml", "C:\\pkg\\report.xml", "C:report.xml", "..\\report.xml",
                           "\\\\server\\share\\report.xml", "/tmp/report.xml", "?", ""})
    EXPECT_FALSE(platform::IsDeviceOrStreamName(name)) << name;
}

// Only a name that stays in the current directory on every host is plain.
TEST(FileNames, PlainNamesStayInTheirDirectory) {
  for (const char* name : {"p3fw.bin", "a..b.bin", "console.bin", "COM10", "LPT", "nul_fw.bin"})
    EXPECT_TRUE(platform::IsPlainFileName(name)) << name;
  for (const char* name : {"", ".", "..", "sub/p3fw.bin", "sub\\p3fw.bin", "C:p3fw.bin",
                           "p3fw.bin:stream", "\\\\.\\pipe\\fw", "\\\\server\\share\\fw.bin", "NUL",
                           "nul.bin", "CON .bin", "com1", "LPT9.x", "CONOUT$", "clock$"})
    EXPECT_FALSE(platform::IsPlainFileName(name)) << name;
}

// What the opened handle tells decides, whatever the name looked like before: a reparse point
// (which Wine cannot make) and a protected file under another name are left as they were.
TEST(OpenForWriting, JudgesTheOpenedFileBeforeEmptyingIt) {
  test::TempDir dir;
  const std::string path = dir.File("report.xml");
  struct Case {
    platform::FileFactsReader reader;
    platform::OpenStatus status;
  } cases[] = {
      {[](intptr_t) -> platform::SystemResult<platform::OpenedFileFacts> {
         platform::OpenedFileFacts facts;
         facts.is_link = true;
         return facts;
       },
       platform::OpenStatus::kIsLink},
      {[](intptr_t) -> platform::SystemResult<platform::OpenedFileFacts> {
         platform::OpenedFileFacts facts;
         facts.id = {7, 42};
         return facts;
       },
       platform::OpenStatus::kProtected},
  };
  for (const Case& c : cases) {
    test::WriteBytes(path, "kept");
    Expected<std::FILE*, platform::OpenStatus> opened =
        platform::OpenForWriting(path, platform::WriteMode::kReplace, {{7, 42}}, c.reader);
    ASSERT_FALSE(opened);
    EXPECT_TRUE(opened.error().code == c.status);
    EXPECT_EQ(test::ReadBytes(path), "kept");
  }
}

}  // namespace
