// Every command line the utility gives the vendor flash tool, built in one place.
#pragma once

#include <string>

constexpr const char kFlashToolName[] = "nxflash.exe";
constexpr const char kFlashToolX86Name[] = "nxflash_x86.exe";
constexpr const char kDiscoveryReportFile[] = "tempNicList.xml";
constexpr const char kHardwareFlagsCaptureFile[] = "hwflagStatus.dat";

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
