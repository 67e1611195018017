// Every command line the utility gives the vendor flash tool, built in one place, and the
// names of the files the tool is asked to write.
#pragma once

#include <string>

constexpr const char kFlashToolName[] = "nxflash.exe";
constexpr const char kFlashToolX86Name[] = "nxflash_x86.exe";
constexpr const char kDiscoveryReportFile[] = "tempNicList.xml";
constexpr const char kHardwareFlagsCaptureFile[] = "hwflagStatus.dat";
// In the temporary directory: what a call without a capture file of its own printed.
constexpr const char kToolOutputFile[] = "nxflash-output.tmp";

// Names, device IDs and bus addresses come from outside. Each reaches the tool as one
// argument: quoted by the Windows command-line rules when it is empty or holds a blank, tab
// or double quote (always, when asked), and left as it is otherwise.
std::string QuoteArgument(const std::string& arg, bool always = false);

// nxflash.exe -d <file>
std::string DiscoveryCommand(const std::string& report_file);
// nxflash.exe -u <file>
std::string ApplyReportCommand(const std::string& report_file);
// nxflash.exe -i "<device_id>" --info
std::string HardwareFlagsQueryCommand(const std::string& device_id);
// nxflash.exe -i <bdf> --hwflags 0
std::string HardwareFlagsResetCommand(const std::string& bdf);
// nxflash.exe -i <bdf> -f -a
std::string FlashCommand(const std::string& bdf);
