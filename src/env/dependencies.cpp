#include "env/dependencies.h"

#include "inventory/adapter_inventory.h"
#include "inventory/discovery.h"
#include "platform/platform.h"
#include "ui/user_interface.h"

namespace {

constexpr const char kServer2003Driver[] = "qlxgnd32.sys";
constexpr const char kOtherDriver[] = "zeltnd5x86.sys";

bool g_verified = false;

struct DriverVersion {
  uint32_t part[4];
};

DriverVersion Split(uint32_t most, uint32_t least) {
  return {{most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF}};
}

bool AllAdaptersAtThreshold() {
  for (size_t i = 0; i < AdapterListLength(); ++i) {
    if (!(DependencyThresholdVersion <= AdapterAt(i).installed_version)) return false;
  }
  return true;
}

}  // namespace

bool DependenciesVerified() {
  return g_verified;
}
void ResetDependencyCheck() {
  g_verified = false;
}

bool ReadDriverVersion(const std::string& driver_file, uint32_t* most, uint32_t* least) {
  std::string path = platform::SystemDirectory() + platform::PathSeparator() + driver_file;
  return platform::FileProductVersion(path, most, least);
}

bool DriverVersionAllowed(const std::string& driver_file, uint32_t most, uint32_t least) {
  const DriverVersion limit = driver_file.find(kOtherDriver) != std::string::npos
                                  ? DriverVersion{{4, 0, 555, 0}}
                                  : DriverVersion{{4, 3, 13, 702}};
  DriverVersion installed = Split(most, least);
  UI().Write("Assessing device driver %s\n", driver_file.c_str());
  UI().Write("Installed device driver version: %d.%d.%d.%d.\n", static_cast<int>(installed.part[0]),
             static_cast<int>(installed.part[1]), static_cast<int>(installed.part[2]),
             static_cast<int>(installed.part[3]));
  bool allowed = false;
  for (int i = 0; i < 4; ++i) {
    if (installed.part[i] != limit.part[i]) {
      allowed = installed.part[i] < limit.part[i];
      break;
    }
  }
  if (!allowed) {
    UI().Write(
        "Device driver %s must be version less than %d.%d.%d.%d in order to complete firmware "
        "update. The driver can be updated after the system is rebooted.\n",
        driver_file.c_str(), 4, static_cast<int>(limit.part[1]), static_cast<int>(limit.part[2]),
        static_cast<int>(limit.part[3]));
  }
  return allowed;
}

int VerifyDependencies() {
  DiscoverAdapters();
  if (SupportedAdapterCount() == 0 || AdapterListLength() == 0) {
    UI().Write("VerifyDependencies: No supported network adapters for firmware upgrade.\n");
    return 2;
  }
  if (AllAdaptersAtThreshold()) {
    UI().Write("All VAroru P3 adapters have firmware version above or equal to v4.0.555.\n");
    g_verified = true;
    return 0;
  }
  // The first port's package version stands for the whole package.
  FirmwareVersion package = AdapterAt(0).available_version;
  if (!(DependencyThresholdVersion <= package)) {
    UI().Write("Firmware version in this package: %s\n", package.Format());
    g_verified = true;
    return 0;
  }
  UI().Write(
      "At least one VAroru P3 adapter has a firmware version less than v4.0.555.  Will verify "
      "whether the current device driver version is allowed for this update.\n");
  const char* driver = platform::IsNt52OrLater() ? kServer2003Driver : kOtherDriver;
  uint32_t most = 0;
  uint32_t least = 0;
  if (!ReadDriverVersion(driver, &most, &least)) {
    UI().Write(
        "Could not get device driver (%s) version details. Please make sure that device driver "
        "is properly installed!\n",
        driver);
    return 2;
  }
  bool allowed = DriverVersionAllowed(driver, most, least);
  g_verified = true;
  return allowed ? 0 : 2;
}
