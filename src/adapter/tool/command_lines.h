// Every command line the utility gives the vendor flash tool, built in one place, and the
// names of the files the tool is asked to write.
#pragma once

#include <string>
#include <vector>

constexpr const char kFlashToolName[] = "nxflash.exe";
constexpr const char kFlashToolX86Name[] = "nxflash_x86.exe";
constexpr const char kDiscoveryReportFile[] = "tempNicList.xml";
constexpr const char kHardwareFlagsCaptureFile[] = "hwflagStatus.dat";
// Where -d has the tool write: a private directory the utility makes beside the report's
// final name, and one plain name in it, whatever name the report is to get.
constexpr const char kPrivateReportDirectory[] = ".quorvane-report";
constexpr const char kPrivateReportFile[] = "report.xml";
// In the temporary directory: what a call without a capture file of its own printed.
constexpr const char kToolOutputFile[] = "nxflash-output.tmp";

// Names, device IDs and bus addresses come from outside. Each reaches the tool as one
// argument: quoted by the Windows command-line rules when it is empty or holds a blank, tab
// or double quote (always, when asked), and left as it is otherwise.
std::string QuoteArgument(const std::string& arg, bool always = false);

// One word the tool is given; always_quoted shows it in quotes on the command line even when
// it needs none.
struct ToolArgument {
  std::string text;
  bool always_quoted = false;
};

// One call of the tool: its words after its name, the file its output goes to ("" for none of
// its own) and what the progress line calls it while it runs.
struct ToolCommand {
  std::vector<ToolArgument> arguments;
  std::string capture_file;
  std::string activity;
};

// The command line the log shows and Windows starts: the tool's name and each word, quoted
// where it must be.
std::string CommandLine(const ToolCommand& command);
// The words a POSIX host runs, the tool's name first, as given.
std::vector<std::string> ArgumentVector(const ToolCommand& command);

// nxflash.exe -d <file>
ToolCommand DiscoveryCommand(const std::string& report_file);
// <private_dir>/report.xml, with the host's separator
std::string PrivateReportPath(const std::string& private_dir);
// nxflash.exe -u <file>
ToolCommand ApplyReportCommand(const std::string& report_file);
// nxflash.exe -i "<device_id>" --info, its output captured in capture_file
ToolCommand HardwareFlagsQueryCommand(const std::string& device_id,
                                      const std::string& capture_file = kHardwareFlagsCaptureFile);
// nxflash.exe -i <bdf> --hwflags 0
ToolCommand HardwareFlagsResetCommand(const std::string& bdf);
// nxflash.exe -i <bdf> -f -a
ToolCommand FlashCommand(const std::string& bdf);
