// Sets up the substitute flash tool's simulated adapters in a package directory and reads
// back what it did. The file format is described in tools/nxflash-sim/README.md.
#pragma once

#include <string>
#include <vector>

namespace test {

constexpr const char kSimConfigFile[] = "nxflash-sim.xml";
constexpr const char kSimCallLogFile[] = "nxflash-calls.log";

// One simulated adapter port; the defaults describe a supported port with older firmware.
struct SimPort {
  std::string device_id = "NIC1";
  std::string product_id = "P3 Dual Port 10GbE Server Adapter";
  std::string macaddress = "00:0E:1E:00:00:01";
  std::string venid = "4040", devid = "0100", subvenid = "1234", subdevid = "00AB";
  std::string bus = "4", device = "0", function = "0";
  std::string active_version = "4.0.534";
  std::string hwflags = "none";  // --info answer: "0", "1", "2", "3", "uninitialized", "none"
  std::string action = "";       // the report's fw_item action; "" is written as value=""
  std::string fw_type = "";      // this port's fw_item type; "" takes SimFaults::fw_type
  int flash_exit = 0;            // non-zero: flashing this port fails with this code
  int hwflags_reset_exit = 0;    // non-zero: --hwflags fails with this code
  int info_exit = 0;             // --info prints its lines and ends with this code
};

struct SimFaults {
  int discovery_exit = 0;  // -d ends with this code (the report is still written)
  bool report_missing = false;
  bool report_malformed = false;  // not XML
  // -d to any file but tempNicList.xml writes nothing and ends with user_report_exit.
  int user_report_exit = 0;
  bool user_report_missing = false;
  bool user_report_partial = false;  // ... but the file gets a report's first line all the same
  std::string report_type = "RAVARE_NIC";
  bool type_after_devices = false;  // the report's type element follows its devices
  std::string fw_type = "rom";
  int apply_exit = 0;  // non-zero: -u changes nothing and ends with this code
  int delay_ms = 0;    // every run sleeps this long while it holds the lock file
  int message_mb = 0;  // each port's report message is this many MiB of "x"
  bool keep_lock = false;
  bool no_lock = false;     // no lock file at all, as when two runs passed the check together
  bool crash = false;       // every recognised call aborts after logging itself
  std::string report_file;  // -d tempNicList.xml copies this file of the current directory
};

// A supported port with this device_id, bus number (its MAC ends in it) and firmware.
SimPort SimPortAt(const std::string& device_id, const std::string& bus,
                  const std::string& active_version);

// Replaces nxflash-sim.xml in package_dir.
void WriteSimConfig(const std::string& package_dir, const std::vector<SimPort>& ports,
                    const SimFaults& faults = {});

// The tool's call log, one entry per call, e.g. "nxflash.exe -d tempNicList.xml".
std::vector<std::string> ReadCallLog(const std::string& package_dir);
// The flashes among them ("... -f -a").
std::vector<std::string> ReadFlashCalls(const std::string& package_dir);

// What nxflash-sim.xml now holds for the port with this device_id ("" when there is none).
std::string SimActiveVersion(const std::string& package_dir, const std::string& device_id);
std::string SimHardwareFlags(const std::string& package_dir, const std::string& device_id);

}  // namespace test
